#pragma once

// What the PNG, WebP and AVIF encoders check before they start, and the bound on the recipe
// text they carry.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"
#include "platform/Error.h"

namespace zumo {

// The longest recipe text a saved photo carries, and the most the ReadXxxRecipe functions
// return from a file (a longer text found in a file is cut there; the recipe parser, whose
// own limit is smaller, then refuses it as too large).
inline constexpr std::size_t kMaxEmbeddedRecipeBytes = 2 * 1024 * 1024;

namespace encoding {

// "画像を PNG として書けません（reason）": an encoder that failed, with the library's reason.
inline std::string CannotEncode(std::string_view format, std::string_view reason) {
  return "画像を " + std::string(format) + " として書けません（" + std::string(reason) + "）";
}

// The picture must hold pixels; the recipe and the metadata blocks must keep within the bounds
// a read file's blocks are held to (so that every size fits the formats' length fields).
inline void CheckInputs(const Bitmap& picture, const PhotoMetadata& metadata, std::string_view recipe) {
  if (picture.Empty()) throw Error(messages::kNothingToSave);
  if (recipe.size() > kMaxEmbeddedRecipeBytes)
    throw Error("写真に入れるレシピが大きすぎます（" + std::to_string(kMaxEmbeddedRecipeBytes / 1024) + " KB まで）");
  if (metadata.exif.size() > kMaxExifBytes || metadata.xmp.size() > kMaxXmpBytes ||
      metadata.colour.icc.size() > kMaxIccBytes)
    throw Error("写真に入れるメタデータが大きすぎます");
}

inline void CheckQuality(std::string_view format, int quality) {
  if (quality < 1 || quality > 100)
    throw Error(std::string(format) + " の品質は 1 から 100 までです（" + std::to_string(quality) + "）");
}

}  // namespace encoding
}  // namespace zumo
