#include <gtest/gtest.h>

#include "Lib/common/BitmapUtils.h"
#include "Lib/common/SizeStep.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

TEST(SizeStep, LongSideLimitsOfThePresets) {
  EXPECT_FALSE(LongSideLimit(SizePreset::AsLoaded).has_value());
  EXPECT_EQ(LongSideLimit(SizePreset::Long1600), 1600);
  EXPECT_EQ(LongSideLimit(SizePreset::Long1024), 1024);
  EXPECT_EQ(LongSideLimit(SizePreset::Long800), 800);
}

TEST(SizeStep, ScaledSizesInExtendedPrecision) {
  struct Row {
    int width, height, limit;
    PictureSize expected;
  };
  const Row rows[] = {
      {4000, 3000, 1600, {1600, 1200}},
      {4000, 3000, 1024, {1024, 767}},   // just below 768; double precision gives 768
      {3000, 4000, 800, {600, 800}},
      {2400, 1200, 1600, {1600, 800}},
      {1944, 1215, 1600, {1600, 999}},   // exactly 1000 in real numbers
      {1087, 1087, 1024, {1023, 1024}},  // a square takes the second branch
      {1025, 656, 800, {800, 511}},
      {1601, 1200, 1600, {1600, 1199}},
      {1024, 2000, 1024, {524, 1024}},
      {1600, 1200, 1600, {1600, 1200}},  // no side above the limit
      {640, 480, 800, {640, 480}},       // never enlarged
      {2123, 2123, 1600, {1599, 1600}},
      {800, 801, 800, {799, 800}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ScaledSize(r.width, r.height, r.limit), r.expected) << r.width << "x" << r.height << " at " << r.limit;
  }
}

TEST(SizeStep, ElongatedPhotoKeepsAShortSideOfOne) {
  EXPECT_EQ(ScaledSize(1700, 1, 1600), (PictureSize{1600, 1}));
  EXPECT_EQ(ScaledSize(1, 1700, 1600), (PictureSize{1, 1600}));
  EXPECT_EQ(ScaledSize(10922, 5, 800), (PictureSize{800, 1}));  // 5 x 800 / 10922 = 0.37

  const Bitmap line = test::RandomBitmap(1700, 1, 4);
  const Bitmap scaled = BringToPreset(line, SizePreset::Long1600);
  EXPECT_EQ(scaled.Width(), 1600);
  EXPECT_EQ(scaled.Height(), 1);
}

TEST(SizeStep, BringToPresetCopiesWhatNeedsNoScaling) {
  const Bitmap photo = test::RandomBitmap(800, 600, 9);
  for (SizePreset preset : {SizePreset::AsLoaded, SizePreset::Long1600, SizePreset::Long1024, SizePreset::Long800}) {
    const Bitmap result = BringToPreset(photo, preset);
    EXPECT_TRUE(SamePixels(result, photo));
  }
  const Bitmap empty;
  EXPECT_TRUE(BringToPreset(empty, SizePreset::Long800).Empty());
}

TEST(SizeStep, BringToPresetResamplesFromTheFullPhoto) {
  const Bitmap photo = test::PhotoLikeBitmap(1100, 300, 2);
  const Bitmap before = photo;
  const Bitmap result = BringToPreset(photo, SizePreset::Long800);
  ASSERT_EQ(result.Width(), 800);
  ASSERT_EQ(result.Height(), 218);  // Trunc(300 x (800 / 1100)) = Trunc(218.18)
  EXPECT_TRUE(SamePixels(result, *ResampleBitmap(photo, 800, 218)));
  EXPECT_TRUE(SamePixels(photo, before));
}

}  // namespace
}  // namespace zumo
