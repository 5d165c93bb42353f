#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "imaging/ABitmap.h"

namespace zumo::batch {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

// The whole tool: parses `args` (without the program name), reads, retouches and writes.
// Help goes to `out`, messages to `err`. Returns kExitSuccess, kExitFileError when a file
// cannot be read or written (or the work fails), kExitUsage for a bad command line.
// With `terminal` (standard error is a terminal) the many-photo form keeps a progress line
// ("N/M name") on `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal = false);

// The version line of --version.
std::string VersionText();

}  // namespace zumo::batch
