#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// True when the bytes start like a WebP file ("RIFF" .... "WEBP").
bool LooksLikeWebp(std::span<const std::uint8_t> data) noexcept;

// Decodes a lossy or lossless WebP file held in memory through libwebp; transparency laid
// over white. An animated WebP is refused with a clear message (its frames need a canvas
// and timing that a single photo has no use for). The size limits (and max_pixels when
// above 0) are checked on the declared size before any pixel memory is taken. With
// `metadata`, the file's EXIF, XMP and ICCP chunks are put there too.
Bitmap DecodeWebp(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels = 0,
                  PhotoMetadata* metadata = nullptr);

}  // namespace zumo
