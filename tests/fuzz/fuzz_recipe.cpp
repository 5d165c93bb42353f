// Feeds arbitrary text to the recipe reader, as a recipe file or the comment of any JPEG may
// hold it: every input must end in a recipe or a zumo::Error, never in a crash or a hang,
// and a recipe read must read back from its own text as the same recipe. The same bytes go
// to the walk over a JPEG's comments as a file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <span>
#include <vector>

#include "Lib/recipe/Recipe.h"
#include "photofiles/JpegImage.h"
#include "platform/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const zumo::Recipe recipe = zumo::ParseRecipe(text, "fuzz");
    if (zumo::ParseRecipe(zumo::FormatRecipe(recipe), "fuzz") != recipe) std::abort();
  } catch (const zumo::Error&) {
  }
  try {
    std::size_t total = 0;
    for (const std::string& comment : zumo::ReadJpegComments(std::span(data, size), 1000)) total += comment.size();
    if (total > 1000) std::abort();
  } catch (const zumo::Error&) {
  }
  return 0;
}
