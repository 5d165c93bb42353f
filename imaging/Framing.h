#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/Bitmap.h"

namespace zumo {

// Framing: how the upright photo is turned, flipped, straightened and cropped before the
// size step and the retouching. The stages run in that order; each is a pure function of a
// picture.
//
// Straightening rotates the turned W x H picture about its centre by tenths of a degree
// (positive clockwise) onto a W x H canvas and keeps the largest rectangle of the picture's
// own proportions that lies inside the rotated picture (StraightenedRect), so that no empty
// corner shows. The arithmetic, which every path and thread split follows byte for byte:
//   - sin and cos of |tenths| * pi / 1800 by their series in long double, rounded (rint) to
//     S and C in units of 2^-16; S takes the sign of tenths (StraightenRotation);
//   - canvas pixel (X, Y) is read at source pixel position (in units of 2^-17)
//       PX = (2X + 1 - W) * C + (2Y + 1 - H) * S + (W - 1) * 2^16
//       PY = (2Y + 1 - H) * C - (2X + 1 - W) * S + (H - 1) * 2^16
//     i.e. pixel centres turned about the picture's centre, clamped into
//     [0, (W - 1) * 2^17] x [0, (H - 1) * 2^17] (the edge pixels repeat, never a blank);
//   - bilinear: x0 = PX >> 17, fx = (PX >> 10) & 127, x1 = min(x0 + 1, W - 1), the same for
//     y; per byte a = p(x0,y0) * (128 - fx) + p(x1,y0) * fx, b likewise on row y1, and the
//     result (a * (128 - fy) + b * fy + 8192) >> 14.

// A rectangle of pixels. As a crop: in the pixels of the turned and straightened picture.
// `picture_width` x `picture_height`, when not 0 x 0, is the size of the picture it was drawn
// on: on a picture of another size the crop is scaled to it proportionally (ScaleCrop).
struct CropRect {
  int x = 0, y = 0, width = 0, height = 0;
  int picture_width = 0, picture_height = 0;
  bool operator==(const CropRect&) const = default;
};

// A crop by ratio, width:height (4:3; 3:4 is its portrait form): the largest rectangle of that
// ratio, centred, its offset rounded down (LargestCentred).
struct CropRatio {
  int width = 0, height = 0;
  bool operator==(const CropRatio&) const = default;
};

using Crop = std::variant<std::monostate, CropRect, CropRatio>;

struct FrameSize {
  int width = 0, height = 0;
  bool operator==(const FrameSize&) const = default;
};

struct Framing {
  static constexpr int kMaxStraightenTenths = 450;  // 45 degrees either way

  int quarter_turns = 0;         // clockwise, 0..3
  bool flip_horizontal = false;  // left and right exchanged, after the turns
  bool flip_vertical = false;    // top and bottom exchanged, after the turns
  int straighten_tenths = 0;     // tenths of a degree, -450..450, positive clockwise
  Crop crop;                     // none, a rectangle or a ratio

  bool operator==(const Framing&) const = default;
};

// Tenths of a degree as they are written: "-12.5", "3.0".
std::string DegreesText(int tenths);

// The message that explains why `framing` cannot be applied to any picture (quarter turns
// outside 0..3, an angle out of range, a crop or ratio of zero size, a crop at a negative
// offset), or "" when it can.
std::string FramingProblem(const Framing& framing);

// Why `crop` cannot be cut from a picture of `size` (zero size, or not wholly inside it), or
// "" when it can.
std::string CropProblem(const CropRect& crop, FrameSize size);

// The photo's size after the quarter turns.
FrameSize TurnedSize(FrameSize photo, int quarter_turns);

// S and C of the straightening arithmetic above, in units of 2^-16.
struct StraightenRotation {
  std::int32_t sin_q16 = 0, cos_q16 = 1 << 16;
};
StraightenRotation StraightenRotationOf(int tenths);

// The part of the rotated W x H canvas that straightening keeps: k W x k H with k the largest
// scale at which a centred rectangle of those proportions fits inside the picture rotated by
// the rounded S and C (computed in long double), sizes truncated (at least 1), its offset
// (W - w) / 2, (H - h) / 2 rounded down. The whole picture when tenths is 0.
CropRect StraightenedRect(FrameSize turned, int tenths);

// The size of the picture a crop of `framing` is made on: the photo turned and straightened.
FrameSize UncroppedSize(const Framing& framing, FrameSize photo);

// The largest rectangle of `ratio` inside a picture of `size`: the full width or height, the
// other side truncated (at least 1), centred with its offset rounded down.
CropRect LargestCentred(CropRatio ratio, FrameSize size);

// `crop` carried to a picture of `size`: its edges scaled by size / its picture's size, each
// truncated, keeping at least one pixel. Unchanged when it records no size or the same one.
CropRect ScaleCrop(const CropRect& crop, FrameSize size);

// `crop` moved (and, when larger than the picture, shrunk) so that it lies wholly inside a
// picture of `size`, at least one pixel wide and high; for the window's handles and nudges.
CropRect ClampCrop(CropRect crop, FrameSize size);

// The rectangle `crop` cuts from a picture of `size`: the whole picture for none, the scaled
// rectangle, or the largest centred one of the ratio.
CropRect ResolveCrop(const Crop& crop, FrameSize size);

// The stages one by one. Each returns a new picture and leaves its source as it was; an
// identity stage returns a copy that shares the source's pixels.
Bitmap TurnAndFlip(const Bitmap& picture, int quarter_turns, bool flip_horizontal, bool flip_vertical);
Bitmap Straighten(const Bitmap& turned, int tenths);
// Part of the straightened picture (`part` in its pixels): the same bytes as cropping
// Straighten's picture, without making the rest.
Bitmap StraightenPart(const Bitmap& turned, int tenths, const CropRect& part);
// Raises Error with CropProblem's message when the rectangle is not inside the picture.
Bitmap CropBitmap(const Bitmap& picture, const CropRect& crop);

// The framed photo: quarter turns, flips, straighten, crop. Raises Error with the message of
// FramingProblem or CropProblem when the framing does not fit the photo.
Bitmap Frame(const Bitmap& upright_photo, const Framing& framing);

}  // namespace zumo
