#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "controls/RGButton.h"

namespace zumo {
namespace {

using test::Leave;
using test::Move;
using test::Press;
using test::Release;
using test::Solid;

constexpr int kW = 129;
constexpr int kH = 28;

class RGButtonTest : public ::testing::Test {
 protected:
  RGButtonTest()
      : off_(Solid(kW, kH, 200, 0, 0)), fcs_(Solid(kW, kH, 0, 200, 0)), on_(Solid(kW, kH, 0, 0, 200)) {
    button_.SetBtnImgOFF(TPicture::FromBitmap(off_));
    button_.SetBtnImgFCS(TPicture::FromBitmap(fcs_));
    button_.SetBtnImgON(TPicture::FromBitmap(on_));
  }

  // Which of the three pictures the button shows: normal, hover, pressed, or "none".
  std::string Shown() const { return Shown(button_); }
  std::string Shown(const TRGButton& button) const {
    const TPicture& p = button.Picture();
    if (p.Empty()) return "none";
    if (SamePixels(p.HeldBitmap(), off_)) return "normal";
    if (SamePixels(p.HeldBitmap(), fcs_)) return "hover";
    if (SamePixels(p.HeldBitmap(), on_)) return "pressed";
    return "other";
  }

  void ExpectState(const std::string& shown, int view_no, bool on_off) const {
    EXPECT_EQ(Shown(), shown);
    EXPECT_EQ(button_.BtnViewNo(), view_no);
    EXPECT_EQ(button_.OnOff(), on_off);
  }

  Bitmap off_, fcs_, on_;
  TRGButton button_;
};

TEST(RGButtonConstruction, EmptyButtonIs100SquareUntilItsNormalPictureArrives) {
  TRGButton button;
  EXPECT_EQ(button.size(), QSize(100, 100));
  EXPECT_TRUE(button.Picture().Empty());
  EXPECT_TRUE(button.AutoSize());
  EXPECT_TRUE(button.BtnEnabled());
  EXPECT_TRUE(button.isEnabled());
  EXPECT_FALSE(button.BtnSW());
  EXPECT_FALSE(button.OnOff());
  EXPECT_EQ(button.BtnViewNo(), 0);

  // The hover and pressed pictures are only stored.
  button.SetBtnImgFCS(TPicture::FromBitmap(Solid(kW, kH, 1, 2, 3)));
  button.SetBtnImgON(TPicture::FromBitmap(Solid(kW, kH, 1, 2, 3)));
  EXPECT_TRUE(button.Picture().Empty());
  EXPECT_EQ(button.size(), QSize(100, 100));

  button.SetBtnImgOFF(TPicture::FromBitmap(Solid(kW, kH, 9, 8, 7)));
  EXPECT_EQ(button.size(), QSize(kW, kH));
  EXPECT_TRUE(SamePixels(button.Picture().HeldBitmap(), Solid(kW, kH, 9, 8, 7)));
}

TEST_F(RGButtonTest, PictureSettersCopyAndOnlyTheNormalOneShows) {
  button_.SetBtnViewNo(1);
  button_.SetBtnImgFCS(TPicture::FromBitmap(Solid(kW, kH, 5, 5, 5)));
  EXPECT_EQ(Shown(), "hover");  // the old hover picture stays shown
  button_.SetBtnViewNo(2);
  button_.SetBtnImgON(TPicture::FromBitmap(Solid(kW, kH, 6, 6, 6)));
  EXPECT_EQ(Shown(), "pressed");

  // The normal picture shows at once (while enabled), leaving BtnViewNo and OnOff alone.
  Bitmap mine = Solid(kW, kH, 7, 7, 7);
  button_.SetBtnImgOFF(TPicture::FromBitmap(mine));
  EXPECT_TRUE(SamePixels(button_.Picture().HeldBitmap(), mine));
  EXPECT_EQ(button_.BtnViewNo(), 2);
  EXPECT_TRUE(button_.OnOff());
  // The caller's picture stays the caller's.
  mine.ScanLine(0)[0] = 99;
  EXPECT_EQ(button_.BtnImgOFF().HeldBitmap().ScanLine(0)[0], 7);
  EXPECT_EQ(button_.Picture().HeldBitmap().ScanLine(0)[0], 7);
}

TEST_F(RGButtonTest, PushButtonPressAndReleaseWithAndWithoutMove) {
  Press(&button_, {10, 10});
  ExpectState("pressed", 2, true);
  Release(&button_, {10, 10});
  ExpectState("normal", 0, false);

  Move(&button_, {5, 5});
  ExpectState("hover", 1, false);
  Press(&button_, {5, 5});
  ExpectState("pressed", 2, true);
  Move(&button_, {6, 5});  // any move while held shows the hover picture
  ExpectState("hover", 1, false);
  Move(&button_, {7, 5});
  ExpectState("hover", 1, false);
  Release(&button_, {7, 5});
  ExpectState("normal", 0, false);
}

TEST_F(RGButtonTest, AnyMouseButtonCountsForPressAndRelease) {
  Press(&button_, {10, 10}, Qt::RightButton);
  ExpectState("pressed", 2, true);
  Release(&button_, {10, 10}, Qt::RightButton);
  ExpectState("normal", 0, false);
}

// Positions relative to a 129 x 28 picture: strictly inside, on the strict edges
// (neither over nor away), and outside.
const std::vector<QPoint> kOnEdge = {{0, 10}, {10, 0}, {kW, 10}, {10, kH}, {0, 0}, {kW, kH}};
const std::vector<QPoint> kAway = {{-1, 10}, {10, -1}, {kW + 1, 10}, {10, kH + 1}, {-10, 14}};
const std::vector<QPoint> kOver = {{1, 1}, {kW - 1, kH - 1}, {64, 14}};

TEST_F(RGButtonTest, PushButtonReleaseOnlyStrictlyInsideReturnsToNormal) {
  const auto press_and_release_at = [this](const std::vector<QPoint>& points, const char* picture, int view_no,
                                           bool on_off) {
    for (QPoint p : points) {
      button_.SetBtnViewNo(0);
      Press(&button_, {10, 10});
      Release(&button_, p);
      SCOPED_TRACE(testing::Message() << p.x() << "," << p.y());
      ExpectState(picture, view_no, on_off);
    }
  };
  press_and_release_at(kOnEdge, "pressed", 2, true);
  press_and_release_at(kAway, "pressed", 2, true);
  press_and_release_at(kOver, "normal", 0, false);
}

TEST_F(RGButtonTest, ToggleButtonStaysOnUntilPressedAgain) {
  button_.SetBtnSW(true);
  ExpectState("normal", 0, false);  // nothing visible changes
  Press(&button_, {10, 10});
  Release(&button_, {10, 10});
  ExpectState("pressed", 2, true);
  Move(&button_, {11, 10});
  ExpectState("pressed", 2, true);  // moves do not touch a toggle that is on
  Leave(&button_);
  ExpectState("pressed", 2, true);
  Press(&button_, {10, 10});
  ExpectState("normal", 0, false);
  Release(&button_, {10, 10});
  ExpectState("normal", 0, false);
}

TEST_F(RGButtonTest, ToggleReleaseAwayUndoesThePressThatTurnedItOn) {
  button_.SetBtnSW(true);
  for (QPoint p : kAway) {
    button_.SetBtnViewNo(0);
    Press(&button_, {10, 10});
    Release(&button_, p);
    SCOPED_TRACE(testing::Message() << p.x() << "," << p.y());
    ExpectState("normal", 0, false);
  }
  for (QPoint p : kOnEdge) {
    button_.SetBtnViewNo(0);
    Press(&button_, {10, 10});
    Release(&button_, p);
    SCOPED_TRACE(testing::Message() << p.x() << "," << p.y());
    ExpectState("pressed", 2, true);
  }
  // Pressed while on (turns off) and released away: stays off.
  button_.SetBtnViewNo(2);
  Press(&button_, {10, 10});
  Release(&button_, {-10, 14});
  ExpectState("normal", 0, false);
}

TEST_F(RGButtonTest, MoveAndLeaveFollowTheModeTable) {
  // Push: a move shows hover from any other state; leaving returns to normal.
  for (int from : {0, 2, 3}) {
    button_.SetBtnViewNo(from);
    Move(&button_, {3, 3});
    ExpectState("hover", 1, false);
    Leave(&button_);
    ExpectState("normal", 0, false);
  }
  button_.SetBtnViewNo(2);
  Leave(&button_);
  ExpectState("normal", 0, false);

  // Toggle: only the normal state turns to hover, and only hover turns back on leaving.
  button_.SetBtnSW(true);
  button_.SetBtnViewNo(0);
  Move(&button_, {3, 3});
  ExpectState("hover", 1, false);
  Leave(&button_);
  ExpectState("normal", 0, false);
  button_.SetBtnViewNo(3);  // OnOff false, picture stays normal, view 3
  Move(&button_, {3, 3});
  Leave(&button_);
  ExpectState("normal", 3, false);
}

TEST_F(RGButtonTest, ClickFiresBeforeTheReleaseHandling) {
  std::vector<std::string> seen;
  QObject::connect(&button_, &TImage::clicked, [&] {
    seen.push_back(Shown() + "/" + std::to_string(button_.BtnViewNo()));
  });
  QTest::mouseClick(&button_, Qt::LeftButton, {}, QPoint(20, 10));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "pressed/2");
  ExpectState("normal", 0, false);

  // With a move while held the handler sees the hover picture.
  Press(&button_, {20, 10});
  Move(&button_, {21, 10});
  Release(&button_, {21, 10});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], "hover/1");

  // The click's rectangle includes the first row and column, unlike the release tests.
  Press(&button_, {20, 10});
  Release(&button_, {0, 0});
  EXPECT_EQ(seen.size(), 3u);
  ExpectState("pressed", 2, true);
}

TEST_F(RGButtonTest, NoClickForReleaseOutsideOtherButtonsOrTheSecondPressOfADoubleClick) {
  QSignalSpy clicks(&button_, &TImage::clicked);
  Press(&button_, {20, 10});
  Release(&button_, {kW, 10});
  Press(&button_, {20, 10}, Qt::RightButton);
  Release(&button_, {20, 10}, Qt::RightButton);
  EXPECT_EQ(clicks.count(), 0);

  // A double click as Qt reports it: press, release, press, double click, release.
  button_.SetBtnSW(true);
  int downs = 0;
  button_.OnMouseDown = [&](Qt::MouseButton, QPoint) { ++downs; };
  Press(&button_, {20, 10});
  Release(&button_, {20, 10});
  EXPECT_EQ(clicks.count(), 1);
  Press(&button_, {20, 10});
  test::SendMouse(&button_, QEvent::MouseButtonDblClick, {20, 10});
  ExpectState("normal", 0, false);  // the second press switched the toggle off, once
  Release(&button_, {20, 10});
  EXPECT_EQ(clicks.count(), 1);  // no click for the second release
  EXPECT_EQ(downs, 2);
}

TEST_F(RGButtonTest, OwnerNotificationsFollowTheButtonsOwnHandling) {
  std::vector<std::string> log;
  button_.OnMouseDown = [&](Qt::MouseButton, QPoint p) {
    log.push_back("down " + Shown() + " " + std::to_string(p.x()));
  };
  button_.OnMouseUp = [&](Qt::MouseButton, QPoint) { log.push_back("up " + Shown()); };
  button_.OnMouseMove = [&](QPoint) { log.push_back("move " + Shown()); };
  Press(&button_, {12, 5});
  Move(&button_, {13, 5});
  Release(&button_, {13, 5});
  const std::vector<std::string> expected = {"down pressed 12", "move hover", "up normal"};
  EXPECT_EQ(log, expected);
}

TEST_F(RGButtonTest, DisabledButtonKeepsItsPictureAndIgnoresTheMouse) {
  button_.SetBtnSW(true);
  int downs = 0;
  button_.OnMouseDown = [&](Qt::MouseButton, QPoint) { ++downs; };
  Press(&button_, {10, 10});
  Release(&button_, {10, 10});
  ASSERT_EQ(downs, 1);
  ExpectState("pressed", 2, true);

  button_.SetBtnEnabled(false);
  EXPECT_FALSE(button_.isEnabled());
  ExpectState("pressed", 2, false);
  Press(&button_, {10, 10});
  Move(&button_, {11, 10});
  Leave(&button_);
  EXPECT_EQ(downs, 1);
  ExpectState("pressed", 2, false);

  button_.SetBtnEnabled(true);
  ExpectState("normal", 2, false);
  Press(&button_, {10, 10});  // view 2: this press turns the toggle off, not on
  ExpectState("normal", 0, false);
  EXPECT_EQ(downs, 2);
}

// Qt delivers no mouse event to a disabled widget, so the button's own guards are called
// directly: a press does nothing at all, release, move and leave change nothing but still
// notify the owner.
TEST_F(RGButtonTest, DisabledButtonGuardsOwnMouseHandling) {
  struct Guarded : TRGButton {
    using TRGButton::MouseDown;
    using TRGButton::MouseLeave;
    using TRGButton::MouseMove;
    using TRGButton::MouseUp;
  };
  for (bool toggle : {false, true}) {
    Guarded button;
    button.SetBtnImgOFF(TPicture::FromBitmap(off_));
    button.SetBtnImgFCS(TPicture::FromBitmap(fcs_));
    button.SetBtnImgON(TPicture::FromBitmap(on_));
    button.SetBtnSW(toggle);
    button.SetBtnViewNo(1);  // showing hover when it is disabled
    button.SetBtnEnabled(false);
    std::vector<std::string> log;
    button.OnMouseDown = [&](Qt::MouseButton, QPoint) { log.push_back("down"); };
    button.OnMouseUp = [&](Qt::MouseButton, QPoint) { log.push_back("up"); };
    button.OnMouseMove = [&](QPoint) { log.push_back("move"); };
    button.MouseDown(Qt::LeftButton, {10, 10});
    button.MouseMove({11, 10});
    button.MouseUp(Qt::LeftButton, {11, 10});
    button.MouseUp(Qt::LeftButton, {-5, -5});
    button.MouseLeave();
    EXPECT_EQ(log, (std::vector<std::string>{"move", "up", "up"})) << "toggle " << toggle;
    EXPECT_EQ(Shown(button), "hover") << "toggle " << toggle;
    EXPECT_EQ(button.BtnViewNo(), 1);
    EXPECT_FALSE(button.OnOff());
  }
}

TEST_F(RGButtonTest, OnOffAndViewNoSetters) {
  button_.SetOnOff(true);
  ExpectState("pressed", 2, true);
  Move(&button_, {3, 3});
  ExpectState("hover", 1, false);
  button_.SetOnOff(false);
  ExpectState("normal", 0, false);
  button_.SetOnOff(false);
  ExpectState("normal", 0, false);

  button_.SetBtnViewNo(1);
  ExpectState("hover", 1, false);
  button_.SetBtnViewNo(2);
  ExpectState("pressed", 2, true);
  button_.SetBtnViewNo(3);
  ExpectState("pressed", 3, false);
  button_.SetOnOff(true);
  ExpectState("pressed", 2, true);
  button_.SetBtnViewNo(7);
  ExpectState("pressed", 7, true);
  button_.SetBtnViewNo(-1);
  ExpectState("pressed", -1, true);

  // OnOff works whether or not the button is enabled.
  button_.SetBtnEnabled(false);
  button_.SetOnOff(true);
  ExpectState("pressed", 2, true);
  button_.SetOnOff(false);
  ExpectState("normal", 0, false);
}

TEST_F(RGButtonTest, SwitchingToPushModeReturnsToNormal) {
  button_.SetBtnSW(true);
  button_.SetBtnViewNo(2);
  button_.SetBtnSW(true);
  ExpectState("pressed", 2, true);
  button_.SetBtnSW(false);
  ExpectState("normal", 0, false);
  button_.SetBtnViewNo(3);
  button_.SetOnOff(true);
  button_.SetBtnViewNo(3);
  button_.SetBtnSW(false);
  ExpectState("normal", 0, false);
}

TEST_F(RGButtonTest, DescriptionLoadingSetsPicturesThenRunsTheSetters) {
  TRGButton button;
  const Bitmap shown = Solid(kW, kH, 1, 1, 1);
  button.LoadFromDescription(TPicture::FromBitmap(off_), TPicture::FromBitmap(fcs_),
                             TPicture::FromBitmap(on_), TPicture::FromBitmap(shown), true,
                             true, true, 2);
  EXPECT_EQ(button.size(), QSize(kW, kH));
  EXPECT_TRUE(SamePixels(button.Picture().HeldBitmap(), on_));
  EXPECT_TRUE(button.BtnSW());
  EXPECT_TRUE(button.OnOff());
  EXPECT_EQ(button.BtnViewNo(), 2);

  // The scalar properties are reachable by name, through their setters.
  EXPECT_TRUE(button.setProperty("BtnSW", false));
  EXPECT_EQ(Shown(button), "normal");
  EXPECT_EQ(button.property("BtnViewNo").toInt(), 0);
  EXPECT_TRUE(button.setProperty("OnOff", true));
  EXPECT_EQ(button.property("BtnViewNo").toInt(), 2);

  EXPECT_THROW(button.LoadPushButtonPictures(QStringLiteral("/nonexistent/Button")), Error);
  EXPECT_EQ(Shown(button), "pressed");  // unchanged
}

// Through the window system: the press captures the mouse, so a release far outside the
// button still reaches it (a toggle switched on by that press is switched off again).
TEST(RGButtonCapture, ReleaseOutsideReachesTheButtonThatWasPressed) {
  QWidget window;
  window.resize(400, 200);
  auto* button = new TRGButton(&window);
  button->SetBtnImgOFF(TPicture::FromBitmap(Solid(kW, kH, 200, 0, 0)));
  button->SetBtnImgON(TPicture::FromBitmap(Solid(kW, kH, 0, 0, 200)));
  button->move(10, 10);
  button->SetBtnSW(true);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QSignalSpy clicks(button, &TImage::clicked);

  QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
  EXPECT_TRUE(button->OnOff());
  QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(300, 150));
  EXPECT_FALSE(button->OnOff());
  EXPECT_EQ(button->BtnViewNo(), 0);
  EXPECT_EQ(clicks.count(), 0);

  QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(30, 20));
  QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(31, 20));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_TRUE(button->OnOff());
}

}  // namespace
}  // namespace zumo
