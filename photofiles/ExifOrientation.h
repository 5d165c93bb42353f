#pragma once

#include <cstdint>
#include <span>

#include "imaging/Turn.h"

namespace zumo {

// The orientation an EXIF block declares (the payload of a JPEG APP1 segment, starting with
// "Exif\0\0"), read with libexif. No block, no tag, a value outside 1..8 or a block libexif
// cannot make sense of all give Upright: a damaged tag never fails a load.
Orientation ReadExifOrientation(std::span<const std::uint8_t> exif_block) noexcept;

}  // namespace zumo
