#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// Encodes a picture as a WebP file's bytes through libwebp: lossy at `quality` (1..100,
// libwebp's default preset and method 4, as cwebp encodes), or lossless (at a fixed effort
// chosen by measurement; `quality` is then only checked). With metadata or a recipe the file is
// in the extended format: the ICC profile as ICCP, the EXIF block as EXIF, the XMP packet as
// "XMP ", and the recipe text (UTF-8) in a chunk of our own, "ZRCP", which readers that do not
// know it skip. IPTC and a colour description without ICC have no place in a WebP file and are
// not written. Uses a second thread where libwebp can. Errors (zumo::Error): an empty picture
// (messages::kNothingToSave), a quality out of 1..100, a recipe beyond
// kMaxEmbeddedRecipeBytes, "画像を WebP として書けません（reason）", "メモリが足りません".
std::vector<std::uint8_t> EncodeWebp(const Bitmap& picture, int quality, bool lossless,
                                     const PhotoMetadata& metadata = {}, std::string_view recipe = {});

// The recipe text of a WebP file's "ZRCP" chunk ("" when there is none), at most
// kMaxEmbeddedRecipeBytes of it. The RIFF chunks are walked without decoding the picture; a
// damaged file gives what can be read before the damage. Only bytes that do not start like a
// WebP file raise an Error.
std::string ReadWebpRecipe(std::span<const std::uint8_t> webp);

namespace detail {
// The encoder settings EncodeWebp uses, exposed for the benchmarks that chose them.
struct WebpTuning {
  int method = 4;               // lossy: libwebp's method 0..6
  int lossless_level = -1;      // lossless: WebPConfigLosslessPreset's level 0..9; -1: from the quality
  bool threads = true;          // libwebp's thread_level
};
std::vector<std::uint8_t> EncodeWebpTuned(const Bitmap& picture, int quality, bool lossless,
                                          const PhotoMetadata& metadata, std::string_view recipe,
                                          const WebpTuning& tuning);
}  // namespace detail

}  // namespace zumo
