#include "imaging/ABitmap.h"

#include <gtest/gtest.h>

#include "photofiles/BmpWriter.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

TEST(TABitmap, StartsEmptyAndMakesEmptyInstancesOfItsOwnClass) {
  const TABitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  const std::unique_ptr<Bitmap> made = bitmap.NewInstance();
  EXPECT_NE(dynamic_cast<TABitmap*>(made.get()), nullptr);
  EXPECT_TRUE(made->Empty());
}

TEST(TABitmap, AssignTakesAnIndependentCopyAndNotifies) {
  const Bitmap source = test::RandomBitmap(7, 5, 1);
  TABitmap bitmap;
  int notified = 0;
  bitmap.AddChangeListener([&] { ++notified; });
  bitmap.Assign(source);
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(SamePixels(bitmap, source));
  bitmap.ScanLine(0)[0] ^= 0xFF;
  EXPECT_TRUE(SamePixels(source, test::RandomBitmap(7, 5, 1)));
}

TEST(TABitmap, SetSizeKeepsTopLeftAndWhitensNewArea) {
  TABitmap bitmap(test::RandomBitmap(3, 2, 4));
  const Bitmap before = bitmap;
  bitmap.SetSize(5, 3);
  ASSERT_EQ(bitmap.Width(), 5);
  ASSERT_EQ(bitmap.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 15; ++i)
      EXPECT_EQ(bitmap.ScanLine(y)[i], (y < 2 && i < 9) ? before.ScanLine(y)[i] : 255) << y << "," << i;
}

TEST(TABitmap, LoadFromFileReadsABmp) {
  test::TempDir dir;
  const Bitmap picture = test::RandomBitmap(11, 4, 2);
  WriteBmpFile(picture, dir.File("a.bmp"));
  TABitmap bitmap;
  int notified = 0;
  bitmap.AddChangeListener([&] { ++notified; });
  bitmap.LoadFromFile(dir.File("a.bmp"));
  EXPECT_TRUE(SamePixels(bitmap, picture));
  EXPECT_EQ(notified, 1);
  // A failed load leaves the bitmap as it was.
  EXPECT_THROW(bitmap.LoadFromFile(dir.File("missing.bmp")), Error);
  EXPECT_TRUE(SamePixels(bitmap, picture));
}

}  // namespace
}  // namespace zumo
