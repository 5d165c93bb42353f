#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// True when the bytes start with the PNG signature.
bool LooksLikePng(std::span<const std::uint8_t> data) noexcept;

// Decodes a PNG file held in memory through libpng: every bit depth and colour type,
// interlaced or not; 16-bit channels reduced to 8 with rounding (png_set_scale_16);
// transparency (an alpha channel or a tRNS chunk) laid over white. `name` is the file's name
// for the messages. The size limits (and max_pixels when above 0) are checked on the
// declared size before any pixel memory is taken. Errors: zumo::Error in Japanese. With
// `metadata`, the file's EXIF (eXIf), XMP (iTXt) and ICC profile (iCCP) are put there too.
Bitmap DecodePng(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels = 0,
                 PhotoMetadata* metadata = nullptr);

}  // namespace zumo
