// Straightening: bilinear samples of the turned picture, in the fixed point that Framing.h
// sets out. Along a target row the source position moves by a constant step, so each row is
// walked with two additions per pixel; the pixels whose four neighbours all lie inside the
// picture (one run, the picture being convex) skip the clamping.
#include <algorithm>
#include <cstdint>

#include "imaging/Framing.h"
#include "imaging/detail/RowBands.h"

namespace zumo {
namespace {

constexpr int kPositionBits = 17;  // positions in units of 2^-17 pixel
constexpr int kWeightShift = 10;   // the 7 bits below the pixel: the bilinear weights
constexpr int kWeightMask = 127;
constexpr int kWeightOne = 128;
constexpr int kRound = 1 << 13;
constexpr int kResultShift = 14;

struct Source {
  const std::uint8_t* bits;
  std::ptrdiff_t stride;
  int width, height;
  std::int64_t max_x, max_y;  // the last pixel's position
};

// One target pixel from the source position (px, py), clamped into the picture.
inline void SampleClamped(const Source& src, std::int64_t px, std::int64_t py, std::uint8_t* out) {
  px = std::clamp<std::int64_t>(px, 0, src.max_x);
  py = std::clamp<std::int64_t>(py, 0, src.max_y);
  const int x0 = static_cast<int>(px >> kPositionBits), y0 = static_cast<int>(py >> kPositionBits);
  const int fx = static_cast<int>(px >> kWeightShift) & kWeightMask;
  const int fy = static_cast<int>(py >> kWeightShift) & kWeightMask;
  const int x1 = std::min(x0 + 1, src.width - 1), y1 = std::min(y0 + 1, src.height - 1);
  const std::uint8_t* r0 = src.bits + src.stride * y0;
  const std::uint8_t* r1 = src.bits + src.stride * y1;
  for (int c = 0; c < 3; ++c) {
    const int a = r0[3 * x0 + c] * (kWeightOne - fx) + r0[3 * x1 + c] * fx;
    const int b = r1[3 * x0 + c] * (kWeightOne - fx) + r1[3 * x1 + c] * fx;
    out[c] = static_cast<std::uint8_t>((a * (kWeightOne - fy) + b * fy + kRound) >> kResultShift);
  }
}

inline bool Inside(const Source& src, std::int64_t px, std::int64_t py) {
  return px >= 0 && px < src.max_x && py >= 0 && py < src.max_y;
}

// Pixels [0, count) of a target row whose samples all have their four neighbours inside.
void SampleInside(const Source& src, std::int64_t px, std::int64_t py, std::int64_t dx, std::int64_t dy, int count,
                  std::uint8_t* out) {
  for (int i = 0; i < count; ++i, px += dx, py += dy, out += 3) {
    const int x0 = static_cast<int>(px >> kPositionBits), y0 = static_cast<int>(py >> kPositionBits);
    const int fx = static_cast<int>(px >> kWeightShift) & kWeightMask;
    const int fy = static_cast<int>(py >> kWeightShift) & kWeightMask;
    const std::uint8_t* p = src.bits + src.stride * y0 + 3 * x0;
    const std::uint8_t* q = p + src.stride;
    for (int c = 0; c < 3; ++c) {
      const int a = p[c] * (kWeightOne - fx) + p[c + 3] * fx;
      const int b = q[c] * (kWeightOne - fx) + q[c + 3] * fx;
      out[c] = static_cast<std::uint8_t>((a * (kWeightOne - fy) + b * fy + kRound) >> kResultShift);
    }
  }
}

// One target row: canvas row `canvas_y`, canvas columns from `canvas_x`, `count` pixels.
void StraightenRow(const Source& src, StraightenRotation rotation, int canvas_x, int canvas_y, int count,
                   std::uint8_t* out) {
  const std::int64_t c = rotation.cos_q16, s = rotation.sin_q16;
  const std::int64_t u = 2 * std::int64_t{canvas_x} + 1 - src.width;
  const std::int64_t v = 2 * std::int64_t{canvas_y} + 1 - src.height;
  const std::int64_t px = u * c + v * s + (std::int64_t{src.width - 1} << 16);
  const std::int64_t py = v * c - u * s + (std::int64_t{src.height - 1} << 16);
  const std::int64_t dx = 2 * c, dy = -2 * s;
  int first = 0;
  while (first < count && !Inside(src, px + first * dx, py + first * dy)) {
    SampleClamped(src, px + first * dx, py + first * dy, out + 3 * first);
    ++first;
  }
  int last = count;
  while (last > first && !Inside(src, px + (last - 1) * dx, py + (last - 1) * dy)) {
    --last;
    SampleClamped(src, px + last * dx, py + last * dy, out + 3 * last);
  }
  SampleInside(src, px + first * dx, py + first * dy, dx, dy, last - first, out + 3 * first);
}

}  // namespace

Bitmap StraightenPart(const Bitmap& turned, int tenths, const CropRect& part) {
  const CropRect kept = StraightenedRect({turned.Width(), turned.Height()}, tenths);
  if (const std::string problem = CropProblem(part, {kept.width, kept.height}); !problem.empty()) throw Error(problem);
  if (tenths == 0) return CropBitmap(turned, part);
  const Source src{turned.Bits(),
                   turned.Stride(),
                   turned.Width(),
                   turned.Height(),
                   std::int64_t{turned.Width() - 1} << kPositionBits,
                   std::int64_t{turned.Height() - 1} << kPositionBits};
  const StraightenRotation rotation = StraightenRotationOf(tenths);
  Bitmap result(part.width, part.height, Bitmap::Uninitialized{});
  std::uint8_t* const bits = result.MutableBits();
  const std::ptrdiff_t stride = result.Stride();
  const int canvas_x = kept.x + part.x, canvas_y = kept.y + part.y;
  detail::RunRowBands(part.height, static_cast<std::size_t>(stride) * part.height, [&](int first, int last) {
    for (int y = first; y < last; ++y) StraightenRow(src, rotation, canvas_x, canvas_y + y, part.width, bits + stride * y);
  });
  return result;
}

}  // namespace zumo
