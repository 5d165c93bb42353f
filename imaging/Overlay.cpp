// TABitmap::Overlay: blends this bitmap's pixels onto a rectangle of another bitmap.
#include <algorithm>
#include <cstdint>

#include "imaging/ABitmap.h"
#include "imaging/detail/RowKernels.h"

namespace zumo {

// Source pixel (j, r) lands on target pixel (X + j, Y + r); rows from Y to Bottom - 1 and
// bytes 3X to 3 Right - 1 of each, Bottom and Right cut at Target's edges.
//
// The rectangle is also cut to what both bitmaps hold: a negative X or Y, or a source
// smaller than the rectangle, only narrows the blended area instead of reaching outside
// either bitmap. Whether Target is notified still follows the rectangle as given (any
// bytes per row, even when no row lies inside), so callers that keep X, Y >= 0 and pass a
// large enough source see no difference.
void TABitmap::Overlay(int X, int Y, int W, int H, Bitmap& Target, std::uint16_t Alpha) const {
  if (Alpha == 0) return;
  const int a = Alpha > 255 ? 255 : Alpha;

  // 64-bit so that no sum of the given ints can overflow.
  const long long bottom = std::min<long long>(static_cast<long long>(Y) + H, Target.Height());
  const long long right = std::min<long long>(static_cast<long long>(X) + W, Target.Width());
  const long long bytes_per_row = 3 * right - 3 * static_cast<long long>(X);
  if (bytes_per_row <= 0) return;

  const long long first_row = std::max<long long>(Y, 0);
  const long long end_row = std::min<long long>(bottom, static_cast<long long>(Y) + Height());
  const long long first_col = std::max<long long>(X, 0);
  const long long end_col = std::min<long long>(right, static_cast<long long>(X) + Width());
  if (first_row < end_row && first_col < end_col) {
    // Target first: if it shares its pixels with this bitmap it detaches now, and the
    // source read below is then this bitmap's own (possibly the same) buffer.
    std::uint8_t* const target_bits = Target.MutableBits();
    const std::uint8_t* const source_bits = Bits();
    const std::ptrdiff_t target_stride = Target.Stride();
    const std::ptrdiff_t source_stride = Stride();
    const std::size_t n = 3 * static_cast<std::size_t>(end_col - first_col);
    const int b = 256 - a;
    for (long long t = first_row; t < end_row; ++t) {
      const std::uint8_t* source = source_bits + (t - Y) * source_stride + 3 * (first_col - X);
      std::uint8_t* target = target_bits + t * target_stride + 3 * first_col;
      if (source_bits == target_bits) {
        // Blending a bitmap onto itself: byte by byte in order, since earlier results may be
        // read again as source.
        for (std::size_t i = 0; i < n; ++i) target[i] = static_cast<std::uint8_t>((source[i] * a + target[i] * b) >> 8);
      } else {
        detail::BlendBytes(source, target, n, a);
      }
    }
  }
  Target.Changed();
  Target.SetModified(true);
}

}  // namespace zumo
