#include "platform/PixelMemory.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Bitmap.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

TEST(PixelMemory, ReleasedPhotoSizedBuffersAreHandedOutAgainForTheSameSize) {
  ReleaseKeptPixelBuffers();
  const std::uint8_t* first = nullptr;
  {
    Bitmap big(1000, 800);
    first = big.Bits();
  }
  EXPECT_EQ(KeptPixelBufferCount(), 1u);
  Bitmap again(1000, 800);
  EXPECT_EQ(again.Bits(), first);
  EXPECT_EQ(KeptPixelBufferCount(), 0u);
  // A reused buffer is whitened like a fresh one.
  for (int y = 0; y < again.Height(); y += 97)
    for (int i = 0; i < 3 * again.Width(); i += 31) ASSERT_EQ(again.ScanLine(y)[i], 255);
}

TEST(PixelMemory, SmallBuffersAreNotKeptAndTheKeptSetIsBounded) {
  ReleaseKeptPixelBuffers();
  { Bitmap small(10, 10); }
  EXPECT_EQ(KeptPixelBufferCount(), 0u);
  {
    std::vector<Bitmap> many;
    for (int i = 0; i < 10; ++i) many.emplace_back(600, 600 + i);
  }
  EXPECT_LE(KeptPixelBufferCount(), 4u);
  ReleaseKeptPixelBuffers();
  EXPECT_EQ(KeptPixelBufferCount(), 0u);
}

TEST(PixelMemory, CopiesStayIndependentWhenBuffersAreRecycled) {
  Bitmap original = test::RandomBitmap(700, 600, 3);
  const Bitmap snapshot = test::RandomBitmap(700, 600, 3);
  for (int round = 0; round < 3; ++round) {
    Bitmap copy = original;
    copy.MutableBits()[0] ^= 0xFF;  // detaches into a (possibly recycled) buffer
    EXPECT_TRUE(SamePixels(original, snapshot));
  }
}

TEST(PixelMemory, SafeToUseFromSeveralThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 20; ++i) {
        Bitmap bitmap(700 + t, 500);
        bitmap.ScanLine(499)[0] = static_cast<std::uint8_t>(i);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  SUCCEED();
}

}  // namespace
}  // namespace zumo
