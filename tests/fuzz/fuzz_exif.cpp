// Feeds arbitrary bytes to the metadata correction of a save: the first two bytes (big-endian)
// say how many of the rest are the EXIF block, what follows is the XMP packet. Each input is
// corrected as it stands and with the location stripped. Every input must end in metadata,
// never in an exception, a crash or an out-of-bounds access, and what comes out must keep
// the promises of a save: an EXIF block that fits one APP1 segment, in the loaded block's
// byte order, says the picture is upright, and holds no GPS tag when asked for none.
#include <cstddef>
#include <cstdint>
#include <string>

#include <exiv2/exiv2.hpp>

#include "photofiles/MetadataEdit.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckSaved(const zumo::PhotoMetadata& loaded, const zumo::PhotoMetadata& saved, bool stripped) {
  Check(saved.iptc == loaded.iptc && saved.colour.Empty());
  if (saved.exif.empty()) return;
  Check(saved.exif.size() <= zumo::kMaxSavedExifBytes && saved.exif[0] == loaded.exif[0]);
  Exiv2::ExifData exif;
  try {
    Exiv2::ExifParser::decode(exif, saved.exif.data(), static_cast<std::uint32_t>(saved.exif.size()));
  } catch (...) {
    Check(false);  // what was written must read back
  }
  int orientations = 0;
  for (const auto& datum : exif) {
    if (datum.key() == "Exif.Image.Orientation") Check(++orientations == 1 && datum.toString() == "1");
    Check(!stripped || datum.groupName() != "GPSInfo");
  }
  Check(orientations == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t rest = size - 2;
  std::size_t exif_size = static_cast<std::size_t>(data[0]) << 8 | data[1];
  if (exif_size > rest) exif_size = rest;
  zumo::PhotoMetadata loaded;
  loaded.exif.assign(data + 2, data + 2 + exif_size);
  loaded.xmp.assign(reinterpret_cast<const char*>(data) + 2 + exif_size, rest - exif_size);
  zumo::MetadataSaveOptions options;
  options.width = 640;
  options.height = 480;
  options.software = "fuzz";
  options.now = "2024:01:02 03:04:05";
  for (const bool strip : {false, true}) {
    options.strip_location = strip;
    CheckSaved(loaded, zumo::MetadataForSave(loaded, options), strip);
  }
  return 0;
}
