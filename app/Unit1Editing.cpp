// Editing comfort around the window's handlers: undo and redo, hold to compare, the view's
// zoom commands, keyboard shortcuts, the photo's menu and the names assistive technology
// reads. None of it changes what a handler does; the history watches from the outside.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>

#include "Unit1.h"
#include "controls/PhotoView.h"
#include "ui_Unit1.h"

namespace {

using zumo::app::WindowState;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

// --- the state and the history ---

WindowState TForm1::CaptureState() const {
  WindowState state;
  const zumo::TImage* stores[] = {ui->Image1, ui->Image2, ui->Image3, ui->Image11};
  for (std::size_t i = 0; i < state.stores.size(); ++i)
    if (stores[i]->Picture().IsBitmap()) state.stores[i] = stores[i]->Picture().HeldBitmap();
  if (WorkBitmap) state.work = *WorkBitmap;
  const QSlider* sliders[] = {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4,
                              ui->TrackBar5, ui->TrackBar6, ui->TrackBar7};
  for (std::size_t i = 0; i < state.sliders.size(); ++i) state.sliders[i] = sliders[i]->value();
  state.active_group = ActiveGroup;
  const QRadioButton* presets[] = {ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11};
  for (int i = 0; i < 4; ++i)
    if (presets[i]->isChecked()) state.size_preset = i;
  state.compare_picture = compare_picture_;
  state.recipes = recipes_;
  state.metadata = photo_metadata_;
  return state;
}

void TForm1::RestoreState(const WindowState& state) {
  zumo::TImage* stores[] = {ui->Image1, ui->Image2, ui->Image3, ui->Image11};
  for (std::size_t i = 0; i < state.stores.size(); ++i) {
    if (state.stores[i])
      stores[i]->AssignBitmap(*state.stores[i]);
    else
      stores[i]->SetPicture(start_pictures_[i]);
  }
  if (WorkBitmap) WorkBitmap->Assign(state.work);
  // Positions and the preset come back without their handlers running.
  QSlider* sliders[] = {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4,
                        ui->TrackBar5, ui->TrackBar6, ui->TrackBar7};
  for (std::size_t i = 0; i < state.sliders.size(); ++i) {
    const QSignalBlocker quiet(sliders[i]);
    sliders[i]->setValue(state.sliders[i]);
  }
  known_positions_ = state.sliders;
  known_preset_ = state.size_preset;
  ActiveGroup = state.active_group;
  QRadioButton* presets[] = {ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11};
  {
    const QSignalBlocker quiet0(presets[0]), quiet1(presets[1]), quiet2(presets[2]), quiet3(presets[3]);
    presets[state.size_preset]->setChecked(true);
  }
  compare_picture_ = state.compare_picture;
  recipes_ = state.recipes;
  photo_metadata_ = state.metadata;
}

void TForm1::RecordStep(const WindowState& before, Step step) {
  const zumo::TPicture& loaded = ui->Image3->Picture();
  const bool photo_read = step == Step::Load && loaded.IsBitmap() &&
                          !(before.stores[2] && before.stores[2]->Bits() == loaded.HeldBitmap().Bits() &&
                            before.stores[2]->Width() == loaded.Width() && before.stores[2]->Height() == loaded.Height());
  // A load or preset leaves the picture it put in the base; slider resets it ran since
  // replaced only the shown picture.
  if ((photo_read || step == Step::SizePreset) && ui->Image2->Picture().IsBitmap())
    compare_picture_ = ui->Image2->Picture().HeldBitmap();
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
  RecordStep(before, Step::Slider);
}

bool TForm1::CanUndo() const noexcept { return history_.CanUndo() || gesture_before_.has_value(); }

void TForm1::Undo() {
  CloseGesture();
  if (!history_.CanUndo()) return;
  RestoreState(history_.Undo());
  compare_menu_ = false;
  UpdateCommands();
  ShowComparison();
}

void TForm1::Redo() {
  CloseGesture();
  if (!history_.CanRedo()) return;
  RestoreState(history_.Redo());
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
  if (Comparing() && compare_picture_)
    ui->Image1->ShowInstead(compare_picture_);
  else
    ui->Image1->ShowInstead(std::nullopt);
  const QSignalBlocker quiet(compare_action_);
  compare_action_->setChecked(compare_menu_ && compare_picture_);
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
  compare_action_->setEnabled(compare_picture_ && !compare_picture_->Empty());
}

void TForm1::SetUpEditing() {
  start_pictures_ = {ui->Image1->Picture(), ui->Image2->Picture(), ui->Image3->Picture(), ui->Image11->Picture()};
  QSlider* sliders[] = {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4,
                        ui->TrackBar5, ui->TrackBar6, ui->TrackBar7};
  for (std::size_t i = 0; i < known_positions_.size(); ++i) {
    known_positions_[i] = sliders[i]->value();
    // Connected after the handlers: runs once the change's handler has returned.
    connect(sliders[i], &QSlider::valueChanged, this, [this, i](int value) { known_positions_[i] = value; });
  }
  QRadioButton* presets[] = {ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11};
  for (int i = 0; i < 4; ++i) {
    if (presets[i]->isChecked()) known_preset_ = i;
    connect(presets[i], &QRadioButton::toggled, this, [this, i](bool checked) {
      if (checked) known_preset_ = i;
    });
  }

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

  photo_menu_ = new QMenu(this);
  photo_menu_->addAction(undo_action_);
  photo_menu_->addAction(redo_action_);
  photo_menu_->addSeparator();
  photo_menu_->addAction(fit_action_);
  photo_menu_->addAction(actual_size_action_);
  photo_menu_->addSeparator();
  photo_menu_->addAction(compare_action_);
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
