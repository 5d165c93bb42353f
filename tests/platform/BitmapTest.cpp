#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include "support/TestPictures.h"

namespace zumo {
namespace {

TEST(Bitmap, NewBitmapIsWhiteAndRowsArePaddedToFourBytes) {
  Bitmap bitmap(5, 3);
  EXPECT_EQ(bitmap.Stride(), 16);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 15; ++i) EXPECT_EQ(bitmap.ScanLine(y)[i], 255);
}

TEST(Bitmap, ResizeKeepsTopLeftAndWhitensNewArea) {
  Bitmap bitmap = test::RandomBitmap(4, 3, 7);
  const Bitmap before = bitmap;
  bitmap.SetWidth(6);
  bitmap.SetHeight(2);
  ASSERT_EQ(bitmap.Width(), 6);
  ASSERT_EQ(bitmap.Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bitmap.ScanLine(y)[i], before.ScanLine(y)[i]);
    for (int i = 12; i < 18; ++i) EXPECT_EQ(bitmap.ScanLine(y)[i], 255);
  }
  bitmap.SetHeight(4);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(bitmap.ScanLine(3)[i], 255);
}

TEST(Bitmap, CopiesAreIndependentAlthoughTheyShareUntilWritten) {
  Bitmap a = test::RandomBitmap(3, 3, 1);
  Bitmap b = a;
  EXPECT_TRUE(a.SharesPixelsWith(b));
  const std::uint8_t original = a.ScanLine(1)[4];
  b.ScanLine(1)[4] = static_cast<std::uint8_t>(original + 1);
  EXPECT_FALSE(a.SharesPixelsWith(b));
  EXPECT_EQ(a.ScanLine(1)[4], original);

  Bitmap c;
  c.Assign(a);
  c.MutableBits()[0] ^= 0xFF;
  EXPECT_NE(c.ScanLine(0)[0], a.ScanLine(0)[0]);
}

TEST(Bitmap, RowOutOfRangeRaisesTheRowRangeError) {
  Bitmap bitmap(2, 2);
  EXPECT_THROW(bitmap.ScanLine(2), Error);
  EXPECT_THROW(bitmap.ScanLine(-1), Error);
  const Bitmap& constant = bitmap;
  EXPECT_THROW(constant.ScanLine(2), Error);
  Bitmap empty;
  EXPECT_THROW(empty.ScanLine(0), Error);
}

TEST(Bitmap, SizesBeyondTheLimitsAreRefusedAndNegativeSizesCountAsZero) {
  EXPECT_NO_THROW(Bitmap(Bitmap::kMaxWidth, 1));
  EXPECT_NO_THROW(Bitmap(1, Bitmap::kMaxHeight));
  EXPECT_THROW(Bitmap(Bitmap::kMaxWidth + 1, 1), Error);
  EXPECT_THROW(Bitmap(1, Bitmap::kMaxHeight + 1), Error);
  Bitmap bitmap(2, 2);
  EXPECT_THROW(bitmap.SetWidth(Bitmap::kMaxWidth + 1), Error);
  EXPECT_EQ(bitmap.Width(), 2);
  bitmap.SetSize(-5, 3);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, ListenersHearAssignAndResizeButNotCopies) {
  Bitmap bitmap;
  int calls = 0;
  const auto id = bitmap.AddChangeListener([&] { ++calls; });
  bitmap.Assign(Bitmap(2, 2));
  EXPECT_EQ(calls, 1);
  bitmap.SetSize(3, 2);
  EXPECT_EQ(calls, 2);
  bitmap.SetSize(3, 2);  // no change, no notification
  EXPECT_EQ(calls, 2);
  Bitmap copy = bitmap;  // listeners stay with their bitmap
  copy.Changed();
  EXPECT_EQ(calls, 2);
  bitmap.RemoveChangeListener(id);
  bitmap.Changed();
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace zumo
