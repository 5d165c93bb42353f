#include "Lib/recipe/Develop.h"

#include "Lib/common/SizeStep.h"

namespace zumo {

Bitmap Develop(TABitmap& work, const Bitmap& photo, const Recipe& recipe, Bitmap* sized) {
  return DevelopFramed(work, Frame(photo, recipe.framing), recipe, sized);
}

Bitmap DevelopFramed(TABitmap& work, const Bitmap& framed, const Recipe& recipe, Bitmap* sized) {
  const Bitmap at_size = BringToPreset(framed, recipe.size);
  Bitmap result = RunSteps(work, at_size, recipe.steps);
  if (sized) *sized = at_size;
  return result;
}

}  // namespace zumo
