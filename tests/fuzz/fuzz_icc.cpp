// Feeds arbitrary bytes to the colour conversion as a photo's ICC profile: every input must
// end in a converted picture or an untouched one, never in a crash, a hang, an exception or
// an out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "photofiles/ColourConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // 67 x 5 pixels of varied colours: a block of 64 for the wide kernel where there is one,
  // then three pixels (a pair and a lone last one) for the two-pixel kernel.
  static const zumo::Bitmap picture = [] {
    zumo::Bitmap bitmap(67, 5);
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < 3 * bitmap.Width(); ++x)
        bitmap.ScanLine(y)[x] = static_cast<std::uint8_t>((x * 37 + y * 101) % 256 * (x % 7 == 0 ? 0 : 1));
    return bitmap;
  }();
  const zumo::ColourDescription colour{.icc = {data, data + size}, .nclx = {}};
  zumo::Bitmap converted = picture;
  const bool changed = zumo::ConvertToSrgb(converted, colour);
  // A picture that was not converted is the same picture, pixels shared and never written.
  if (!changed && !converted.SharesPixelsWith(picture)) std::abort();
  static_cast<void>(zumo::IsSrgb(colour));
  return 0;
}
