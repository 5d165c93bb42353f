#pragma once

#include "Lib/recipe/Recipe.h"
#include "imaging/ABitmap.h"
#include "platform/Bitmap.h"

namespace zumo {

// The one way a picture is made from a photo: the photo framed by the recipe, brought to the
// recipe's size, then the recipe's steps in order. The window's load, size choices,
// techniques, framing and applied recipes and zumo-batch all develop through here, so a
// recipe replays the window's picture byte for byte. `work` is left holding the result;
// `sized`, when given, receives the framed photo at the recipe's size (what the steps
// started from). Raises Error when the framing does not fit the photo.
Bitmap Develop(TABitmap& work, const Bitmap& photo, const Recipe& recipe, Bitmap* sized = nullptr);

// The same from the photo already framed by the recipe's framing (the window keeps it).
Bitmap DevelopFramed(TABitmap& work, const Bitmap& framed, const Recipe& recipe, Bitmap* sized = nullptr);

}  // namespace zumo
