// Editing comfort around the window's handlers: undo and redo, hold to compare, the view's
// zoom commands, keyboard shortcuts, the photo's menu and the names assistive technology
// reads. None of it changes what a handler does; the history watches from the outside.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include "Unit1.h"
#include "controls/PhotoView.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::WindowState;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

// --- the state and the history ---

zumo::TImage& TForm1::StoreControl(zumo::app::StoreField store) const {
  if (store == &WindowState::shown) return *ui->Image1;
  if (store == &WindowState::base) return *ui->Image2;
  if (store == &WindowState::loaded) return *ui->Image3;
  return *ui->Image11;
}

const zumo::Bitmap& TForm1::Held(zumo::app::StoreField store) {
  std::optional<zumo::Bitmap>& held = state_.*store;
  if (!held) held = StoreControl(store).Bitmap();  // the stored start picture, now as a bitmap
  return *held;
}

void TForm1::Put(zumo::app::StoreField store, const zumo::Bitmap& picture) {
  StoreControl(store).AssignBitmap(picture);
  state_.*store = picture;
}

void TForm1::ShowAndBase(const zumo::Bitmap& picture, const zumo::Recipe& recipe) {
  Put(&WindowState::shown, picture);
  Put(&WindowState::base, picture);
  state_.recipes.shown = state_.recipes.base = recipe;
}

WindowState TForm1::CaptureState() const {
  WindowState state = state_;
  if (WorkBitmap) state.work = *WorkBitmap;
  state.active_group = ActiveGroup;
  return state;
}

void TForm1::ShowState(const WindowState& state) {
  state_ = state;
  for (std::size_t i = 0; i < std::size(zumo::app::kStoreFields); ++i) {
    const zumo::app::StoreField store = zumo::app::kStoreFields[i];
    if (state.*store)
      StoreControl(store).AssignBitmap(*(state.*store));
    else
      StoreControl(store).SetPicture(start_pictures_[i]);
  }
  if (WorkBitmap) WorkBitmap->Assign(state.work);
  ActiveGroup = state.active_group;
  // Positions and the size choice come back without their handlers running.
  const std::array<QSlider*, 7> sliders = Sliders();
  for (std::size_t i = 0; i < sliders.size(); ++i) {
    const QSignalBlocker quiet(sliders[i]);
    sliders[i]->setValue(state.sliders[i]);
  }
  for (QRadioButton* choice : SizeChoices()) {
    const QSignalBlocker quiet(choice);
    choice->setChecked(choice == SizeChoices()[static_cast<std::size_t>(state.size)]);
  }
}

void TForm1::RecordStep(const WindowState& before) {
  WindowState after = CaptureState();
  if (!zumo::app::SameState(before, after)) {
    history_.Push(before, std::move(after));
    compare_menu_ = false;
  }
  UpdateCommands();
  ShowComparison();
}

void TForm1::CloseGesture() {
  if (!gesture_before_) return;
  qApp->removeEventFilter(this);
  const WindowState before = std::move(*gesture_before_);
  gesture_before_.reset();
  gesture_slider_ = nullptr;
  RecordStep(before);
}

bool TForm1::CanUndo() const noexcept { return history_.CanUndo() || gesture_before_.has_value(); }

void TForm1::Undo() { GoThroughHistory(&zumo::app::UndoHistory::CanUndo, &zumo::app::UndoHistory::Undo); }
void TForm1::Redo() { GoThroughHistory(&zumo::app::UndoHistory::CanRedo, &zumo::app::UndoHistory::Redo); }

void TForm1::GoThroughHistory(bool (zumo::app::UndoHistory::*can)() const noexcept,
                              const WindowState& (zumo::app::UndoHistory::*move)()) {
  CloseGesture();
  LeaveCropMode();
  if (!(history_.*can)()) return;
  ShowState((history_.*move)());
  compare_menu_ = false;
  UpdateCommands();
  ShowComparison();
}

// A slider gesture is the changes of one slider until the user does anything else: a
// press or release of a mouse button anywhere (so one drag, or one click in the groove,
// is one gesture), a key or a wheel step on another control, or the slider losing focus.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (gesture_slider_ && watched->isWidgetType()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        CloseGesture();
        break;
      case QEvent::KeyPress:
      case QEvent::Wheel:
        if (watched != gesture_slider_) CloseGesture();
        break;
      case QEvent::FocusOut:
        if (watched == gesture_slider_) CloseGesture();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// --- hold to compare ---

void TForm1::ShowComparison() {
  if (Comparing() && state_.compare_picture)
    ui->Image1->ShowInstead(state_.compare_picture);
  else
    ui->Image1->ShowInstead(std::nullopt);
  const QSignalBlocker quiet(compare_action_);
  compare_action_->setChecked(compare_menu_ && state_.compare_picture);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backslash && event->modifiers() == Qt::NoModifier) {
    if (!event->isAutoRepeat()) {
      compare_key_ = true;
      ShowComparison();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backslash) {
    if (!event->isAutoRepeat()) {
      compare_key_ = compare_menu_ = false;
      ShowComparison();
    }
    return;
  }
  QWidget::keyReleaseEvent(event);
}

// --- commands, menu and names ---

void TForm1::UpdateCommands() {
  undo_action_->setEnabled(CanUndo());
  redo_action_->setEnabled(CanRedo());
  const bool photo = ui->Image1->Picture().IsBitmap() && !ui->Image1->Picture().Empty();
  fit_action_->setEnabled(photo);
  actual_size_action_->setEnabled(photo);
  compare_action_->setEnabled(state_.compare_picture && !state_.compare_picture->Empty());
}

void TForm1::SetUpEditing() {
  start_pictures_ = {ui->Image1->Picture(), ui->Image2->Picture(), ui->Image3->Picture(), ui->Image11->Picture()};
  // The state follows the sliders. Connected after the handlers, these run once a change's
  // handler has returned: while it runs, the state holds the position before the change. A
  // handler may have moved its slider again meanwhile (Set_Int): the slider's own value
  // is the one kept. The size choice's handlers set the state's size themselves.
  const std::array<QSlider*, 7> sliders = Sliders();
  for (std::size_t i = 0; i < sliders.size(); ++i) {
    state_.sliders[i] = sliders[i]->value();
    connect(sliders[i], &QSlider::valueChanged, this, [this, i] { state_.sliders[i] = Sliders()[i]->value(); });
  }
  state_.size = SelectedSizePreset();

  auto command = [this](const char* text, QList<QKeySequence> keys, auto run) {
    auto* action = new QAction(Text(text), this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, run);
    return action;
  };
  undo_action_ = command("元に戻す", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { Undo(); });
  redo_action_ = command("やり直し", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
                         [this] { Redo(); });
  fit_action_ = command("全体を表示", {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { ui->Image1->FitToView(); });
  actual_size_action_ = command("等倍表示", {QKeySequence(Qt::CTRL | Qt::Key_1)}, [this] { ui->Image1->ActualSize(); });
  // The backslash is held, not pressed: the key events do it, the menu shows it.
  compare_action_ = command("比較\t\\", {}, [this](bool on) {
    compare_menu_ = on;
    ShowComparison();
  });
  compare_action_->setCheckable(true);
  command("拡大", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
          [this] { ui->Image1->ZoomIn(); });
  command("縮小", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { ui->Image1->ZoomOut(); });
  // The buttons' shortcuts press the buttons, so they run exactly what a click runs.
  command("読み込み", {QKeySequence(Qt::CTRL | Qt::Key_O)}, [this] { emit ui->RGButton2->clicked(); });
  command("保存", {QKeySequence(Qt::CTRL | Qt::Key_S)}, [this] { emit ui->RGButton3->clicked(); });
  command("終了", {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { emit ui->RGButton1->clicked(); });
  QAction* save_as = command("形式を選んで保存…", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, [this] { SaveAs(); });
  QAction* save_recipe = command("レシピを保存…", {QKeySequence(Qt::CTRL | Qt::Key_E)}, [this] { SaveRecipe(); });
  QAction* apply_recipe =
      command("レシピを適用…", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)}, [this] { ApplyRecipe(); });

  // Framing: the picture as it shows turned or mirrored.
  QAction* turn_right = command("右に90度回転", {QKeySequence(Qt::CTRL | Qt::Key_R)}, [this] { TurnClockwise(); });
  QAction* turn_left =
      command("左に90度回転", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}, [this] { TurnAnticlockwise(); });
  QAction* flip_h = command("左右反転", {QKeySequence(Qt::CTRL | Qt::Key_H)}, [this] { FlipHorizontally(); });
  QAction* flip_v = command("上下反転", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H)}, [this] { FlipVertically(); });
  QAction* crop = command("切り抜き・傾き補正…", {QKeySequence(Qt::CTRL | Qt::Key_K)}, [this] { StartCropMode(); });

  photo_menu_ = new QMenu(this);
  photo_menu_->addAction(undo_action_);
  photo_menu_->addAction(redo_action_);
  photo_menu_->addSeparator();
  photo_menu_->addAction(fit_action_);
  photo_menu_->addAction(actual_size_action_);
  photo_menu_->addSeparator();
  photo_menu_->addAction(compare_action_);
  photo_menu_->addSeparator();
  photo_menu_->addAction(turn_right);
  photo_menu_->addAction(turn_left);
  photo_menu_->addAction(flip_h);
  photo_menu_->addAction(flip_v);
  photo_menu_->addAction(crop);
  photo_menu_->addSeparator();
  photo_menu_->addAction(save_as);
  photo_menu_->addAction(save_recipe);
  photo_menu_->addAction(apply_recipe);
  // What the window's saves leave out of the photo's metadata while it runs.
  photo_menu_->addSeparator();
  strip_location_action_ = photo_menu_->addAction(Text("位置情報を保存しない"));
  strip_location_action_->setCheckable(true);
  strip_metadata_action_ = photo_menu_->addAction(Text("メタデータを保存しない"));
  strip_metadata_action_->setCheckable(true);
  connect(photo_menu_, &QMenu::aboutToShow, this, [this] { UpdateCommands(); });
  ui->Image1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ui->Image1, &QWidget::customContextMenuRequested, this,
          [this](QPoint pos) { photo_menu_->popup(ui->Image1->mapToGlobal(pos)); });
  connect(ui->Image1, &zumo::TImage::pictureChanged, this, [this] { UpdateCommands(); });

  // Holding the left button on the photo compares.
  ui->Image1->OnMouseDown = [this](Qt::MouseButton button, QPoint) {
    if (button != Qt::LeftButton) return;
    compare_mouse_ = true;
    ShowComparison();
  };
  ui->Image1->OnMouseUp = [this](Qt::MouseButton button, QPoint) {
    if (button != Qt::LeftButton) return;
    compare_mouse_ = compare_menu_ = false;
    ShowComparison();
  };

  SetUpAccessibleNames();
  UpdateCommands();
}

// The labels are pictures: these are the words they show, for screen readers.
void TForm1::SetUpAccessibleNames() {
  struct Name {
    QWidget* control;
    const char* name;
    const char* description;
  };
  const Name names[] = {
      {ui->Image8, "だれでもかれでもZumoミキサー", "タイトル"},
      {ui->ScrollBox1, "写真", "写真の表示。Ctrl+ホイールで拡大縮小、右クリックでメニュー"},
      {ui->Image1, "写真", "左ボタンか \\ キーを押している間、読み込んだときの写真を表示します"},
      {ui->Panel2, "読み込み", "写真の読み込みと大きさ"},
      {ui->Image4, "読み込みの大きさ", "そのまんま、でかでか、普通、ちょんみり"},
      {ui->RGButton2, "読み込み", "写真を読み込みます (Ctrl+O)"},
      {ui->RadioButton8, "そのまんま", "そのまんまの大きさで読み込みます"},
      {ui->RadioButton9, "でかでか", "長辺を1600dotにします。"},
      {ui->RadioButton10, "普通", "長辺を1024dotにします。"},
      {ui->RadioButton11, "ちょんみり", "長辺を800dotにします。"},
      {ui->Panel3, "色ごのみ", "赤、緑、青の調整"},
      {ui->Image6, "色ごのみ", "赤、緑、青"},
      {ui->TrackBar1, "赤", "上へ動かすと赤が強く、下へ動かすと弱くなります"},
      {ui->TrackBar2, "緑", "上へ動かすと緑が強く、下へ動かすと弱くなります"},
      {ui->TrackBar3, "青", "上へ動かすと青が強く、下へ動かすと弱くなります"},
      {ui->Panel4, "手ごころ", "派手←→地味、明るい←→暗い、くっきり←→ぼけぼけ、カラー←→モノクロ"},
      {ui->Image7, "手ごころ", "派、明、鮮、色 と 地、暗、呆、物"},
      {ui->TrackBar4, "派手←→地味", "上へ動かすと派手に、下へ動かすと地味になります"},
      {ui->TrackBar6, "明るい←→暗い", "上へ動かすと明るく、下へ動かすと暗くなります"},
      {ui->TrackBar5, "くっきり←→ぼけぼけ", "上へ動かすとくっきり、下へ動かすとぼけぼけになります"},
      {ui->TrackBar7, "カラー←→モノクロ", "上はカラーのまま、下へ動かすほどモノクロになります"},
      {ui->Panel5, "Zumoフィルタ", "Zumoフィルタ"},
      {ui->Image9, "Zumoフィルタ", "Zumoフィルタ"},
      {ui->RGButton4, "実行（Zumoフィルタ）", "現在表示されている画像にZumoフィルタをかけます"},
      {ui->Image10, "丼勘定技", "おまかせ！、古杉、派手杉、槍杉"},
      {ui->RadioButton2, "おまかせ！", "丼勘定技: おまかせ！"},
      {ui->RadioButton3, "古杉", "丼勘定技: 古杉"},
      {ui->RadioButton4, "派手杉", "丼勘定技: 派手杉"},
      {ui->RadioButton12, "槍杉", "丼勘定技: 槍杉"},
      {ui->RGButton5, "実行（丼勘定技）", "選んだ技を読み込んだ写真にかけます"},
      {ui->Panel1, "保存", "保存の形式と保存ボタン"},
      {ui->Image5, "保存は？", "リッチなBMP！、ナイスJpg、普通Jpg、許せるJpg"},
      {ui->RadioButton5, "リッチなBMP！", "BMP ファイルで保存します"},
      {ui->RadioButton6, "ナイスJpg", "JPEG ファイル (品質 90) で保存します"},
      {ui->RadioButton7, "普通Jpg", "JPEG ファイル (品質 85) で保存します"},
      {ui->RadioButton1, "許せるJpg", "JPEG ファイル (品質 80) で保存します"},
      {ui->RGButton3, "保存", "表示中の画像を選んだ形式で保存します (Ctrl+S)"},
      {ui->RGButton1, "終了", "終了します (Ctrl+Q)"},
  };
  for (const Name& entry : names) {
    entry.control->setAccessibleName(Text(entry.name));
    entry.control->setAccessibleDescription(Text(entry.description));
  }
}
