// The window's turn and mirror commands: the picture as it shows turns or mirrors, the
// retouching carries over, and each command is one step that undo takes back.
#include "RetouchWindow.h"
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

TEST_F(FramingWindow, BeforeAnyPhotoTheCommandsSaySo) {
  script.AcknowledgeMessage();
  form.TurnClockwise();
  EXPECT_TRUE(script.Done());
  ASSERT_EQ(script.Messages().size(), 1);
  EXPECT_TRUE(script.Messages()[0].contains(QString::fromUtf8("写真が読み込まれていません")));
  EXPECT_FALSE(form.History().CanUndo());
}

}  // namespace
