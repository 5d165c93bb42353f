// The recipe commands of the window: saving how the shown picture was made, and putting a
// saved recipe on the loaded photo exactly as zumo-batch does.
#include <QFileDialog>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include <utility>

#include "BusyCursor.h"
#include "DialogNames.h"
#include "Lib/common/SizeStep.h"
#include "Lib/recipe/Recipe.h"
#include "SliderGroups.h"
#include "Unit1.h"
#include "platform/Error.h"
#include "ui_Unit1.h"

namespace {

const char kRecipeFilter[] = "Zumo レシピ (*.zumo)";

}  // namespace

QFileDialog& TForm1::RecipeSaveDialog() {
  if (recipe_save_dialog_ == nullptr) {
    recipe_save_dialog_ = new QFileDialog(this);
    recipe_save_dialog_->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    recipe_save_dialog_->setAcceptMode(QFileDialog::AcceptSave);
    recipe_save_dialog_->setDefaultSuffix(QStringLiteral("zumo"));
    recipe_save_dialog_->setNameFilter(QString::fromUtf8(kRecipeFilter));
  }
  return *recipe_save_dialog_;
}

QFileDialog& TForm1::RecipeOpenDialog() {
  if (recipe_open_dialog_ == nullptr) {
    recipe_open_dialog_ = new QFileDialog(this);
    recipe_open_dialog_->setOption(QFileDialog::DontUseNativeDialog);
    recipe_open_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
    recipe_open_dialog_->setFileMode(QFileDialog::ExistingFile);
    recipe_open_dialog_->setNameFilter(QString::fromUtf8(kRecipeFilter));
  }
  return *recipe_open_dialog_;
}

void TForm1::RequirePhoto() const {
  if (!recipes_.from_photo)
    throw zumo::Error("写真が読み込まれていません（レシピは写真を読み込んでから保存・適用できます）");
}

void TForm1::SaveRecipeNow() {
  RequirePhoto();
  const zumo::Recipe recipe = recipes_.shown;  // the shown picture's, as the dialog opens
  QFileDialog& dialog = RecipeSaveDialog();
  zumo::app::ProposeName(dialog, last_recipe_name_);
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList names = dialog.selectedFiles();
  if (names.isEmpty()) return;
  last_recipe_name_ = names.front();
  zumo::WriteRecipeFile(recipe, zumo::app::FileSystemPath(last_recipe_name_));
}

void TForm1::ChooseAndApplyRecipe() {
  RequirePhoto();
  QFileDialog& dialog = RecipeOpenDialog();
  zumo::app::ProposeName(dialog, last_recipe_name_);
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList names = dialog.selectedFiles();
  if (names.isEmpty()) return;
  last_recipe_name_ = names.front();
  ApplyRecipeNow(last_recipe_name_);
}

void TForm1::ApplyRecipeNow(const QString& path) {
  RequirePhoto();
  zumo::app::BusyCursor busy;
  // Read and run in temporaries: a recipe that fails changes nothing.
  const zumo::Recipe recipe = zumo::ReadRecipeFile(zumo::app::FileSystemPath(path));
  // As zumo-batch runs it: the photo brought to the recipe's size, then its steps. The sized
  // photo is also what hold-to-compare shows from now on.
  zumo::Bitmap sized = zumo::BringToPreset(ui->Image3->Bitmap(), recipe.size);
  zumo::TABitmap work;
  const zumo::Bitmap result = zumo::ApplySteps(work, sized, recipe.steps);

  WorkBitmap->Assign(work);
  ui->Image1->AssignBitmap(result);
  ui->Image2->AssignBitmap(result);
  recipes_.shown = recipes_.base = recipe;
  compare_picture_ = std::move(sized);
  ActiveGroup = slider_groups::kNone;
  for (QSlider* slider : {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4, ui->TrackBar5,
                          ui->TrackBar6, ui->TrackBar7}) {
    const QSignalBlocker quiet(slider);
    slider->setValue(0);
  }
  known_positions_.fill(0);
  // The size choices in the order of SizePreset: as loaded, 1600, 1024, 800.
  QRadioButton* presets[] = {ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11};
  const int preset = static_cast<int>(recipe.size);
  {
    const QSignalBlocker quiet0(presets[0]), quiet1(presets[1]), quiet2(presets[2]), quiet3(presets[3]);
    presets[preset]->setChecked(true);
  }
  known_preset_ = preset;
}
