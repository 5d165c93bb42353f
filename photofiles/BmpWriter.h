#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zumo {

// The standard uncompressed 24-bit BMP (14-byte file header, 40-byte information header,
// rows bottom-up padded to 4 bytes).
std::vector<std::uint8_t> EncodeBmp(const Bitmap& bitmap);
// Writes EncodeBmp's bytes through a temporary file that replaces `path` only when complete.
void WriteBmpFile(const Bitmap& bitmap, const std::string& path);

}  // namespace zumo
