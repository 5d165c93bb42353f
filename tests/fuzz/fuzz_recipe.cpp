// Feeds arbitrary text to the recipe reader, as a recipe file or the comment of any JPEG may
// hold it: every input must end in a recipe or a zumo::Error, never in a crash or a hang,
// and a recipe read must read back from its own text as the same recipe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Lib/recipe/Recipe.h"
#include "platform/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const zumo::Recipe recipe = zumo::ParseRecipe(text, "fuzz");
    if (zumo::ParseRecipe(zumo::FormatRecipe(recipe), "fuzz") != recipe) std::abort();
  } catch (const zumo::Error&) {
  }
  return 0;
}
