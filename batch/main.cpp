// zumo-batch: the retouching engine of the window, on files.
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch/BatchRun.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zumo::batch::Run(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
