#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/Bitmap.h"

namespace zumo {

// Reads a BMP file of any common variant and converts it to 24 bits. Errors (as zumo::Error):
// "ファイル %s は開けません", "ビットマップイメージが不正です", "ストリームからの読み込みエラー",
// "メモリが足りません", and the size-limit message of Bitmap::CheckSize.
Bitmap ReadBmpFile(const std::string& path);
// The same, from bytes already in memory.
Bitmap DecodeBmp(std::span<const std::uint8_t> data);


}  // namespace zumo
