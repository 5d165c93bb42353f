// The 3 x 3 edge map: per channel the sum of the eight neighbours minus eight times the
// centre, negatives cut to 0, with a white one-pixel frame; the result then replaces the
// target through Assign, which notifies.
//
// The map is built in the target's own pixels, two rows behind the reading: output row
// y - 1 is stored once output row y is computed, when no window needs source row y - 1
// any more. That saves allocating and faulting in a whole new picture.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/ABitmap.h"

namespace zumo {

void TABitmap::EdgeFilter(Bitmap& Target) {
  const int w = Target.Width();
  const int h = Target.Height();
  if (w < 3 || h < 3) {
    // No interior pixel: the new picture stays white.
    const Bitmap white(w, h);
    Target.Assign(white);
    return;
  }

  const std::size_t row_bytes = 3 * static_cast<std::size_t>(w);
  std::uint8_t* const bits = Target.MutableBits();
  const std::ptrdiff_t stride = Target.Stride();
  std::vector<std::int16_t> column(row_bytes);
  std::vector<std::uint8_t> pending[2] = {std::vector<std::uint8_t>(row_bytes), std::vector<std::uint8_t>(row_bytes)};

  for (int y = 1; y < h - 1; ++y) {
    const std::uint8_t* a = bits + (y - 1) * stride;
    const std::uint8_t* b = bits + y * stride;
    const std::uint8_t* c = bits + (y + 1) * stride;
    // Column sums of the three rows; three of them side by side make the window.
    std::int16_t* col = column.data();
    for (std::size_t i = 0; i < row_bytes; ++i) col[i] = static_cast<std::int16_t>(a[i] + b[i] + c[i]);
    std::uint8_t* out = pending[y & 1].data();
    for (std::size_t i = 3; i < row_bytes - 3; ++i) {
      // |s| <= 9 * 255 fits 16 bits: eight lanes to a vector.
      const auto s = static_cast<std::int16_t>(col[i - 3] + col[i] + col[i + 3] - 9 * b[i]);
      out[i] = static_cast<std::uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
    }
    out[0] = out[1] = out[2] = 255;
    out[row_bytes - 3] = out[row_bytes - 2] = out[row_bytes - 1] = 255;
    if (y >= 2) std::memcpy(bits + (y - 1) * stride, pending[(y - 1) & 1].data(), row_bytes);
  }
  std::memcpy(bits + (h - 2) * stride, pending[(h - 2) & 1].data(), row_bytes);
  std::memset(bits, 255, row_bytes);
  std::memset(bits + (h - 1) * stride, 255, row_bytes);

  const Bitmap edges(Target);  // shares the finished pixels
  Target.Assign(edges);
}

}  // namespace zumo
