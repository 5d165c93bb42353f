// The recipe commands of the window: saving how the shown picture was made, and putting a
// saved recipe on the loaded photo exactly as zumo-batch does.
#include <QFileDialog>

#include <utility>

#include "BusyCursor.h"
#include "DialogNames.h"
#include "Lib/recipe/Develop.h"
#include "Lib/recipe/Recipe.h"
#include "SliderGroups.h"
#include "Unit1.h"
#include "platform/Error.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::WindowState;

const char kRecipeFilter[] = "Zumo レシピ (*.zumo)";

}  // namespace

QFileDialog& TForm1::RecipeSaveDialog() {
  if (recipe_save_dialog_.dialog == nullptr) {
    QFileDialog* dialog = recipe_save_dialog_.dialog = new QFileDialog(this);
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("zumo"));
    dialog->setNameFilter(QString::fromUtf8(kRecipeFilter));
  }
  return *recipe_save_dialog_.dialog;
}

QFileDialog& TForm1::RecipeOpenDialog() {
  if (recipe_open_dialog_.dialog == nullptr) {
    QFileDialog* dialog = recipe_open_dialog_.dialog = new QFileDialog(this);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QString::fromUtf8(kRecipeFilter));
  }
  return *recipe_open_dialog_.dialog;
}

void TForm1::RequirePhoto() const {
  if (!state_.recipes.from_photo)
    throw zumo::Error("写真が読み込まれていません（レシピは写真を読み込んでから保存・適用できます）");
}

std::optional<QString> TForm1::AskRecipeName(zumo::app::RememberingDialog& dialog) {
  // The two recipe dialogs propose the recipe named last in either.
  dialog.last_name = last_recipe_name_;
  std::optional<QString> name = dialog.Ask();
  if (name) last_recipe_name_ = *name;
  return name;
}

void TForm1::SaveRecipeNow() {
  RequirePhoto();
  const zumo::Recipe recipe = state_.recipes.shown;  // the shown picture's, as the dialog opens
  RecipeSaveDialog();
  const std::optional<QString> name = AskRecipeName(recipe_save_dialog_);
  if (name) zumo::WriteRecipeFile(recipe, zumo::app::FileSystemPath(*name));
}

void TForm1::ChooseAndApplyRecipe() {
  RequirePhoto();
  RecipeOpenDialog();
  if (const std::optional<QString> name = AskRecipeName(recipe_open_dialog_))
    ApplyRecipeNow(*name);
}

void TForm1::ApplyRecipeNow(const QString& path) {
  RequirePhoto();
  zumo::app::BusyCursor busy;
  // Read, framed and developed in temporaries, as zumo-batch develops it: a recipe that
  // fails changes nothing. The framed photo at the recipe's size is what hold-to-compare
  // shows from now on.
  const zumo::Recipe recipe = zumo::ReadRecipeFile(zumo::app::FileSystemPath(path));
  const zumo::Bitmap framed = zumo::Frame(state_.photo, recipe.framing);
  zumo::TABitmap work;
  zumo::Bitmap sized;
  const zumo::Bitmap result = zumo::DevelopFramed(work, framed, recipe, &sized);

  // The new state, put on screen as a whole: sliders at 0 and the size choice at the
  // recipe's, without their handlers running.
  WindowState applied = CaptureState();
  applied.work = work;
  applied.loaded = framed;
  applied.shown = applied.base = result;
  applied.recipes.shown = applied.recipes.base = recipe;
  applied.compare_picture = std::move(sized);
  applied.active_group = slider_groups::kNone;
  applied.sliders.fill(0);
  applied.size = recipe.size;
  ShowState(applied);
}
