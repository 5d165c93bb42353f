#pragma once

#include "platform/Bitmap.h"

namespace zumo::bench {

inline constexpr int kPhotoWidth = 4000;
inline constexpr int kPhotoHeight = 3000;

// A 4000 x 3000 photo-like picture (smooth gradients with grain), built once per process.
const Bitmap& Photo();

}  // namespace zumo::bench
