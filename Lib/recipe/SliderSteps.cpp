#include "Lib/recipe/SliderSteps.h"

#include "imaging/Techniques.h"

namespace zumo::slider_steps {

Step Colour(int red_position, int green_position, int blue_position) {
  const sliders::ColourShift shift = sliders::ColourShiftFor(red_position, green_position, blue_position);
  return steps::ShiftRgb{shift.red, shift.green, shift.blue};
}

Step Contrast(int position) { return steps::Contrast{sliders::ContrastFor(position)}; }

Step Sharpness(int position) {
  const sliders::Sharpness sharpness = sliders::SharpnessFor(position);
  if (sharpness.sharpen) return steps::Sharpen{sharpness.amount};
  return steps::BoxBlur{sharpness.amount};
}

Step Brightness(int position) { return steps::Brightness{sliders::BrightnessFor(position)}; }

Step Monochrome(int position) { return steps::Desaturate{sliders::DesaturationFor(position)}; }

}  // namespace zumo::slider_steps
