#pragma once

#include <optional>

#include "platform/Bitmap.h"

namespace zumo {

// The size presets of the load and of the techniques.
enum class SizePreset { AsLoaded, Long1600, Long1024, Long800 };

// The long-side limit of a preset (1600, 1024, 800), none for AsLoaded.
std::optional<int> LongSideLimit(SizePreset preset);

struct PictureSize {
  int width;
  int height;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The size a W x H photo takes under long-side limit L: unchanged when no side is above L,
// otherwise the long side becomes L and the other Trunc(side x (L / long side)), the
// quotient and then the product rounded to extended precision. A short side that would
// truncate to 0 becomes 1.
PictureSize ScaledSize(int width, int height, int limit);

// The photo brought to the preset: a copy of it when it needs no scaling, otherwise
// ResampleBitmap's picture at ScaledSize.
Bitmap BringToPreset(const Bitmap& photo, SizePreset preset);

}  // namespace zumo
