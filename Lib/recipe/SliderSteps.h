#pragma once

#include "Lib/recipe/Steps.h"

// The step each slider group's positions ask for: the window's slider handlers run it on the
// base picture and record it, so the shown picture and its recipe come from this one value.
namespace zumo::slider_steps {

Step Colour(int red_position, int green_position, int blue_position);
Step Contrast(int position);
// A sharpen above the middle, a box blur at and below it.
Step Sharpness(int position);
Step Brightness(int position);
Step Monochrome(int position);

}  // namespace zumo::slider_steps
