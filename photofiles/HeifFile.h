#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// True when libheif recognises the bytes as a HEIF file (HEIC, AVIF and their kin).
bool LooksLikeHeif(std::span<const std::uint8_t> data) noexcept;

// Decodes the primary image of a HEIF, HEIC or AVIF file held in memory through libheif,
// with the rotation, mirroring and cropping the file declares applied (libheif's default);
// channels deeper than 8 bits reduced to 8 with rounding; transparency laid over white. The
// size limits (and max_pixels when above 0) are checked on the declared size before the
// picture is decoded; max_pixels also bounds each item libheif decodes (the tiles of a grid)
// to about that many pixels. With `metadata`, the file's EXIF and XMP blocks and its colour
// description are put there too; the EXIF orientation is not followed (the file's own
// rotation is).
Bitmap DecodeHeif(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels = 0,
                  PhotoMetadata* metadata = nullptr);

}  // namespace zumo
