// The framing commands of the window: turns and mirrors of the picture as it shows, and the
// framing the crop mode gives. The loaded photo is framed anew and the pictures are
// developed from it by the recipes they already have, so the retouching carries over.
#include <algorithm>
#include <utility>

#include "BusyCursor.h"
#include "Lib/recipe/Develop.h"
#include "Unit1.h"
#include "imaging/FramingEdits.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::WindowState;

// Whether `shown` is `base` with at most one more step (a slider group's change), and so can
// be made from the base picture by that step alone.
bool OneStepBeyond(const zumo::Recipe& shown, const zumo::Recipe& base) {
  return shown.size == base.size && shown.framing == base.framing && shown.steps.size() <= base.steps.size() + 1 &&
         shown.steps.size() >= base.steps.size() &&
         std::equal(base.steps.begin(), base.steps.end(), shown.steps.begin());
}

}  // namespace

void TForm1::TurnClockwise() {
  RunHandler([this] { EditFraming(zumo::TurnedClockwise); });
}
void TForm1::TurnAnticlockwise() {
  RunHandler([this] { EditFraming(zumo::TurnedAnticlockwise); });
}
void TForm1::FlipHorizontally() {
  RunHandler([this] { EditFraming(zumo::FlippedHorizontally); });
}
void TForm1::FlipVertically() {
  RunHandler([this] { EditFraming(zumo::FlippedVertically); });
}
void TForm1::ChangeFraming(const zumo::Framing& framing) {
  RunHandler([this, &framing] { ReframeNow(framing); });
}

zumo::TCropEditor& TForm1::CropEditor() {
  if (crop_editor_ == nullptr) {
    crop_editor_ = new zumo::TCropEditor(this);
    crop_editor_->setObjectName(QStringLiteral("CropEditor"));
    crop_editor_->setGeometry(ui->ScrollBox1->geometry());
    crop_editor_->hide();
    connect(crop_editor_, &zumo::TCropEditor::accepted, this, [this] {
      zumo::Framing framing = CurrentFraming();
      framing.straighten_tenths = crop_editor_->StraightenTenths();
      framing.crop = crop_editor_->CropResult();
      LeaveCropMode();
      ChangeFraming(framing);
    });
    connect(crop_editor_, &zumo::TCropEditor::cancelled, this, [this] { LeaveCropMode(); });
  }
  return *crop_editor_;
}

bool TForm1::InCropMode() const noexcept { return crop_editor_ != nullptr && crop_editor_->isVisible(); }

void TForm1::StartCropMode() {
  RunHandler(
      [this] {
        RequirePhoto();
        zumo::app::BusyCursor busy;
        const zumo::Framing& framing = CurrentFraming();
        zumo::TCropEditor& editor = CropEditor();
        editor.Start(zumo::TurnAndFlip(state_.photo, framing.quarter_turns, framing.flip_horizontal,
                                       framing.flip_vertical),
                     framing.straighten_tenths, framing.crop);
        ui->ScrollBox1->hide();
        editor.show();
        editor.raise();
        editor.setFocus();
      },
      Undoable::None);
}

void TForm1::LeaveCropMode() {
  if (!InCropMode()) return;
  crop_editor_->hide();
  ui->ScrollBox1->show();
}

void TForm1::EditFraming(zumo::Framing (*edit)(const zumo::Framing&, zumo::FrameSize)) {
  RequirePhoto();
  ReframeNow(edit(CurrentFraming(), {state_.photo.Width(), state_.photo.Height()}));
}

void TForm1::ReframeNow(const zumo::Framing& framing) {
  RequirePhoto();
  zumo::app::BusyCursor busy;
  // Everything is made in temporaries first: a framing that does not fit changes nothing.
  zumo::Recipe base = state_.recipes.base, shown = state_.recipes.shown;
  base.framing = shown.framing = framing;
  const zumo::Bitmap framed = zumo::Frame(state_.photo, framing);
  zumo::TABitmap work;
  zumo::Bitmap sized;
  const zumo::Bitmap base_picture = zumo::DevelopFramed(work, framed, base, &sized);
  zumo::Bitmap shown_picture = base_picture;
  if (!OneStepBeyond(shown, base))
    shown_picture = zumo::DevelopFramed(work, framed, shown);
  else if (shown.steps.size() > base.steps.size())
    shown_picture = zumo::RunStep(work, base_picture, shown.steps.back());

  WorkBitmap->Assign(work);
  Put(&WindowState::loaded, framed);
  Put(&WindowState::base, base_picture);
  Put(&WindowState::shown, shown_picture);
  state_.recipes.base = std::move(base);
  state_.recipes.shown = std::move(shown);
  state_.compare_picture = sized;
}
