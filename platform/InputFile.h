#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

// Reads exactly out.size() bytes at `offset` of the open file `fd`, through interrupted and
// partial reads. False when the file ends first or a read fails.
bool ReadExactlyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) noexcept;

// Reads a whole file into memory, refused beyond max_bytes (0: the largest photo file we
// take). Errors: those of OpenInputFile, "ストリームからの読み込みエラー" (a file that
// shrank while being read is as damaged as one that cannot be read), "メモリが足りません",
// and "ファイル %s は大きすぎます（N MB まで）".
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uintmax_t max_bytes = 0);

}  // namespace zumo
