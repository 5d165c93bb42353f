// The retouching handlers of the window: the seven sliders, the one-button Zumo filter and
// the preset techniques. They only pass pictures between the stores and call the engine;
// the filter's and the techniques' pixel chains are the engine's (imaging/Techniques.h),
// the same ones zumo-batch runs.
#include <cstdint>
#include <utility>

#include "BusyCursor.h"
#include "Lib/common/SizeStep.h"
#include "SliderGroups.h"
#include "Unit1.h"
#include "imaging/Techniques.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::BusyCursor;

using namespace slider_groups;

// One change notification of a slider of `group`. On a group switch the shown picture
// becomes the base and Set_Int puts every slider back to 0, re-entering the handlers of
// the sliders it moves; the change that caused the switch is therefore not applied. Then
// the group's operation makes WorkBitmap the base as changed with the positions as they
// stand now, and the shown picture takes the result. The recipes follow the pictures: the
// shown one is the base's with the step the operation returns.
template <class Operation>
void SliderChange(TForm1& form, std::int32_t group, Operation operation) {
  Ui::TForm1& ui = form.Controls();
  zumo::app::StoreRecipes& recipes = form.Recipes();
  if (ActiveGroup != group) {
    ActiveGroup = group;
    ui.Image2->Bitmap().Assign(ui.Image1->Bitmap());
    recipes.base = recipes.shown;
    form.Set_Int();
  }
  const zumo::Step step = operation(ui.Image2->Bitmap(), *WorkBitmap);
  zumo::Recipe shown = recipes.base;  // made first: nothing can fail once the picture is in
  if (!zumo::ChangesNothing(step)) shown.steps.push_back(step);
  ui.Image1->AssignBitmap(*WorkBitmap);
  recipes.shown = std::move(shown);
}

// An operation that changes WorkBitmap in place, after WorkBitmap takes the base. The
// copies share pixels until written (copy on write), so a change costs one copy of the
// base, made by the operation's first write, and one pass of the operation.
template <class InPlace>
auto OnCopyOfBase(InPlace in_place) {
  return [in_place](const zumo::Bitmap& base, zumo::Bitmap& work) {
    work.Assign(base);
    return in_place(work);
  };
}

// The three colour sliders make one call with all three offsets; raising a slider
// (towards its minimum at the top) adds to its channel.
void ColourChange(TForm1& form) {
  const Ui::TForm1& ui = form.Controls();
  SliderChange(form, kColour, OnCopyOfBase([&ui](zumo::Bitmap& target) {
    const auto shift = zumo::sliders::ColourShiftFor(ui.TrackBar1->value(), ui.TrackBar2->value(), ui.TrackBar3->value());
    WorkBitmap->ShiftRGB(shift.red, shift.green, shift.blue, target);
    return zumo::Step{zumo::StepKind::ShiftRgb, {shift.red, shift.green, shift.blue}};
  }));
}

}  // namespace

void TForm1::TrackBar1Change() { ColourChange(*this); }
void TForm1::TrackBar2Change() { ColourChange(*this); }
void TForm1::TrackBar3Change() { ColourChange(*this); }

void TForm1::TrackBar4Change() {
  SliderChange(*this, kContrast, OnCopyOfBase([this](zumo::Bitmap& target) {
    const int percent = zumo::sliders::ContrastFor(ui->TrackBar4->value());
    WorkBitmap->Contrast(percent, target);
    return zumo::Step{zumo::StepKind::Contrast, {percent}};
  }));
}

// Sharpness against blur. Both filters take the base straight into WorkBitmap, saving the
// copy an in-place filter would first make.
void TForm1::TrackBar5Change() {
  BusyCursor busy;
  SliderChange(*this, kSharpness, [this](const zumo::Bitmap& base, zumo::Bitmap& target) {
    const zumo::sliders::Sharpness sharpness = zumo::sliders::SharpnessFor(ui->TrackBar5->value());
    if (sharpness.sharpen)
      WorkBitmap->Sharpen(sharpness.amount, base, target);
    else
      WorkBitmap->BoxBlur(sharpness.amount, base, target);
    return zumo::Step{sharpness.sharpen ? zumo::StepKind::Sharpen : zumo::StepKind::BoxBlur, {sharpness.amount}};
  });
}

void TForm1::TrackBar6Change() {
  SliderChange(*this, kBrightness, OnCopyOfBase([this](zumo::Bitmap& target) {
    const std::int16_t amount = zumo::sliders::BrightnessFor(ui->TrackBar6->value());
    WorkBitmap->Brightness(target, amount);
    return zumo::Step{zumo::StepKind::Brightness, {amount}};
  }));
}

void TForm1::TrackBar7Change() {
  SliderChange(*this, kMonochrome, OnCopyOfBase([this](zumo::Bitmap& target) {
    const std::uint8_t amount = zumo::sliders::DesaturationFor(ui->TrackBar7->value());
    WorkBitmap->Desaturate(target, amount);
    return zumo::Step{zumo::StepKind::Desaturate, {amount}};
  }));
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
  ui->Image11->AssignBitmap(ui->Image1->Bitmap());
  const zumo::Recipe shown = recipes_.shown;
  Set_Int();
  ui->Image1->AssignBitmap(ui->Image11->Bitmap());
  recipes_.shown = shown;

  // Image11 takes the sharpened picture's size, so its size and the picture's agree and
  // the engine's radius classes are the ones of Image11.
  zumo::GlowResult glow = zumo::ApplyGlow(*WorkBitmap, ui->Image1->Bitmap(), zumo::kGlowSmallestRadius);
  ui->Image11->AssignBitmap(glow.sharpened);
  zumo::Recipe filtered = recipes_.shown;
  filtered.steps.push_back(zumo::Step{zumo::StepKind::Zumo});
  ui->Image1->AssignBitmap(glow.result);
  ui->Image2->Bitmap().Assign(ui->Image1->Bitmap());
  recipes_.shown = recipes_.base = std::move(filtered);
}

// Runs the selected preset technique on the loaded photo brought to the selected size.
// Nothing done since the load carries over; the result becomes the shown picture and the
// base, and every slider goes back to 0. ActiveGroup is left to the slider handlers.
void TForm1::RGButton5Click() {
  BusyCursor busy;
  WorkBitmap->Assign(ui->Image3->Bitmap());
  const zumo::Bitmap base = zumo::BringToPreset(*WorkBitmap, SelectedSizePreset());
  ui->Image1->AssignBitmap(base);
  ui->Image2->AssignBitmap(base);
  recipes_.shown = recipes_.base = zumo::Recipe{SelectedSizePreset(), {}};

  zumo::Technique technique = zumo::Technique::Omakase;  // RadioButton2, selected at start
  if (ui->RadioButton3->isChecked())
    technique = zumo::Technique::Furusugi;
  else if (ui->RadioButton4->isChecked())
    technique = zumo::Technique::Hadesugi;
  else if (ui->RadioButton12->isChecked())
    technique = zumo::Technique::Yarisugi;

  zumo::TechniqueResult chain = zumo::ApplyTechnique(*WorkBitmap, ui->Image2->Bitmap(), technique);
  zumo::Recipe made{SelectedSizePreset(), {zumo::Step{zumo::StepKind::Technique, {}, 0.0, technique}}};
  ui->Image1->AssignBitmap(chain.result);
  if (chain.scratch) ui->Image11->AssignBitmap(*chain.scratch);
  recipes_.shown = std::move(made);

  ui->Image2->AssignBitmap(ui->Image1->Bitmap());
  recipes_.base = recipes_.shown;
  Set_Int();
  ui->Image1->AssignBitmap(ui->Image2->Bitmap());
  recipes_.shown = recipes_.base;
}
