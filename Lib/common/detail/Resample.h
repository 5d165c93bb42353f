#pragma once

#include <memory>

#include "platform/Bitmap.h"

namespace zumo::detail {

// ResampleBitmap with the number of threads stated: 1 runs every target row on the calling
// thread, 2 (or more) lets the helper thread take bands of target rows too (RunBands). The result
// is the same picture whatever the count; ResampleBitmap picks the count itself.
std::unique_ptr<Bitmap> ResampleBitmapThreads(const Bitmap& source, int new_width, int new_height,
                                              int threads);

}  // namespace zumo::detail
