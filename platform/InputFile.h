#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/FileDescriptor.h"

namespace zumo {

// A photo file opened for reading, with what fstat said of it.
struct InputFile {
  FileDescriptor descriptor;
  struct stat info {};
};

// Opens `path` for reading without ever waiting: a FIFO or a device is opened non-blocking
// and refused with "ファイル %s は開けません" and the reason in brackets. A folder, or a
// file that cannot be opened at all, gives "ファイル %s は開けません" alone.
InputFile OpenInputFile(const std::string& path);

}  // namespace zumo
