// Feeds arbitrary bytes to the JPEG decoder, on the full-colour path or the quantised one
// (chosen by the first byte), and turns the picture as its EXIF orientation says, as a load
// does (on two threads, so that even small pictures are split into bands), or decodes it in
// bands straight into the turned layout (the second bit), and reads the metadata segments:
// every input must end in a picture or a zumo::Error, never in a crash, a hang or an
// out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/Turn.h"
#include "photofiles/JpegImage.h"
#include "photofiles/JpegMetadata.h"
#include "platform/Threads.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zumo::SetThreads(zumo::Threads::Two);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  zumo::JpegDecodeOptions options;
  options.quantize = (data[0] & 1) != 0;
  // Keep each run small: the limits of real photos would let one input take seconds.
  options.max_pixels = 4'000'000;
  options.max_libjpeg_memory = 256L * 1024 * 1024;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const zumo::PhotoMetadata metadata = zumo::ReadJpegMetadata(bytes);
  static_cast<void>(metadata);
  try {
    const zumo::Orientation orientation = zumo::ReadJpegHeader(bytes).orientation;
    const zumo::Bitmap bitmap = (data[0] & 2) != 0 ? zumo::DecodeJpegInBands(bytes, orientation, options)
                                                   : zumo::TurnUpright(zumo::DecodeJpeg(bytes, options), orientation);
    // Read the last byte of every row so that a short buffer shows up under the sanitizers.
    unsigned sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y) sum += bitmap.ScanLine(y)[3 * bitmap.Width() - 1];
    static_cast<void>(sum);
  } catch (const zumo::Error&) {
  }
  return 0;
}
