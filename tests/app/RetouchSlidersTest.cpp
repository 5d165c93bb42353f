// The seven sliders driven through the real controls: which change is applied, what the
// base holds, which group ends active, and the re-entry of the handlers through Set_Int.
#include <cmath>

#include <QCursor>

#include "QtPrinting.h"
#include "RetouchWindow.h"

namespace {

using zumo::Bitmap;
using zumo::SamePixels;
using zumo::TABitmap;
using zumo::test::Applied;
using zumo::test::EveryByte;
using zumo::test::OneLower;

class RetouchSliders : public zumo::test::RetouchWindow {};

TEST_F(RetouchSliders, ColourSlidersShiftAllThreeChannelsTogetherFromTheBase) {
  const Bitmap photo = Load(41, 29);
  ASSERT_EQ(ActiveGroup, 5) << "the load's Set_Int reset TrackBar7 from 1";

  // The first move is a group switch and is not applied.
  ui().TrackBar1->setValue(-3);
  EXPECT_EQ(ui().TrackBar1->value(), 0);
  EXPECT_EQ(ActiveGroup, 1);
  EXPECT_TRUE(SamePixels(Shown(), photo));
  EXPECT_TRUE(SamePixels(Base(), photo));

  ui().TrackBar1->setValue(-10);
  ui().TrackBar2->setValue(5);
  ui().TrackBar3->setValue(7);
  // Red +20, green -10, blue -14, each clamped to 0..255.
  const int offset[3] = {-14, -10, 20};
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(photo, [&](int v, int c) { return TABitmap::Clip(v + offset[c]); })));
  EXPECT_TRUE(SamePixels(Base(), photo)) << "the base is not changed within the group";
  EXPECT_EQ(ActiveGroup, 1);

  // Back to neutral brings the base back.
  ui().TrackBar1->setValue(0);
  ui().TrackBar2->setValue(0);
  ui().TrackBar3->setValue(0);
  EXPECT_TRUE(SamePixels(Shown(), photo));
}

TEST_F(RetouchSliders, PicturesTakenFromTheStoresStayAsTheyWereThroughLaterChanges) {
  const Bitmap photo = Load(23, 11);
  ui().TrackBar6->setValue(-1);
  std::vector<std::pair<Bitmap, Bitmap>> kept;  // a copy of each shown picture, and its pixels
  for (int position : {-5, -9, -5, 7, -9}) {
    ui().TrackBar6->setValue(position);
    const Bitmap expected = EveryByte(photo, [position](int v, int) { return TABitmap::Clip(v - position); });
    ASSERT_TRUE(SamePixels(Shown(), expected)) << position;
    ASSERT_TRUE(SamePixels(*WorkBitmap, expected));
    kept.emplace_back(Shown(), EveryByte(expected, [](int v, int) { return v; }));
  }
  for (const auto& [copy, pixels] : kept) EXPECT_TRUE(SamePixels(copy, pixels));
  EXPECT_TRUE(SamePixels(Base(), photo));
  EXPECT_TRUE(SamePixels(Loaded(), photo));
}

TEST_F(RetouchSliders, ArrowKeysOnContrastSwitchFirstAndApplyTheSecondPress) {
  const Bitmap photo = Load(33, 20);
  ui().TrackBar4->setFocus();
  QTest::keyClick(ui().TrackBar4, Qt::Key_Down);
  EXPECT_EQ(ui().TrackBar4->value(), 0);
  EXPECT_EQ(ActiveGroup, 2);
  EXPECT_TRUE(SamePixels(Shown(), photo));

  QTest::keyClick(ui().TrackBar4, Qt::Key_Down);
  EXPECT_EQ(ui().TrackBar4->value(), 1) << "down moves away from the minimum at the top";
  EXPECT_TRUE(SamePixels(Shown(), Applied(photo, [](TABitmap& w) { w.Contrast(-1, w); })));

  QTest::keyClick(ui().TrackBar4, Qt::Key_PageUp);
  EXPECT_EQ(ui().TrackBar4->value(), -1) << "page step 2 towards the top";
  EXPECT_TRUE(SamePixels(Shown(), Applied(photo, [](TABitmap& w) { w.Contrast(1, w); })));

  // The extremes: the bottom flattens to 128, the top spreads every byte to 2v - 127.5,
  // rounded half to even.
  ui().TrackBar4->setValue(100);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(photo, [](int, int) { return 128; })));
  ui().TrackBar4->setValue(-100);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(photo, [](int v, int) {
    return TABitmap::Clip(static_cast<int>(std::rint(2.0L * v - 127.5L)));
  })));
  EXPECT_TRUE(SamePixels(Base(), photo));
}

TEST_F(RetouchSliders, ASwitchFoldsTheEarlierGroupIntoTheBaseAndEndsWithTheMovedGroup) {
  const Bitmap photo = Load(25, 17);
  ui().TrackBar1->setValue(-1);  // switch to group 1, not applied
  ui().TrackBar1->setValue(-10);
  const Bitmap red = Shown();
  ASSERT_FALSE(SamePixels(red, photo));

  // TrackBar1 comes before TrackBar4: its reset runs first, TrackBar4's own reset last.
  ui().TrackBar4->setValue(20);
  EXPECT_TRUE(SamePixels(Shown(), red));
  EXPECT_TRUE(SamePixels(Base(), red));
  ExpectSlidersAtZero();
  EXPECT_EQ(ActiveGroup, 2);

  ui().TrackBar4->setValue(20);
  EXPECT_TRUE(SamePixels(Shown(), Applied(red, [](TABitmap& w) { w.Contrast(-20, w); })));
}

TEST_F(RetouchSliders, ALaterSliderOfThePreviousGroupSwitchesBackLast) {
  const Bitmap photo = Load(25, 17);
  ui().TrackBar6->setValue(-1);  // switch to group 4
  ui().TrackBar6->setValue(-30);
  const Bitmap bright = EveryByte(photo, [](int v, int) { return TABitmap::Clip(v + 30); });
  ASSERT_TRUE(SamePixels(Shown(), bright));

  // TrackBar6 comes after TrackBar4, so its reset makes the last switch.
  ui().TrackBar4->setValue(20);
  EXPECT_TRUE(SamePixels(Shown(), bright));
  EXPECT_TRUE(SamePixels(Base(), bright));
  ExpectSlidersAtZero();
  EXPECT_EQ(ActiveGroup, 4);

  // The next move of TrackBar4 is a switch again; only the one after applies.
  ui().TrackBar4->setValue(20);
  EXPECT_EQ(ui().TrackBar4->value(), 0);
  EXPECT_EQ(ActiveGroup, 2);
  EXPECT_TRUE(SamePixels(Shown(), bright));
  ui().TrackBar4->setValue(20);
  EXPECT_TRUE(SamePixels(Shown(), Applied(bright, [](TABitmap& w) { w.Contrast(-20, w); })));
}

TEST_F(RetouchSliders, LeavingMonochromeForBrightnessTakesTwoMovesBeforeTheThird) {
  const Bitmap photo = Load(30, 22);
  ASSERT_EQ(ActiveGroup, 5);
  ui().TrackBar7->setValue(100);
  const Bitmap mixed = Shown();
  EXPECT_TRUE(SamePixels(mixed, Applied(photo, [](TABitmap& w) { w.Desaturate(w, 100); })));

  ui().TrackBar6->setValue(-10);
  EXPECT_TRUE(SamePixels(Shown(), mixed)) << "the outer handler recomputes from the base";
  ExpectSlidersAtZero();
  EXPECT_EQ(ActiveGroup, 5);

  ui().TrackBar6->setValue(-20);
  EXPECT_EQ(ui().TrackBar6->value(), 0);
  EXPECT_EQ(ActiveGroup, 4);
  EXPECT_TRUE(SamePixels(Shown(), mixed));

  ui().TrackBar6->setValue(-30);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(mixed, [](int v, int) { return TABitmap::Clip(v + 30); })));
  ui().TrackBar6->setValue(-100);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(mixed, [](int v, int) { return TABitmap::Clip(v + 100); })));
  ui().TrackBar6->setValue(100);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(mixed, [](int v, int) { return TABitmap::Clip(v - 100); })));
}

TEST_F(RetouchSliders, MonochromeAtTheBottomIsGreyAndBackAtTheTopOneLevelDarker) {
  const Bitmap photo = Load(30, 22);
  ui().TrackBar7->setValue(255);
  const Bitmap& grey = Shown();
  for (int y = 0; y < grey.Height(); ++y) {
    const std::uint8_t* row = grey.ScanLine(y);
    for (int x = 0; x < grey.Width(); ++x) {
      ASSERT_EQ(row[3 * x], row[3 * x + 1]);
      ASSERT_EQ(row[3 * x], row[3 * x + 2]);
    }
  }
  EXPECT_TRUE(SamePixels(grey, Applied(photo, [](TABitmap& w) { w.Desaturate(w, 255); })));
  ui().TrackBar7->setValue(0);
  EXPECT_TRUE(SamePixels(Shown(), OneLower(photo)));
  EXPECT_TRUE(SamePixels(Base(), photo));
}

TEST_F(RetouchSliders, SharpnessSliderBlursBySteppedRadiiAndSharpensAboveTheMiddle) {
  const Bitmap photo = Load(37, 23);
  ui().TrackBar5->setValue(5);  // group switch
  ASSERT_EQ(ActiveGroup, 3);
  struct Case {
    int position;
    std::function<void(TABitmap&)> operation;
  };
  const Case cases[] = {
      {1, [](TABitmap&) {}},
      {19, [](TABitmap&) {}},
      {20, [](TABitmap& w) { w.BoxBlur(1, w); }},
      {59, [](TABitmap& w) { w.BoxBlur(2, w); }},
      {119, [](TABitmap& w) { w.BoxBlur(5, w); }},
      {120, [](TABitmap& w) { w.BoxBlur(6, w); }},
      {-1, [](TABitmap& w) { w.Sharpen(1, w); }},
      {-120, [](TABitmap& w) { w.Sharpen(120, w); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    ui().TrackBar5->setValue(c.position);
    EXPECT_TRUE(SamePixels(Shown(), Applied(photo, c.operation)));
  }
  EXPECT_TRUE(SamePixels(Base(), photo));
}

TEST_F(RetouchSliders, OnlyTheSharpnessSliderShowsTheBusyCursorWhileItWorks) {
  Load(12, 9);
  std::vector<Qt::CursorShape> seen;
  QObject::connect(ui().Image1, &zumo::TImage::pictureChanged, [&seen] {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
  });
  ui().TrackBar5->setValue(40);  // switch: the outer handler and no nested one
  ui().TrackBar5->setValue(40);
  ASSERT_FALSE(seen.empty());
  for (Qt::CursorShape shape : seen) EXPECT_EQ(shape, Qt::WaitCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  ui().TrackBar5->setValue(0);  // so that no reset of it re-enters below
  seen.clear();
  ui().TrackBar6->setValue(-5);
  ui().TrackBar6->setValue(-5);
  ASSERT_FALSE(seen.empty());
  for (Qt::CursorShape shape : seen) EXPECT_EQ(shape, Qt::ArrowCursor);
}

TEST_F(RetouchSliders, TheFirstResetOfTrackBar7MakesTheMovedSlidersNextChangeASwitchToo) {
  // A photo shown without the load's Set_Int: TrackBar7 still stands at 1.
  const Bitmap photo = LoadWithoutReset(20, 14);
  ASSERT_EQ(ui().TrackBar7->value(), 1);
  ASSERT_EQ(ActiveGroup, 0);

  ui().TrackBar4->setValue(5);
  EXPECT_EQ(ActiveGroup, 5) << "TrackBar7's reset switched last";
  ExpectSlidersAtZero();
  EXPECT_TRUE(SamePixels(Shown(), photo));

  ui().TrackBar4->setValue(5);
  EXPECT_EQ(ActiveGroup, 2);
  EXPECT_EQ(ui().TrackBar4->value(), 0);
  EXPECT_TRUE(SamePixels(Shown(), photo));

  ui().TrackBar4->setValue(5);
  EXPECT_TRUE(SamePixels(Shown(), Applied(photo, [](TABitmap& w) { w.Contrast(-5, w); })));
}

TEST_F(RetouchSliders, MovingTrackBar7FirstFindsItsGroupAlreadyActiveOnItsOwnReset) {
  const Bitmap photo = LoadWithoutReset(20, 14);
  ui().TrackBar7->setValue(30);  // switch from group 0: its reset finds group 5 active
  EXPECT_EQ(ActiveGroup, 5);
  EXPECT_EQ(ui().TrackBar7->value(), 0);
  EXPECT_TRUE(SamePixels(Base(), photo));
  EXPECT_TRUE(SamePixels(Shown(), OneLower(photo)));
  ui().TrackBar7->setValue(30);
  EXPECT_TRUE(SamePixels(Shown(), Applied(photo, [](TABitmap& w) { w.Desaturate(w, 30); })));
}

TEST_F(RetouchSliders, BeforeAnyLoadASliderBlanksTheViewWithoutAnError) {
  ASSERT_TRUE(ui().Image1->Picture().IsJpeg()) << "the placeholder";
  ui().TrackBar5->setFocus();
  // The first press switches and TrackBar7's first reset switches again, the second
  // press switches back, the third applies.
  for (int press = 0; press < 3; ++press) QTest::keyClick(ui().TrackBar5, Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(ActiveGroup, 3);
  EXPECT_TRUE(ui().Image1->Picture().IsBitmap());
  EXPECT_TRUE(Shown().Empty());
  EXPECT_TRUE(Base().Empty());
  EXPECT_EQ(ui().TrackBar5->value(), 10);
  for (QSlider* slider : {ui().TrackBar1, ui().TrackBar4, ui().TrackBar6, ui().TrackBar7}) slider->setValue(slider->maximum());
  EXPECT_TRUE(Shown().Empty());
}

}  // namespace
