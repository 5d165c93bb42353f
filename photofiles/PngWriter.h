#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// Encodes a picture as a PNG file's bytes: 8-bit RGB, lossless, not interlaced, with the
// zlib settings that a trial on sampled bands of rows finds smaller (see ChoosePngTuning).
// Before the
// picture data go, when given: the EXIF block as an eXIf chunk, the XMP packet as an
// uncompressed iTXt chunk keyed "XML:com.adobe.xmp", the recipe text (UTF-8) as an iTXt chunk
// keyed "zumo-recipe", an ICC profile as iCCP (a profile libpng finds unusable is left out)
// and a colour description without ICC as cICP. IPTC has no place in a PNG file and is not
// written (its fields travel in the XMP packet). Errors (zumo::Error): an empty picture
// (messages::kNothingToSave), a recipe beyond kMaxEmbeddedRecipeBytes, "画像を PNG として書けま
// せん（reason）", "メモリが足りません".
std::vector<std::uint8_t> EncodePng(const Bitmap& picture, const PhotoMetadata& metadata = {},
                                    std::string_view recipe = {});

// The recipe text that EncodePng put into a PNG file ("" when the file carries none), at most
// kMaxEmbeddedRecipeBytes of it. The chunks are walked without decoding the picture; a
// damaged file gives what can be read before the damage (a recipe chunk whose checksum fails
// counts as absent). A compressed recipe chunk (another program may have rewritten the file)
// is inflated. Only bytes that do not start with the PNG signature raise an Error.
std::string ReadPngRecipe(std::span<const std::uint8_t> png);

namespace detail {
// The compression settings EncodePng uses, exposed for the benchmarks that chose them.
struct PngTuning {
  int level = 0;     // zlib level 0..9
  int strategy = 0;  // zlib strategy: 0 default, 1 filtered, 2 Huffman only, 3 run lengths
  int filters = 0;   // libpng's PNG_FILTER_* bits: 0x08 none, 0x10 sub, 0x20 up, 0x40 average, 0x80 Paeth
};
// Of the two settings EncodePng uses, the one that gives fewer bytes on bands of rows sampled
// over the picture.
PngTuning ChoosePngTuning(const Bitmap& picture);
std::vector<std::uint8_t> EncodePngTuned(const Bitmap& picture, const PhotoMetadata& metadata,
                                         std::string_view recipe, const PngTuning& tuning);
}  // namespace detail

}  // namespace zumo
