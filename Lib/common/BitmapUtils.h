#pragma once

#include <memory>

#include "platform/Bitmap.h"

namespace zumo {

// Area-averaging resize to NewWidth x NewHeight. Returns a new 24-bit bitmap owned by the
// caller; the source is not changed. An empty source raises
// "Assertion failure (BitmapUtils, 942 行)"; a size of 0 raises "0 による浮動小数点数除算".
std::unique_ptr<Bitmap> ResampleBitmap(const Bitmap& Source, int NewWidth, int NewHeight);

}  // namespace zumo
