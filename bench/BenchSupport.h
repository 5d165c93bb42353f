#pragma once

#include <string>

#include "platform/Bitmap.h"
#include "platform/PhotoFile.h"

namespace zumo::bench {

inline constexpr int kPhotoWidth = 4000;
inline constexpr int kPhotoHeight = 3000;

// A 4000 x 3000 photo-like picture (smooth gradients with grain), built once per process.
const Bitmap& Photo();

// Photo() written once per format to a temporary file (JPEG at quality 85), removed at exit.
const std::string& PhotoFile(SaveFormat format);

}  // namespace zumo::bench
