#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Lib/common/SizeStep.h"
#include "imaging/Framing.h"
#include "Lib/recipe/Steps.h"

namespace zumo {

// How a picture was made from the loaded photo: framed (turned, flipped, straightened,
// cropped), brought to a size preset, then the steps in order. Developing the photo by it
// (Develop.h) gives the picture byte for byte.
struct Recipe {
  SizePreset size = SizePreset::AsLoaded;
  std::vector<Step> steps;
  Framing framing;  // runs first; last here so that {size, steps} still reads as it did
  friend bool operator==(const Recipe&, const Recipe&) = default;
};

// The recipe file, UTF-8 text:
//   zumo-recipe 1               the version line, first (after blank and # lines)
//   turn 90                     the framing lines (FramingText.h), each at most once,
//   straighten -2.5             before the size and the steps
//   size 1024                   at most once, before the steps: as-loaded|1600|1024|800
//   shift-rgb red=-10 green=0 blue=4
//   zumo
//   technique name=omakase      one step a line: its name, then every parameter as name=value
//   technique name=furusugi seed=8731  a step that adds noise may name the noise's seed
// Blank lines and lines starting with # are ignored; so is a UTF-8 byte-order mark.
inline constexpr int kRecipeVersion = 1;
// Far above any recipe made by hand or by the window; a longer text is refused unread.
inline constexpr std::size_t kMaxRecipeBytes = 1024 * 1024;

std::string FormatRecipe(const Recipe& recipe);

// Reads a recipe's text. `source` names it in the messages. Raises zumo::Error naming the
// line for an unknown version, an unknown step or parameter, a missing, repeated or
// out-of-range value, or text that is not UTF-8.
Recipe ParseRecipe(std::string_view text, const std::string& source);

// The recipe files: read (bounded in size) and written like a saved photo (a failure leaves
// the old file as it was).
Recipe ReadRecipeFile(const std::string& path);
void WriteRecipeFile(const Recipe& recipe, const std::string& path);

// The recipe a photo saved by the window carries: a JPEG in its comment markers
// (FormatRecipe's text, in the first comment starting with the version line and the
// full-length comments continuing it; other programs' comments are passed over), a PNG in
// its "zumo-recipe" iTXt chunk, a WebP in its "ZRCP" chunk, an AVIF in its recipe item.
// Raises zumo::Error when the file cannot be read, is none of these, or carries none.
Recipe ReadRecipeFromPhoto(const std::string& path);

}  // namespace zumo
