#pragma once

#include <cstdint>

#include "platform/Bitmap.h"

namespace zumo {

// How a camera stored a picture relative to how it is to be seen: the values of the EXIF
// orientation tag (TIFF tag 274). The names say what turns the stored picture upright.
enum class Orientation : std::uint8_t {
  Upright = 1,
  MirrorLeftRight = 2,
  Turn180 = 3,
  MirrorTopBottom = 4,
  Transpose = 5,      // mirror along the main diagonal
  TurnClockwise = 6,  // the stored picture is turned 90 degrees clockwise to be seen
  Transverse = 7,     // mirror along the other diagonal
  TurnAnticlockwise = 8,
};

// True for the four orientations whose upright picture has width and height exchanged.
constexpr bool SwapsSides(Orientation orientation) noexcept {
  return static_cast<int>(orientation) >= static_cast<int>(Orientation::Transpose);
}

// Raises the size-limit Error of Bitmap::CheckSize when the picture stored as width x height
// would be beyond the limits once turned upright.
void CheckUprightSize(long long width, long long height, Orientation orientation);

// The stored picture turned upright: a new bitmap (the stored one is unchanged). Upright
// returns a copy that shares the pixels. The quarter turns and diagonal mirrors go through
// the picture in bands of whole target rows, staged in the first-level cache and written out
// a whole cache line at a time.
Bitmap TurnUpright(const Bitmap& stored, Orientation orientation);

}  // namespace zumo
