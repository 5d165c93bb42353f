// The one-button filter and the preset techniques, pressed with the mouse: what every
// store holds afterwards, the filter's radius classes, the technique chains against the
// engine's, repeat presses, and the interplay with the sliders and ActiveGroup.
#include <QCursor>
#include <QRadioButton>

#include "Lib/common/SizeStep.h"
#include "QtPrinting.h"
#include "RetouchWindow.h"
#include "imaging/Techniques.h"

namespace {

using zumo::Bitmap;
using zumo::SamePixels;
using zumo::TABitmap;
using zumo::test::EveryByte;
using zumo::test::OneLower;

// The filter written out step by step with an explicit radius: sharpen 50, box blur of the
// sharpened picture, the sharpened picture laid over the blur at 100/256.
struct Glow {
  Bitmap result, sharpened;
};
Glow ExpectedGlow(const Bitmap& picture, int radius) {
  TABitmap sharpened(picture);
  sharpened.Sharpen(50, sharpened);
  TABitmap blurred(sharpened);
  blurred.BoxBlur(radius, blurred);
  Bitmap result(blurred);
  sharpened.Overlay(0, 0, sharpened.Width(), sharpened.Height(), result, 100);
  return {result, Bitmap(sharpened)};
}

class RetouchButtons : public zumo::test::RetouchWindow {
 protected:
  void TearDown() override {
    TABitmap::FixNoiseSeed(std::nullopt);
    RetouchWindow::TearDown();
  }
  void Filter() { Press(ui().RGButton4); }
  void Execute() { Press(ui().RGButton5); }
};

TEST_F(RetouchButtons, FilterRadiusGrowsWithThePictureSizeClass) {
  struct Case {
    int width, height, radius, other;
  };
  const Case cases[] = {{800, 9, 5, 6},  {801, 9, 6, 5},  {9, 801, 6, 5},   {1024, 5, 6, 8},
                        {1025, 5, 8, 6}, {1600, 5, 8, 10}, {1601, 5, 10, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const Bitmap photo = Load(c.width, c.height);
    const Glow expected = ExpectedGlow(photo, c.radius);
    ASSERT_FALSE(SamePixels(expected.result, ExpectedGlow(photo, c.other).result)) << "the radius is visible";
    Filter();
    EXPECT_TRUE(SamePixels(Shown(), expected.result));
    EXPECT_TRUE(SamePixels(Base(), expected.result));
    EXPECT_TRUE(SamePixels(Scratch(), expected.sharpened));
    EXPECT_TRUE(SamePixels(*WorkBitmap, expected.sharpened));
    EXPECT_EQ(ui().Image11->size(), QSize(c.width, c.height));
    EXPECT_TRUE(SamePixels(Loaded(), photo));
    EXPECT_EQ(ActiveGroup, 100);
    ExpectSlidersAtZero();
  }
}

TEST_F(RetouchButtons, FilterTwiceCompoundsAndTheNextSliderChangeIsASwitch) {
  const Bitmap photo = Load(40, 30);
  Filter();
  const Bitmap once = ExpectedGlow(photo, 5).result;
  ASSERT_TRUE(SamePixels(Shown(), once));
  Filter();
  const Bitmap twice = ExpectedGlow(once, 5).result;
  EXPECT_TRUE(SamePixels(Shown(), twice));
  EXPECT_EQ(ActiveGroup, 100);

  // With ActiveGroup 100 any slider change is a switch: not applied ...
  ui().TrackBar6->setValue(-40);
  EXPECT_EQ(ui().TrackBar6->value(), 0);
  EXPECT_EQ(ActiveGroup, 4);
  EXPECT_TRUE(SamePixels(Shown(), twice));
  EXPECT_TRUE(SamePixels(Base(), twice));
  // ... except that TrackBar7's neutral position lowers every non-zero byte by one.
  ui().TrackBar7->setValue(50);
  EXPECT_EQ(ActiveGroup, 5);
  EXPECT_TRUE(SamePixels(Shown(), OneLower(twice)));
}

TEST_F(RetouchButtons, FilterTakesThePictureAsShownAndLeavesTheSliderGroupThatSwitchedLast) {
  const Bitmap photo = Load(40, 30);
  ui().TrackBar6->setValue(-1);  // switch to group 4
  ui().TrackBar6->setValue(-30);
  const Bitmap bright = EveryByte(photo, [](int v, int) { return TABitmap::Clip(v + 30); });
  ASSERT_TRUE(SamePixels(Shown(), bright));

  Filter();
  const Bitmap expected = ExpectedGlow(bright, 5).result;
  EXPECT_TRUE(SamePixels(Shown(), expected));
  EXPECT_TRUE(SamePixels(Base(), expected));
  ExpectSlidersAtZero();
  EXPECT_EQ(ActiveGroup, 4) << "TrackBar6's reset switched away from 100";
}

TEST_F(RetouchButtons, FilterAndTechniquesShowTheBusyCursorWhileTheyWork) {
  Load(20, 15);
  std::vector<Qt::CursorShape> seen;
  QObject::connect(ui().Image1, &zumo::TImage::pictureChanged, [&seen] {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
  });
  Filter();
  ASSERT_FALSE(seen.empty());
  for (Qt::CursorShape shape : seen) EXPECT_EQ(shape, Qt::WaitCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  seen.clear();
  Execute();
  ASSERT_FALSE(seen.empty());
  for (Qt::CursorShape shape : seen) EXPECT_EQ(shape, Qt::WaitCursor);
}

TEST_F(RetouchButtons, EachTechniqueEqualsTheEngineChainOnTheLoadedPhoto) {
  TABitmap::FixNoiseSeed(20240601);
  const Bitmap photo = Load(40, 30);
  struct Case {
    QRadioButton* button;
    zumo::Technique technique;
  };
  const Case cases[] = {{ui().RadioButton2, zumo::Technique::Omakase},
                        {ui().RadioButton3, zumo::Technique::Furusugi},
                        {ui().RadioButton4, zumo::Technique::Hadesugi},
                        {ui().RadioButton12, zumo::Technique::Yarisugi}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->objectName().toStdString());
    c.button->click();
    const Bitmap scratch_before = Scratch();
    TABitmap work;
    const zumo::TechniqueResult expected = zumo::ApplyTechnique(work, photo, c.technique);
    Execute();
    EXPECT_TRUE(SamePixels(Shown(), expected.result));
    EXPECT_TRUE(SamePixels(Base(), expected.result));
    EXPECT_TRUE(SamePixels(Scratch(), expected.scratch ? *expected.scratch : scratch_before));
    EXPECT_TRUE(SamePixels(*WorkBitmap, work)) << "WorkBitmap keeps what the chain left";
    EXPECT_TRUE(SamePixels(Loaded(), photo));
    ExpectSlidersAtZero();

    // A second press gives the same picture: every run starts again from the photo.
    Execute();
    EXPECT_TRUE(SamePixels(Shown(), expected.result));
  }
}

TEST_F(RetouchButtons, TechniqueRebuildsFromThePhotoAtTheSelectedSize) {
  const Bitmap photo = Load(900, 24);
  ui().RadioButton11->click();  // long side 800
  ui().RadioButton4->click();   // Too flashy
  // Earlier retouching is dropped: a slider change and the filter first.
  ui().TrackBar6->setValue(-1);
  ui().TrackBar6->setValue(-30);
  Filter();

  TABitmap work;
  const Bitmap sized = zumo::BringToPreset(photo, zumo::SizePreset::Long800);
  ASSERT_EQ(sized.Width(), 800);
  const zumo::TechniqueResult expected = zumo::ApplyTechnique(work, sized, zumo::Technique::Hadesugi);
  Execute();
  EXPECT_TRUE(SamePixels(Shown(), expected.result));
  EXPECT_TRUE(SamePixels(Base(), expected.result));
  EXPECT_EQ(ui().Image1->size(), QSize(sized.Width(), sized.Height()));
  EXPECT_TRUE(SamePixels(Loaded(), photo));
}

TEST_F(RetouchButtons, TechniqueLeavesActiveGroupToTheSlidersAndTheResultAsTheirBase) {
  const Bitmap photo = Load(30, 20);
  ui().RadioButton4->click();
  TABitmap work;
  const Bitmap result = zumo::ApplyTechnique(work, photo, zumo::Technique::Hadesugi).result;

  Filter();  // ActiveGroup 100
  Execute();
  EXPECT_EQ(ActiveGroup, 100) << "the technique neither reads nor writes it";

  // A slider standing away from 0 in the active group is reset by the run's Set_Int; the
  // result is shown all the same and the next change builds on it.
  ui().TrackBar6->setValue(-1);
  ui().TrackBar6->setValue(-30);
  Execute();
  EXPECT_EQ(ActiveGroup, 4);
  EXPECT_TRUE(SamePixels(Shown(), result));
  ExpectSlidersAtZero();
  ui().TrackBar6->setValue(-10);
  EXPECT_TRUE(SamePixels(Shown(), EveryByte(result, [](int v, int) { return TABitmap::Clip(v + 10); })));
}

TEST_F(RetouchButtons, BeforeAnyLoadFilterAndTechniqueLeaveEmptyPicturesWithoutAnError) {
  ASSERT_TRUE(ui().Image1->Picture().IsJpeg());
  Filter();
  EXPECT_TRUE(ui().Image1->Picture().IsBitmap());
  EXPECT_TRUE(Shown().Empty());
  EXPECT_TRUE(Base().Empty());
  EXPECT_EQ(ActiveGroup, 5) << "TrackBar7's first reset switched from 100";
  ExpectSlidersAtZero();

  for (QRadioButton* technique : {ui().RadioButton2, ui().RadioButton3, ui().RadioButton4, ui().RadioButton12}) {
    technique->click();
    Execute();
    EXPECT_TRUE(Shown().Empty());
    EXPECT_TRUE(Base().Empty());
  }
  EXPECT_EQ(ActiveGroup, 5);
}

}  // namespace
