// Feeds arbitrary bytes to the BMP decoder: every input must end in a picture or a
// zumo::Error, never in a crash, a hang or an out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/BmpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const zumo::Bitmap bitmap = zumo::DecodeBmp(std::span<const std::uint8_t>(data, size));
    // Touch every row so that a short or misplaced buffer shows up under the sanitizers.
    unsigned sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y) sum += bitmap.ScanLine(y)[3 * bitmap.Width() - 1];
    static_cast<void>(sum);
  } catch (const zumo::Error&) {
  }
  return 0;
}
