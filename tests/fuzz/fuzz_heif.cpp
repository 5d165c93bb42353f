// Feeds arbitrary bytes to the Heif reader: every input must end in a picture or a
// zumo::Error, never in a crash, a hang or an out-of-bounds access. The recipe a saved photo
// carries is looked for in the same bytes, as zumo-batch --recipe-from does.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "photofiles/AvifWriter.h"
#include "photofiles/HeifFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string recipe = zumo::ReadAvifRecipe(std::span<const std::uint8_t>(data, size));
    static_cast<void>(recipe);
  } catch (const zumo::Error&) {
  }
  // The metadata blocks are read too, as a load reads them.
  zumo::PhotoMetadata metadata;
  try {
    // Keep each run small: the limits of real photos would let one input take seconds.
    const zumo::Bitmap bitmap = zumo::DecodeHeif(std::span<const std::uint8_t>(data, size), "fuzz", 4'000'000, &metadata);
    // Read the last byte of every row so that a short buffer shows up under the sanitizers.
    unsigned sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y) sum += bitmap.ScanLine(y)[3 * bitmap.Width() - 1];
    static_cast<void>(sum);
  } catch (const zumo::Error&) {
  }
  return 0;
}
