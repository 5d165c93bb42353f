#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zumo {

// Reads a BMP file of any common variant and converts it to 24 bits. Errors (as zumo::Error):
// "ファイル %s は開けません", "ビットマップイメージが不正です", "ストリームからの読み込みエラー",
// "メモリが足りません", and the size-limit message of Bitmap::CheckSize.
Bitmap ReadBmpFile(const std::string& path);
// The same, from bytes already in memory.
Bitmap DecodeBmp(std::span<const std::uint8_t> data);

// The standard uncompressed 24-bit BMP (14-byte file header, 40-byte information header,
// rows bottom-up padded to 4 bytes).
std::vector<std::uint8_t> EncodeBmp(const Bitmap& bitmap);
// Writes EncodeBmp's bytes through a temporary file that replaces `path` only when complete.
void WriteBmpFile(const Bitmap& bitmap, const std::string& path);

}  // namespace zumo
