// The 3 x 3 edge map: per channel the sum of the eight neighbours minus eight times the
// centre, negatives cut to 0, into a new white picture that then replaces the target.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/ABitmap.h"

namespace zumo {

void TABitmap::EdgeFilter(Bitmap& Target) {
  Target.SetPixelFormat24();
  const int w = Target.Width();
  const int h = Target.Height();
  if (w < 3 || h < 3) {
    // No interior pixel: the new picture stays white.
    const Bitmap white(w, h);
    Target.Assign(white);
    return;
  }

  Bitmap edges(w, h, Bitmap::Uninitialized{});
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(w);
  const std::uint8_t* const src = Target.Bits();
  std::uint8_t* const dst = edges.MutableBits();
  const std::ptrdiff_t stride = Target.Stride();
  std::memset(dst, 255, row_bytes);
  std::memset(dst + (h - 1) * stride, 255, row_bytes);

  // Column sums of the three rows, then three of them side by side make the window.
  std::vector<std::int16_t> column(row_bytes);
  for (int y = 1; y < h - 1; ++y) {
    const std::uint8_t* a = src + (y - 1) * stride;
    const std::uint8_t* b = src + y * stride;
    const std::uint8_t* c = src + (y + 1) * stride;
    std::int16_t* col = column.data();
    for (std::size_t i = 0; i < row_bytes; ++i) col[i] = static_cast<std::int16_t>(a[i] + b[i] + c[i]);
    std::uint8_t* out = dst + y * stride;
    for (std::size_t i = 3; i < row_bytes - 3; ++i) {
      const int s = col[i - 3] + col[i] + col[i + 3] - 9 * b[i];
      out[i] = static_cast<std::uint8_t>(std::clamp(s, 0, 255));
    }
    out[0] = out[1] = out[2] = 255;
    out[row_bytes - 3] = out[row_bytes - 2] = out[row_bytes - 1] = 255;
  }
  Target.Assign(edges);
}

}  // namespace zumo
