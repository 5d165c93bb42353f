#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// The quality an AVIF file is saved at when nobody says. Measured on grainy 12 MP photos:
// from 75 up the grain is kept (the PSNR against the source matches or nears our default JPEG
// quality's at 40..56 % of its size); below 70 the encoder smooths it away.
inline constexpr int kDefaultAvifQuality = 75;

// True when libheif has an AV1 encoder here (EncodeAvif fails clearly without one).
bool CanEncodeAvif() noexcept;

// Encodes a picture as an AVIF file's bytes through libheif's AV1 encoder: 8 bits, YCbCr 4:2:0
// (BT.601 matrix, full range), at `quality` (1..100), on as many threads as the machine has
// processors. The colours are described by an nclx box: sRGB's primaries and curve unless
// the metadata's colour description names others; an ICC profile goes beside it. The EXIF
// block and the XMP packet go into the file's Exif and XMP items, the recipe text (UTF-8)
// into an item of MIME type "text/x-zumo-recipe". IPTC has no place in an AVIF file and is
// not written. Errors (zumo::Error): an empty picture (messages::kNothingToSave), a quality out
// of 1..100, a recipe beyond kMaxEmbeddedRecipeBytes, "画像を AVIF として書けません（reason）",
// "メモリが足りません".
std::vector<std::uint8_t> EncodeAvif(const Bitmap& picture, int quality, const PhotoMetadata& metadata = {},
                                     std::string_view recipe = {});

// The recipe text of an AVIF (or other HEIF) file's "text/x-zumo-recipe" item ("" when there
// is none or the file cannot be parsed), at most kMaxEmbeddedRecipeBytes of it. The picture
// is not decoded. Only bytes that libheif does not take for a HEIF file raise an Error.
std::string ReadAvifRecipe(std::span<const std::uint8_t> avif);

namespace detail {
// The encoder settings EncodeAvif uses, exposed for the benchmarks that chose them. Speed 8
// takes a third to a quarter of speed 6's processor time for the same size at qualities 60..75,
// 0.1..0.45 dB lower; speed 7 took 1.6 times speed 8's time for no better result. (At 85 and
// above speed 6 pulls ahead: smaller files and 2 dB more on the grainy photo.)
struct AvifTuning {
  int speed = 8;    // aom's speed 0..9 (heif-enc's default is 6)
  int threads = 0;  // 0: as many as the machine has processors (at most 16)
};
std::vector<std::uint8_t> EncodeAvifTuned(const Bitmap& picture, int quality, const PhotoMetadata& metadata,
                                          std::string_view recipe, const AvifTuning& tuning);
}  // namespace detail

}  // namespace zumo
