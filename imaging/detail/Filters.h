#pragma once

// Entry points of the neighbourhood filters with the thread choice made by the caller,
// so that the tests can run the one-thread and the two-thread paths on any picture.

#include "platform/Bitmap.h"

namespace zumo::detail {

// Radius already limited to 0..90.
void BoxBlurInPlace(int radius, Bitmap& target, bool two_threads);
// Weight already limited to 0..255.
void SharpenInPlace(int weight, Bitmap& target, bool two_threads);

inline constexpr int kMaxBlurRadius = 90;  // (2 * 90 + 1)^2 pixels still fit a 16-bit count

}  // namespace zumo::detail
