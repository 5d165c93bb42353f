#pragma once

// Entry points of the neighbourhood filters with the thread choice made by the caller,
// so that the tests can run the one-thread and the two-thread paths on any picture.

#include <cstdint>
#include <memory>

#include "platform/Bitmap.h"

namespace zumo::detail {

// Radius already limited to 0..90.
void BoxBlurInPlace(int radius, Bitmap& target, bool two_threads);
// Weight already limited to 0..255.
void SharpenInPlace(int weight, Bitmap& target, bool two_threads);

// Target receives source, filtered as the in-place forms above would filter it, written
// straight into a new buffer; source is not changed. The two may share their pixels or
// be one object.
void BoxBlurInto(int radius, const Bitmap& source, Bitmap& target, bool two_threads);
void SharpenInto(int weight, const Bitmap& source, Bitmap& target, bool two_threads);

// Row pointers of a picture that is only read, entry y for row y.
inline std::unique_ptr<const std::uint8_t*[]> SourceRows(const Bitmap& bitmap) {
  const int height = bitmap.Height();
  std::unique_ptr<const std::uint8_t*[]> table(new const std::uint8_t*[height > 0 ? height : 0]);
  for (int y = 0; y < height; ++y) table[y] = bitmap.Bits() + y * bitmap.Stride();
  return table;
}

inline constexpr int kMaxBlurRadius = 90;  // (2 * 90 + 1)^2 pixels still fit a 16-bit count

}  // namespace zumo::detail
