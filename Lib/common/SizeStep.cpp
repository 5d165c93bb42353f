// The size step: the long-side limit of a preset and the size a photo takes under it.
#include "Lib/common/SizeStep.h"

#include <utility>

#include "Lib/common/BitmapUtils.h"
#include "platform/ExtendedPrecision.h"

namespace zumo {
namespace {

// Trunc(side x (L / long side)): the quotient of the limit (a single-precision value) by the
// long side rounded to extended precision, then the product rounded the same way, then
// truncated toward zero. Double precision would give other sides for some photos (4000 x 3000
// at 1024 gives 767 here, 768 in double).
int ScaledShortSide(int short_side, int long_side, float limit) {
  const long double quotient = static_cast<long double>(limit) / long_side;
  const long double product = short_side * quotient;
  const int side = static_cast<int>(product);
  // A photo more elongated than L : 1 would get a side of 0, which no picture can have;
  // it keeps one pixel instead.
  return side < 1 ? 1 : side;
}

}  // namespace

std::optional<int> LongSideLimit(SizePreset preset) {
  switch (preset) {
    case SizePreset::Long1600:
      return 1600;
    case SizePreset::Long1024:
      return 1024;
    case SizePreset::Long800:
      return 800;
    case SizePreset::AsLoaded:
      break;
  }
  return std::nullopt;
}

PictureSize ScaledSize(int width, int height, int limit) {
  if (width <= limit && height <= limit) return {width, height};  // never enlarged
  const float limit_value = static_cast<float>(limit);
  if (width > height) return {limit, ScaledShortSide(height, width, limit_value)};
  return {ScaledShortSide(width, height, limit_value), limit};
}

Bitmap BringToPreset(const Bitmap& photo, SizePreset preset) {
  const std::optional<int> limit = LongSideLimit(preset);
  if (!limit || (photo.Width() <= *limit && photo.Height() <= *limit)) return photo;
  const PictureSize size = ScaledSize(photo.Width(), photo.Height(), *limit);
  std::unique_ptr<Bitmap> scaled = ResampleBitmap(photo, size.width, size.height);
  return std::move(*scaled);
}

}  // namespace zumo
