// The window's turn and mirror commands: the picture as it shows turns or mirrors, the
// retouching carries over, and each command is one step that undo takes back.
#include <QComboBox>

#include "RetouchWindow.h"
#include "controls/CropCanvas.h"
#include "imaging/Framing.h"

namespace {

using zumo::Bitmap;
using zumo::SamePixels;
using zumo::TurnAndFlip;

class FramingWindow : public zumo::test::RetouchWindow {};

TEST_F(FramingWindow, TurnsAndMirrorsCarryTheRetouchingAndUndoTakesThemBack) {
  struct Command {
    const char* name;
    void (TForm1::*run)();
    int quarter_turns;
    bool flip_horizontal, flip_vertical;
  };
  const Command commands[] = {{"clockwise", &TForm1::TurnClockwise, 1, false, false},
                              {"anticlockwise", &TForm1::TurnAnticlockwise, 3, false, false},
                              {"horizontal", &TForm1::FlipHorizontally, 0, true, false},
                              {"vertical", &TForm1::FlipVertically, 0, false, true}};
  const Bitmap photo = Load(31, 20);
  ui().TrackBar1->setValue(-1);  // the colour group's switch
  ui().TrackBar1->setValue(-12);
  for (const Command& command : commands) {
    SCOPED_TRACE(command.name);
    const Bitmap before = Shown();
    const int position = ui().TrackBar1->value();
    form.CloseGesture();
    const auto steps = form.History().UndoableSteps();
    (form.*command.run)();
    // A point operation commutes with a turn: the retouched picture, turned.
    EXPECT_TRUE(SamePixels(Shown(), TurnAndFlip(before, command.quarter_turns, command.flip_horizontal,
                                                command.flip_vertical)));
    EXPECT_EQ(ui().TrackBar1->value(), position) << "the sliders stay where they were";
    EXPECT_EQ(ActiveGroup, 1);
    EXPECT_EQ(form.History().UndoableSteps(), steps + 1) << "one step";
    form.Undo();
    EXPECT_TRUE(SamePixels(Shown(), before));
    EXPECT_TRUE(SamePixels(Loaded(), photo));
    ui().TrackBar1->setValue(-12 - static_cast<int>(&command - commands));  // a new gesture each time
  }
  // Two turns and a mirror in a row frame the photo as one would expect, sliders included.
  form.TurnClockwise();
  form.TurnClockwise();
  form.FlipVertically();
  EXPECT_TRUE(SamePixels(Loaded(), TurnAndFlip(photo, 0, true, false))) << "half a turn and a mirror: the other mirror";
}

// The crop mode: Escape leaves without a change; a ratio chosen, or a box nudged, is applied
// on Enter as one step, through the retouching, and undo takes it back.
TEST_F(FramingWindow, TheCropModeAppliesOnEnterLeavesOnEscapeAndUndoes) {
  const Bitmap photo = Load(64, 48);
  ui().TrackBar6->setValue(-1);  // brightness: commutes with a crop
  ui().TrackBar6->setValue(-20);
  form.CloseGesture();
  const Bitmap retouched = Shown();
  form.StartCropMode();
  ASSERT_TRUE(form.InCropMode());
  EXPECT_FALSE(ui().ScrollBox1->isVisible());
  zumo::TCropEditor& editor = form.CropEditor();
  QTest::keyClick(editor.Canvas(), Qt::Key_Escape);
  EXPECT_FALSE(form.InCropMode());
  EXPECT_TRUE(ui().ScrollBox1->isVisible());
  EXPECT_TRUE(SamePixels(Shown(), retouched));

  const auto steps = form.History().UndoableSteps();
  form.StartCropMode();
  editor.findChild<QComboBox*>()->setCurrentIndex(2);  // 1:1
  QTest::keyClick(editor.Canvas(), Qt::Key_Return);
  EXPECT_FALSE(form.InCropMode());
  EXPECT_EQ(form.CurrentFraming().crop, zumo::Crop(zumo::CropRatio{1, 1}));
  EXPECT_TRUE(SamePixels(Shown(), zumo::CropBitmap(retouched, {8, 0, 48, 48})));
  EXPECT_EQ(ui().TrackBar6->value(), -20);

  form.StartCropMode();
  QTest::keyClick(editor.Canvas(), Qt::Key_Left);  // the box leaves its ratio's centre
  QTest::keyClick(editor.Canvas(), Qt::Key_Return);
  EXPECT_EQ(form.CurrentFraming().crop, zumo::Crop(zumo::CropRect{7, 0, 48, 48, 64, 48}));
  EXPECT_TRUE(SamePixels(Shown(), zumo::CropBitmap(retouched, {7, 0, 48, 48})));
  EXPECT_EQ(form.History().UndoableSteps(), steps + 2);
  form.Undo();
  form.Undo();
  EXPECT_TRUE(SamePixels(Shown(), retouched));
  EXPECT_TRUE(SamePixels(Loaded(), photo));
}

TEST_F(FramingWindow, BeforeAnyPhotoTheCommandsSaySo) {
  script.AcknowledgeMessage();
  form.TurnClockwise();
  EXPECT_TRUE(script.Done());
  ASSERT_EQ(script.Messages().size(), 1);
  EXPECT_TRUE(script.Messages()[0].contains(QString::fromUtf8("写真が読み込まれていません")));
  EXPECT_FALSE(form.History().CanUndo());
}

}  // namespace
