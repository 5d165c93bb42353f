// Undo and redo, hold to compare, zoom, the photo's menu and the shortcuts, driven through
// the window's own controls and keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ModalScript.h"
#include "Unit1Controls.h"
#include "controls/PhotoView.h"
#include "controls/RGButton.h"
#include "imaging/ABitmap.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace {

using zumo::Bitmap;
using zumo::SamePixels;

// What a later action can depend on, read straight from the controls.
struct Seen {
  std::array<std::optional<Bitmap>, 4> stores;  // no value: not (yet) a bitmap
  Bitmap work;
  std::array<int, 7> sliders{};
  int group = 0;
  int preset = -1;
};

Seen Look(TForm1& form) {
  Ui::TForm1& ui = form.Controls();
  Seen seen;
  const zumo::TImage* stores[] = {ui.Image1, ui.Image2, ui.Image3, ui.Image11};
  for (int i = 0; i < 4; ++i)
    if (stores[i]->Picture().IsBitmap()) seen.stores[i] = stores[i]->Picture().HeldBitmap();
  seen.work = *WorkBitmap;
  const QSlider* sliders[] = {ui.TrackBar1, ui.TrackBar2, ui.TrackBar3, ui.TrackBar4, ui.TrackBar5, ui.TrackBar6, ui.TrackBar7};
  for (int i = 0; i < 7; ++i) seen.sliders[i] = sliders[i]->value();
  seen.group = ActiveGroup;
  const QRadioButton* presets[] = {ui.RadioButton8, ui.RadioButton9, ui.RadioButton10, ui.RadioButton11};
  for (int i = 0; i < 4; ++i)
    if (presets[i]->isChecked()) seen.preset = i;
  return seen;
}

::testing::AssertionResult Same(const Seen& a, const Seen& b) {
  const char* names[] = {"Image1", "Image2", "Image3", "Image11"};
  for (int i = 0; i < 4; ++i) {
    if (a.stores[i].has_value() != b.stores[i].has_value())
      return ::testing::AssertionFailure() << names[i] << " holds a bitmap in one state only";
    if (a.stores[i] && !SamePixels(*a.stores[i], *b.stores[i])) return ::testing::AssertionFailure() << names[i] << " differs";
  }
  if (!SamePixels(a.work, b.work)) return ::testing::AssertionFailure() << "WorkBitmap differs";
  for (int i = 0; i < 7; ++i)
    if (a.sliders[i] != b.sliders[i])
      return ::testing::AssertionFailure() << "TrackBar" << i + 1 << ": " << a.sliders[i] << " against " << b.sliders[i];
  if (a.group != b.group) return ::testing::AssertionFailure() << "ActiveGroup " << a.group << " against " << b.group;
  if (a.preset != b.preset) return ::testing::AssertionFailure() << "size preset " << a.preset << " against " << b.preset;
  return ::testing::AssertionSuccess();
}

class Editing : public ::testing::Test {
 public:
  void SetUp() override {
    zumo::TABitmap::FixNoiseSeed(99);  // the techniques' noise, the same in every window
    photo_path = dir.File("photo.bmp");
    zumo::WritePhotoFile(zumo::test::PhotoLikeBitmap(61, 43, 5), photo_path, zumo::SaveFormat::Bmp);
    other_path = dir.File("other.bmp");
    zumo::WritePhotoFile(zumo::test::PhotoLikeBitmap(37, 52, 9), other_path, zumo::SaveFormat::Bmp);
    NewWindow();
  }
  void TearDown() override {
    zumo::TABitmap::FixNoiseSeed(std::nullopt);
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
  }

  void NewWindow() {
    form.reset();
    form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  Ui::TForm1& ui() { return form->Controls(); }

  // The user's ways in: the window's shortcuts, clicks on the image buttons. A shortcut
  // runs the enabled window command bound to it (the offscreen platform has no active
  // window to deliver shortcuts to).
  void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    const QKeySequence keys(QKeyCombination(modifiers, key));
    for (QAction* action : form->actions()) {
      if (action->shortcuts().contains(keys)) {
        if (action->isEnabled()) action->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no command on " << keys.toString().toStdString();
  }
  void Undo() { Keys(Qt::Key_Z); }
  void Redo() { Keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
  // A press of an image button; the script sees the dialogs it opened close before the
  // next one opens (the same dialog object opens again).
  void Press(zumo::TImage* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 12));
    QTest::qWait(15);
  }
  void LoadFile(const std::string& path) {
    script.ChooseFile(QString::fromStdString(path));
    Keys(Qt::Key_O);  // presses the load button
    QTest::qWait(15);
    ASSERT_TRUE(script.Done());
  }
  std::size_t Steps() { return form->History().UndoableSteps(); }

  zumo::test::TempDir dir;
  std::string photo_path, other_path;
  ModalScript script;
  std::unique_ptr<TForm1> form;
};

using Action = std::function<void(Editing&)>;

Action Load() {
  return [](Editing& t) { t.LoadFile(t.photo_path); };
}
Action Move(int bar, std::vector<int> positions) {
  return [bar, positions](Editing& t) {
    Ui::TForm1& ui = t.ui();
    QSlider* sliders[] = {ui.TrackBar1, ui.TrackBar2, ui.TrackBar3, ui.TrackBar4, ui.TrackBar5, ui.TrackBar6, ui.TrackBar7};
    for (int position : positions) sliders[bar - 1]->setValue(position);
    t.form->CloseGesture();  // what the user's next input does
  };
}
Action Filter() {
  return [](Editing& t) { t.Press(t.ui().RGButton4); };
}
Action Technique() {
  return [](Editing& t) {
    t.ui().RadioButton3->setChecked(true);
    t.Press(t.ui().RGButton5);
  };
}
Action Preset1024() {
  return [](Editing& t) { t.ui().RadioButton10->click(); };
}
Action CancelledLoad() {
  return [](Editing& t) {
    t.script.CancelFile();
    t.Press(t.ui().RGButton2);
  };
}
Action FailedLoad() {
  return [](Editing& t) {
    t.script.ChooseFile(QString::fromStdString(t.dir.File("missing.bmp"))).AcknowledgeMessage();
    t.Press(t.ui().RGButton2);
  };
}

struct UndoCase {
  const char* name;
  std::vector<Action> before;
  Action step;
  Action next;
};

// After an undo the window is where it was before the step, and the next action gives what
// the same action gives on a window that never took the step.
TEST_F(Editing, UndoPutsBackTheWholeStateAndTheNextActionFollowsTheRulesFromThere) {
  const UndoCase cases[] = {
      {"the first load; TrackBar7's first reset is still to come", {}, Load(), Move(1, {-5, -8})},
      {"a switch from brightness that TrackBar6's reset turned back", {Load(), Move(6, {-1, -30})}, Move(4, {20}),
       Move(6, {-40})},
      {"a slider inside monochrome", {Load(), Move(7, {100})}, Move(6, {-10}), Move(7, {120})},
      {"the filter, the colour group pending", {Load(), Move(1, {-1, -10})}, Filter(), Move(1, {-20})},
      {"a technique", {Load(), Move(4, {-1, 30})}, Technique(), Filter()},
      {"a size preset", {Load()}, Preset1024(), Technique()},
      {"a cancelled load that reset the sliders", {Load(), Move(6, {-1, -30})}, CancelledLoad(), Move(6, {-40})},
      {"a failed load that reset the sliders", {Load(), Move(6, {-1, -30})}, FailedLoad(), Move(6, {-40})},
      {"a second load", {Load(), Move(6, {-1, -30})}, [](Editing& t) { t.LoadFile(t.other_path); }, Move(6, {-40})},
  };
  for (const UndoCase& c : cases) {
    SCOPED_TRACE(c.name);
    NewWindow();
    for (const Action& action : c.before) action(*this);
    const Seen before = Look(*form);
    const std::size_t steps = Steps();
    c.step(*this);
    const Seen after = Look(*form);
    ASSERT_FALSE(Same(before, after)) << "the step changes the state";
    EXPECT_EQ(Steps(), steps + 1) << "one step";

    Undo();
    EXPECT_TRUE(Same(Look(*form), before));
    Redo();
    EXPECT_TRUE(Same(Look(*form), after));
    Undo();
    c.next(*this);
    const Seen undone_then_next = Look(*form);
    EXPECT_FALSE(form->CanRedo()) << "a new step drops what could be redone";

    NewWindow();
    for (const Action& action : c.before) action(*this);
    c.next(*this);
    EXPECT_TRUE(Same(Look(*form), undone_then_next));
  }
}

TEST_F(Editing, SavesAndActionsThatChangeNothingAreNoSteps) {
  Load()(*this);
  ASSERT_EQ(Steps(), 1u);
  CancelledLoad()(*this);  // writes 0 over ActiveGroup 5: a step
  const std::size_t after_cancel = Steps();
  EXPECT_EQ(after_cancel, 2u);
  CancelledLoad()(*this);
  EXPECT_EQ(Steps(), after_cancel) << "a second cancelled load finds ActiveGroup 0 already";
  script.ChooseFile(QString::fromStdString(dir.File("saved.bmp")));
  ui().RadioButton5->setChecked(true);
  Keys(Qt::Key_S);
  QTest::qWait(15);
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(Steps(), after_cancel) << "saving is no step";
}

// Where the handle of `slider` is, for a drag.
QPoint Handle(QSlider* slider) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.upsideDown = slider->invertedAppearance();
  option.tickPosition = slider->tickPosition();
  return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

TEST_F(Editing, ADragAndABurstOfKeysAreOneStepEachAndEndWithTheNextInput) {
  Load()(*this);
  const Seen loaded = Look(*form);
  QSlider* slider = ui().TrackBar4;
  const QPoint start = Handle(slider);
  QTest::mousePress(slider, Qt::LeftButton, {}, start);
  for (int dy = 4; dy <= 40; dy += 4) QTest::mouseMove(slider, start + QPoint(0, dy));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, start + QPoint(0, 40));
  ASSERT_GT(slider->value(), 0) << "the drag moved the slider";
  EXPECT_EQ(Steps(), 2u) << "the drag, its group switch included, is one step";

  slider->setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(slider, Qt::Key_Down, Qt::NoModifier);
  const Seen keyed = Look(*form);
  QTest::keyClick(ui().TrackBar6, Qt::Key_Up, Qt::NoModifier);  // another slider: a new gesture
  EXPECT_EQ(Steps(), 3u);

  Undo();  // the up key on TrackBar6, still going on, closes and goes
  EXPECT_TRUE(Same(Look(*form), keyed));
  Undo();  // the three keys together
  Undo();  // the drag
  EXPECT_TRUE(Same(Look(*form), loaded));
}

TEST_F(Editing, TheHistoryKeepsFiftyStepsAndAtMostItsMemoryBoundOldestFirst) {
  EXPECT_EQ(form->History().MaxBytes(), std::size_t{1} << 30);
  EXPECT_EQ(form->History().MaxSteps(), 50u);
  Load()(*this);
  const std::size_t picture_bytes = 61 * 3 /*183, padded*/ + 1;
  ASSERT_EQ(picture_bytes % 4, 0u);
  for (int bound : {50, 7}) {
    SCOPED_TRACE(bound);
    const std::size_t max_bytes = bound == 50 ? std::size_t{1} << 30 : 9 * picture_bytes * 43;
    form->History().SetLimits(max_bytes, 50);
    std::vector<Seen> states;
    for (int i = 0; i < 60; ++i) {
      Filter()(*this);  // every filter makes new pictures
      states.push_back(Look(*form));
      ASSERT_LE(form->History().HeldBytes(form->CaptureState()), max_bytes);
    }
    const std::size_t kept = Steps();
    if (bound == 50)
      EXPECT_EQ(kept, 50u);
    else
      EXPECT_LT(kept, 10u);
    EXPECT_GT(kept, 0u);
    for (std::size_t i = 0; i < kept; ++i) Undo();
    EXPECT_FALSE(form->CanUndo());
    // What is left is the newest steps: undone, the window is where the oldest kept began.
    EXPECT_TRUE(Same(Look(*form), states[states.size() - 1 - kept]));
  }
}

TEST_F(Editing, HoldingBackslashOrTheLeftButtonShowsThePhotoAsLoadedAndChangesNothing) {
  Load()(*this);
  Move(6, {-1, -40})(*this);
  const Seen retouched = Look(*form);
  const Bitmap photo = ui().Image3->Picture().HeldBitmap();
  auto shows = [this](const Bitmap& picture) {
    const QImage painted = ui().Image1->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const QImage expected = QImage(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(), QImage::Format_BGR888)
                                .convertToFormat(QImage::Format_RGB888);
    return painted == expected;
  };
  ASSERT_TRUE(shows(*retouched.stores[0]));
  ASSERT_FALSE(shows(photo));

  QTest::keyPress(form.get(), Qt::Key_Backslash);
  EXPECT_TRUE(form->Comparing());
  EXPECT_TRUE(shows(photo));
  QTest::keyRelease(form.get(), Qt::Key_Backslash);
  EXPECT_TRUE(shows(*retouched.stores[0]));

  QTest::mousePress(ui().Image1, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(shows(photo));
  QTest::mouseRelease(ui().Image1, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(shows(*retouched.stores[0]));
  EXPECT_FALSE(form->Comparing());
  EXPECT_TRUE(Same(Look(*form), retouched));
}

TEST_F(Editing, ZoomFitAndActualSizeChangeOnlyTheView) {
  const std::string big = dir.File("big.bmp");
  zumo::WritePhotoFile(zumo::test::PhotoLikeBitmap(2000, 1400, 3), big, zumo::SaveFormat::Bmp);
  LoadFile(big);
  const Seen loaded = Look(*form);
  auto* view = static_cast<zumo::TPhotoView*>(ui().Image1);
  auto* scroll = static_cast<QScrollArea*>(ui().ScrollBox1);
  EXPECT_EQ(view->size(), QSize(2000, 1400)) << "the view starts at 100 %";

  Keys(Qt::Key_0);
  QApplication::processEvents();
  const QSize room = scroll->maximumViewportSize();
  EXPECT_TRUE(view->width() == room.width() || view->height() == room.height()) << view->size().width();
  EXPECT_LE(view->width(), room.width());
  EXPECT_LE(view->height(), room.height());
  for (int i = 0; i < 30; ++i) Keys(Qt::Key_Minus);
  EXPECT_DOUBLE_EQ(view->Zoom(), zumo::TPhotoView::kMinZoom);
  for (int i = 0; i < 30; ++i) Keys(Qt::Key_Equal);
  EXPECT_DOUBLE_EQ(view->Zoom(), zumo::TPhotoView::kMaxZoom);
  Keys(Qt::Key_1);
  EXPECT_EQ(view->size(), QSize(2000, 1400));
  Keys(Qt::Key_0);

  ui().RadioButton5->setChecked(true);
  const std::string saved = dir.File("saved.bmp");
  script.ChooseFile(QString::fromStdString(saved));
  Keys(Qt::Key_S);
  ASSERT_TRUE(script.Done());
  EXPECT_TRUE(SamePixels(zumo::ReadPhotoFile(saved, 24), *loaded.stores[0])) << "the picture is saved at its own size";
  EXPECT_TRUE(Same(Look(*form), loaded));
}

TEST_F(Editing, ThePhotosMenuShowsItsCommandsWithShortcutsGreyedWhenTheyCannotAct) {
  QContextMenuEvent right_click(QContextMenuEvent::Mouse, QPoint(10, 10), ui().Image1->mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(ui().Image1, &right_click);
  QMenu& menu = form->PhotoMenu();
  EXPECT_TRUE(menu.isVisible());
  struct Entry {
    QString text, shortcut;
  };
  std::vector<Entry> entries;
  std::vector<bool> enabled;
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    entries.push_back({action->text(), action->shortcut().toString()});
    enabled.push_back(action->isEnabled());
  }
  menu.close();
  const std::vector<std::pair<const char*, const char*>> expected = {
      {"元に戻す", "Ctrl+Z"}, {"やり直し", "Ctrl+Shift+Z"}, {"全体を表示", "Ctrl+0"}, {"等倍表示", "Ctrl+1"}, {"比較\t\\", ""},
      {"右に90度回転", "Ctrl+R"}, {"左に90度回転", "Ctrl+Shift+R"}, {"左右反転", "Ctrl+H"}, {"上下反転", "Ctrl+Shift+H"},
      {"切り抜き・傾き補正…", "Ctrl+K"},
      {"形式を選んで保存…", "Ctrl+Shift+S"}, {"レシピを保存…", "Ctrl+E"}, {"レシピを適用…", "Ctrl+Shift+E"}, {"位置情報を保存しない", ""},
      {"メタデータを保存しない", ""}};
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(entries[i].text, QString::fromUtf8(expected[i].first));
    EXPECT_EQ(entries[i].shortcut, QString::fromUtf8(expected[i].second));
  }
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, false, false, true, true, true, true, true, true, true, true, true, true}))
      << "nothing to undo and no photo; the framing and recipe commands say so themselves";

  Load()(*this);
  std::vector<bool> now;
  for (QAction* action : menu.actions())
    if (!action->isSeparator()) now.push_back(action->isEnabled());
  EXPECT_EQ(now, (std::vector<bool>{true, false, true, true, true, true, true, true, true, true, true, true, true, true, true}));
}

TEST_F(Editing, EveryVisibleControlHasAnAccessibleNameAndDescription) {
  const std::vector<std::pair<QWidget*, const char*>> examples = {
      {ui().RGButton2, "読み込み"}, {ui().RadioButton9, "でかでか"}, {ui().TrackBar1, "赤"}, {ui().TrackBar6, "明るい←→暗い"}};
  for (const auto& [control, name] : examples) EXPECT_EQ(control->accessibleName(), QString::fromUtf8(name));
  for (QWidget* widget : form->findChildren<QWidget*>()) {
    const QString name = widget->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || widget->window() != form.get() ||
        widget->y() >= form->height() || name == QLatin1String("OpenDialog1") || name == QLatin1String("SaveDialog1"))
      continue;
    SCOPED_TRACE(name.toStdString());
    EXPECT_FALSE(widget->accessibleName().isEmpty());
    EXPECT_FALSE(widget->accessibleDescription().isEmpty());
  }
}

TEST_F(Editing, CtrlQPressesTheQuitButton) {
  Keys(Qt::Key_Q);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(WorkBitmap, nullptr);
}

}  // namespace
