#include "Lib/recipe/Develop.h"

#include "Lib/common/SizeStep.h"

namespace zumo {

Bitmap Develop(TABitmap& work, const Bitmap& photo, const Recipe& recipe, Bitmap* sized) {
  const Bitmap at_size = BringToPreset(photo, recipe.size);
  Bitmap result = RunSteps(work, at_size, recipe.steps);
  if (sized) *sized = at_size;
  return result;
}

}  // namespace zumo
