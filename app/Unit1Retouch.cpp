// The retouching handlers of the window: the seven sliders, the one-button Zumo filter and
// the preset techniques. Each names the step it takes, runs it through the engine's RunStep
// (the code that replays recipes) and records that same step in the picture's recipe; the
// handlers only pass pictures between the stores.
#include <cstdint>
#include <utility>

#include "BusyCursor.h"
#include "Lib/recipe/Develop.h"
#include "Lib/recipe/SliderSteps.h"
#include "SliderGroups.h"
#include "Unit1.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::BusyCursor;
using zumo::app::WindowState;

using namespace slider_groups;

}  // namespace

// One change notification of a slider of `group`. On a group switch the shown picture
// becomes the base and Set_Int puts every slider back to 0, re-entering the handlers of
// the sliders it moves; the change that caused the switch is therefore not applied. Then
// the group's step, read from the positions as they stand now, makes WorkBitmap the base as
// changed, and the shown picture takes the result; its recipe is the base's with the step.
void TForm1::SliderChange(std::int32_t group, const std::function<zumo::Step()>& step_now) {
  if (ActiveGroup != group) {
    ActiveGroup = group;
    Put(&WindowState::base, Held(&WindowState::shown));
    state_.recipes.base = state_.recipes.shown;
    Set_Int();
  }
  const zumo::Step step = step_now();
  zumo::Recipe shown = state_.recipes.base;  // made first: nothing can fail once the picture is in
  if (!zumo::ChangesNothing(step)) shown.steps.push_back(step);
  Put(&WindowState::shown, zumo::RunStep(*WorkBitmap, Held(&WindowState::base), step));
  state_.recipes.shown = std::move(shown);
}

// The three colour sliders make one step with all three offsets.
void TForm1::TrackBar1Change() {
  SliderChange(kColour, [this] {
    return zumo::slider_steps::Colour(ui->TrackBar1->value(), ui->TrackBar2->value(), ui->TrackBar3->value());
  });
}
void TForm1::TrackBar2Change() { TrackBar1Change(); }
void TForm1::TrackBar3Change() { TrackBar1Change(); }

void TForm1::TrackBar4Change() {
  SliderChange(kContrast, [this] { return zumo::slider_steps::Contrast(ui->TrackBar4->value()); });
}

void TForm1::TrackBar5Change() {
  BusyCursor busy;
  SliderChange(kSharpness, [this] { return zumo::slider_steps::Sharpness(ui->TrackBar5->value()); });
}

void TForm1::TrackBar6Change() {
  SliderChange(kBrightness, [this] { return zumo::slider_steps::Brightness(ui->TrackBar6->value()); });
}

void TForm1::TrackBar7Change() {
  SliderChange(kMonochrome, [this] { return zumo::slider_steps::Monochrome(ui->TrackBar7->value()); });
}

// The one-button filter on the picture as shown: a sharpen at 50/256, a box blur whose
// radius grows with the picture's size, and the sharpened picture laid over the blur at
// 100/256. The result becomes the shown picture and the base; Image11 and WorkBitmap keep
// the sharpened picture.
void TForm1::RGButton4Click() {
  BusyCursor busy;
  ActiveGroup = kFilter;
  // Set_Int may rebuild the shown picture from its slider handlers: keep the picture as
  // shown in Image11 and put it back afterwards.
  Put(&WindowState::scratch, Held(&WindowState::shown));
  const zumo::Recipe shown = state_.recipes.shown;
  Set_Int();
  Put(&WindowState::shown, Held(&WindowState::scratch));
  state_.recipes.shown = shown;

  const zumo::Step step = zumo::steps::Zumo{};
  std::optional<zumo::Bitmap> sharpened;
  const zumo::Bitmap result = zumo::RunStep(*WorkBitmap, Held(&WindowState::shown), step, &sharpened);
  // Image11 takes the sharpened picture, whose size is the picture's.
  if (sharpened) Put(&WindowState::scratch, *sharpened);
  zumo::Recipe filtered = state_.recipes.shown;
  filtered.steps.push_back(step);
  ShowAndBase(result, filtered);
}

// Runs the selected preset technique on the loaded photo brought to the selected size.
// Nothing done since the load carries over; the result becomes the shown picture and the
// base, and every slider goes back to 0. ActiveGroup is left to the slider handlers. A
// technique that adds noise draws a fresh seed and records it, so its recipe replays.
void TForm1::RGButton5Click() {
  BusyCursor busy;
  const zumo::Recipe sized_only = SizedOnly(SelectedSizePreset());
  ShowAndBase(zumo::DevelopFramed(*WorkBitmap, Held(&WindowState::loaded), sized_only), sized_only);

  zumo::Technique technique = zumo::Technique::Omakase;  // RadioButton2, selected at start
  if (ui->RadioButton3->isChecked())
    technique = zumo::Technique::Furusugi;
  else if (ui->RadioButton4->isChecked())
    technique = zumo::Technique::Hadesugi;
  else if (ui->RadioButton12->isChecked())
    technique = zumo::Technique::Yarisugi;
  zumo::steps::TechniqueChain chain{technique, std::nullopt};
  if (zumo::AddsNoise(technique)) chain.seed = zumo::TABitmap::NewNoiseSeed();

  std::optional<zumo::Bitmap> sharpened;
  const zumo::Bitmap result = zumo::RunStep(*WorkBitmap, Held(&WindowState::base), chain, &sharpened);
  zumo::Recipe made = sized_only;
  made.steps.push_back(chain);
  Put(&WindowState::shown, result);
  if (sharpened) Put(&WindowState::scratch, *sharpened);
  state_.recipes.shown = std::move(made);

  Put(&WindowState::base, Held(&WindowState::shown));
  state_.recipes.base = state_.recipes.shown;
  Set_Int();
  Put(&WindowState::shown, Held(&WindowState::base));
  state_.recipes.shown = state_.recipes.base;
}
