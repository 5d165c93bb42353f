#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "DialogNames.h"
#include "Lib/common/SizeStep.h"
#include "UndoHistory.h"
#include "controls/CropEditor.h"
#include "controls/PictureControl.h"
#include "imaging/ABitmap.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QKeyEvent;
class QMenu;
class QRadioButton;
class QShowEvent;
class QSlider;

namespace Ui {
class TForm1;
}

// State shared by the window's handlers. FormCreate makes WorkJpeg, then WorkBitmap; the
// quit button releases them in that order.
extern std::unique_ptr<zumo::JpegImage> WorkJpeg;  // decodes the JPEG files of the load
extern std::unique_ptr<zumo::TABitmap> WorkBitmap;  // the one scratch bitmap of every handler
// Which control group produced the shown picture: 0 after a load or size preset, 1..5 the
// slider groups, 100 after the one-button filter.
extern std::int32_t ActiveGroup;

// The main window. Image1 is the shown picture, Image2 the base picture of the slider
// groups, Image3 the photo as loaded, Image11 the scratch picture of the filter and the
// techniques; the last three lie below the client area and are never seen.
class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  Ui::TForm1& Controls() noexcept { return *ui; }
  QFileDialog& OpenDialog1() noexcept { return *open_dialog_.dialog; }
  QFileDialog& SaveDialog1() noexcept { return *save_dialog_.dialog; }

  // Puts the seven sliders back to 0, TrackBar1 first. Each slider that moves raises its
  // change handler before the next one is set, so handlers can re-enter from here.
  void Set_Int();

  // The load from the moment the name is known: reads the photo, brings it to the size
  // preset and only then replaces the loaded photo and the shown and base pictures, so a
  // file that fails to load leaves every picture as it was.
  void LoadPhoto(const QString& path);

  // The load as the load button does it once its dialog is confirmed with `path`: ActiveGroup
  // 0, Set_Int, then LoadPhoto; the dialog proposes that name next time. Errors go to the
  // error report. Used by a drop on the window and by the command line.
  void OpenNamedPhoto(const QString& path);

  // The screen depth read at start-up (bits per pixel), which decides JPEG quantisation.
  // The setter stands for a screen of another depth (tests have no narrow screen).
  int ScreenBitsPerPixel() const noexcept { return screen_bits_per_pixel_; }
  void SetScreenBitsPerPixel(int bits) noexcept { screen_bits_per_pixel_ = bits; }

  // Editing comfort (Unit1Editing.cpp). Undo puts back the whole state before the last
  // step (pictures, WorkBitmap, sliders without their handlers, ActiveGroup, size preset);
  // redo the state after it. A slider gesture still going on is closed as a step first.
  void Undo();
  void Redo();
  bool CanUndo() const noexcept;
  bool CanRedo() const noexcept { return history_.CanRedo(); }
  zumo::app::UndoHistory& History() noexcept { return history_; }
  // The state as the next step would record it.
  zumo::app::WindowState CaptureState() const;
  // Ends the slider gesture going on, if any, recording it as one step.
  void CloseGesture();
  // Hold to compare: the view shows the photo as the last load or size preset put it.
  bool Comparing() const noexcept { return compare_key_ || compare_mouse_ || compare_menu_; }
  // The photo's right-click menu.
  QMenu& PhotoMenu() noexcept { return *photo_menu_; }
  // How much of the loaded photo's metadata the window's saves carry (the photo menu's two
  // checkable entries).
  zumo::MetadataChoice SavedMetadata() const noexcept;

  // 形式を選んで保存… (Ctrl+Shift+S): the shown picture saved in a kind chosen in the dialog's
  // filters (BMP, JPEG, PNG, WebP, AVIF) at the quality of its quality control, with the same
  // guarantees, metadata and recipe as the save button; the dialog remembers its last name
  // and kind while the window runs. Before a photo is loaded it says so, as the save button
  // does. Errors go to the error report.
  void SaveAs();
  QFileDialog& SaveAsDialog();

  // The window's state as the handlers left it (WorkBitmap and ActiveGroup are copied in
  // by CaptureState). The recipes of the shown and the base picture are kept by every
  // handler together with the pictures.
  const zumo::app::WindowState& State() const noexcept { return state_; }
  const zumo::app::StoreRecipes& Recipes() const noexcept { return state_.recipes; }
  // Saves the shown picture's recipe through a save dialog (Ctrl+E); applies a recipe file
  // chosen in an open dialog to the loaded photo as one step (Ctrl+Shift+E). Before a photo
  // is loaded both say so and do nothing else. Errors go to the error report.
  void SaveRecipe();
  void ApplyRecipe();
  // ApplyRecipe once the file is chosen: the loaded photo brought to the recipe's size and
  // run through its steps, as zumo-batch runs it, becomes the shown picture and the base;
  // the sliders go to 0 and the size choice to the recipe's size without their handlers
  // running, ActiveGroup to 0. A recipe that cannot be read changes nothing.
  void ApplyRecipeFile(const QString& path);
  // The framing commands of the photo's menu: turns and mirrors of the picture as it shows,
  // and any framing as the crop mode gives it. Each is one undoable step: the loaded photo
  // is framed anew and the shown picture and the base are developed from it by their own
  // recipes (size and steps), so the retouching carries over; the sliders and ActiveGroup
  // stay as they were. Before a photo is loaded they say so. Errors go to the error report.
  void TurnClockwise();
  void TurnAnticlockwise();
  void FlipHorizontally();
  void FlipVertically();
  void ChangeFraming(const zumo::Framing& framing);
  // The crop mode (切り抜き・傾き補正…, Ctrl+K): the editor takes the photo view's place with the
  // photo turned and mirrored as framed, its straightening and its crop. Enter applies the
  // edited framing as ChangeFraming does; Escape, or any other command, leaves the mode
  // without a change. Before a photo is loaded it says so.
  void StartCropMode();
  bool InCropMode() const noexcept;
  zumo::TCropEditor& CropEditor();
  const zumo::Framing& CurrentFraming() const noexcept { return state_.recipes.base.framing; }
  // The recipe commands' dialogs, made when first needed (they are not part of the window's
  // own controls).
  QFileDialog& RecipeSaveDialog();
  QFileDialog& RecipeOpenDialog();

 public slots:
  void RGButton1Click();  // quit
  void RGButton2Click();  // load
  void RGButton3Click();  // save
  void RGButton4Click();  // the one-button filter
  void RGButton5Click();  // run the selected technique
  void RadioButton8Click();
  void RadioButton9Click();
  void RadioButton10Click();
  void RadioButton11Click();
  void TrackBar1Change();
  void TrackBar2Change();
  void TrackBar3Change();
  void TrackBar4Change();
  void TrackBar5Change();
  void TrackBar6Change();
  void TrackBar7Change();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A drop of local files loads the first of them; anything else is not accepted.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void LoadStoredPictures();
  void BindEvents();
  // What an outermost handler is to the undo history.
  enum class Undoable {
    None,        // no step: save, quit
    Action,      // one step: load, size choice, filter, technique, recipe
    Slider,      // part of the gesture on the sending slider
  };
  // Runs one event handler. An error that ends the outermost handler goes to the error
  // report and the window goes on; an error in a handler re-entered from Set_Int is kept
  // and raised again in Set_Int, so it ends the outer handler as well. The outermost
  // handler is recorded as `undoable` says, failed or not.
  void RunHandler(const std::function<void()>& handler, Undoable undoable = Undoable::Action,
                  QSlider* sender = nullptr);
  void RecordStep(const zumo::app::WindowState& before);
  // Undo and redo: `can` says whether the history can move, `move` moves it.
  void GoThroughHistory(bool (zumo::app::UndoHistory::*can)() const noexcept,
                        const zumo::app::WindowState& (zumo::app::UndoHistory::*move)());
  // Puts `state` on screen and makes it the window's: the stores, WorkBitmap, the sliders
  // and the size choice (without their handlers running), ActiveGroup.
  void ShowState(const zumo::app::WindowState& state);
  void SetUpEditing();
  void SetUpAccessibleNames();
  void UpdateCommands();
  void ShowComparison();

  // The picture stores. Held reads one as a bitmap (a store still holding its stored start
  // picture gives that picture, from then on held as a bitmap); Put writes one, in the state
  // and on its control.
  zumo::TImage& StoreControl(zumo::app::StoreField store) const;
  const zumo::Bitmap& Held(zumo::app::StoreField store);
  void Put(zumo::app::StoreField store, const zumo::Bitmap& picture);
  // The shown picture and the base become `picture`, made from the loaded photo by `recipe`.
  void ShowAndBase(const zumo::Bitmap& picture, const zumo::Recipe& recipe);
  // No steps at `size`, with the current framing.
  zumo::Recipe SizedOnly(zumo::SizePreset size) const;
  // The framing commands inside their handlers.
  void EditFraming(zumo::Framing (*edit)(const zumo::Framing&, zumo::FrameSize));
  void ReframeNow(const zumo::Framing& framing);
  void LeaveCropMode();
  // The loaded photo developed at the selected size choice becomes the shown picture, the
  // base and the picture to compare with.
  void ShowSizedPhoto();
  // The change handler of a slider of `group`, whose step `step_now` reads from the
  // positions (Unit1Retouch.cpp).
  void SliderChange(std::int32_t group, const std::function<zumo::Step()>& step_now);
  std::array<QSlider*, 7> Sliders() const;
  std::array<QRadioButton*, 4> SizeChoices() const;  // in the order of zumo::SizePreset
  zumo::SizePreset SelectedSizePreset() const;

  // The recipe commands inside their handlers (Unit1Recipes.cpp).
  void RequirePhoto() const;
  void SaveRecipeNow();
  void ChooseAndApplyRecipe();
  void ApplyRecipeNow(const QString& path);
  std::optional<QString> AskRecipeName(zumo::app::RememberingDialog& dialog);
  // What a save writes beside the shown picture: the recipe text (empty when there is
  // nothing to replay) and the loaded photo's metadata as the photo menu's choices leave it.
  std::string ShownRecipeText() const;
  zumo::PhotoMetadata MetadataToSave(const zumo::Bitmap& picture, zumo::SaveFormat format) const;
  // Save-as inside its handler (Unit1SaveAs.cpp).
  void SaveAsNow();
  void ShowKindSettings(const QString& filter);

  std::unique_ptr<Ui::TForm1> ui;
  zumo::app::WindowState state_;
  int screen_bits_per_pixel_ = 24;
  int handler_depth_ = 0;
  std::exception_ptr nested_error_;
  bool centred_ = false;

  zumo::app::UndoHistory history_;
  // The slider gesture going on: its slider and the state before its first change.
  QSlider* gesture_slider_ = nullptr;
  std::optional<zumo::app::WindowState> gesture_before_;
  // The stored start pictures of Image1, Image2, Image3 and Image11, put back by an undo
  // to before the first time a store was read as a bitmap.
  std::array<zumo::TPicture, 4> start_pictures_;
  bool compare_key_ = false, compare_mouse_ = false, compare_menu_ = false;

  // The file dialogs, each proposing the name confirmed last (the two recipe dialogs share
  // theirs).
  zumo::app::RememberingDialog open_dialog_, save_dialog_, save_as_dialog_, recipe_save_dialog_, recipe_open_dialog_;
  QString last_recipe_name_;
  QSpinBox* save_as_quality_ = nullptr;
  QCheckBox* save_as_lossless_ = nullptr;

  zumo::TCropEditor* crop_editor_ = nullptr;
  QMenu* photo_menu_ = nullptr;
  QAction* undo_action_ = nullptr;
  QAction* redo_action_ = nullptr;
  QAction* fit_action_ = nullptr;
  QAction* actual_size_action_ = nullptr;
  QAction* compare_action_ = nullptr;
  QAction* strip_location_action_ = nullptr;
  QAction* strip_metadata_action_ = nullptr;
};
