#pragma once

#include "Unit1.h"

namespace zumo::bench {

// The program's window, configured as the program configures it, shown and exposed by the
// platform (painting happens only then). Made once per process.
TForm1& BenchWindow();

}  // namespace zumo::bench
