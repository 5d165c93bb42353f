#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/Bitmap.h"

namespace zumo::detail {

// Runs band(first, last) over rows [0, height), cut into bands of about 128 KiB that this
// thread and, when UseSecondThread(bytes) says so (bytes = the picture's size in bytes),
// the helper thread take as they are free (RunBands). The bands are disjoint, so the
// result is that of one pass from the top.
void RunRowBands(int height, std::size_t bytes, const std::function<void(int, int)>& band);

// Calls fn(row) for every row of target, after one detach of its pixels. fn must not throw
// and must touch only its own row.
template <class RowFn>
void ForEachRow(Bitmap& target, const RowFn& fn) {
  std::uint8_t* const bits = target.MutableBits();
  if (bits == nullptr) return;
  const std::ptrdiff_t stride = target.Stride();
  RunRowBands(target.Height(), static_cast<std::size_t>(stride) * target.Height(), [&](int first, int last) {
    for (int y = first; y < last; ++y) fn(bits + y * stride);
  });
}

}  // namespace zumo::detail
