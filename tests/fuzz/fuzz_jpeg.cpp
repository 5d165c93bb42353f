// Feeds arbitrary bytes to the JPEG decoder, on the full-colour path or the quantised one
// (chosen by the first byte): every input must end in a picture or a zumo::Error, never in
// a crash, a hang or an out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  zumo::JpegDecodeOptions options;
  options.quantize = (data[0] & 1) != 0;
  // Keep each run small: the limits of real photos would let one input take seconds.
  options.max_pixels = 4'000'000;
  options.max_libjpeg_memory = 256L * 1024 * 1024;
  try {
    const zumo::Bitmap bitmap = zumo::DecodeJpeg(std::span<const std::uint8_t>(data + 1, size - 1), options);
    // Read the last byte of every row so that a short buffer shows up under the sanitizers.
    unsigned sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y) sum += bitmap.ScanLine(y)[3 * bitmap.Width() - 1];
    static_cast<void>(sum);
  } catch (const zumo::Error&) {
  }
  return 0;
}
