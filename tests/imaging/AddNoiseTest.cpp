#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "imaging/ABitmap.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

// Restores clock seeding when a test ends, whatever it fixed.
struct SeedGuard {
  ~SeedGuard() { TABitmap::FixNoiseSeed(std::nullopt); }
};

Bitmap Noisy(const Bitmap& original, std::uint8_t n, std::optional<std::uint64_t> seed) {
  SeedGuard guard;
  TABitmap::FixNoiseSeed(seed);
  Bitmap picture = original;
  TABitmap().AddNoise(picture, n);
  return picture;
}

TEST(AddNoise, ZeroOrOneChangesNothing) {
  const Bitmap original = test::RandomBitmap(17, 9, 1);
  for (std::uint8_t n : {0, 1}) EXPECT_TRUE(SamePixels(Noisy(original, n, std::nullopt), original));
}

TEST(AddNoise, RaisesEachByteByLessThanN) {
  const Bitmap original = test::RandomBitmap(101, 37, 2);
  for (std::uint8_t n : {2, 40, 255}) {
    const Bitmap noisy = Noisy(original, n, std::nullopt);
    std::set<int> rises;
    for (int y = 0; y < original.Height(); ++y)
      for (int i = 0; i < 3 * original.Width(); ++i) {
        const int before = original.ScanLine(y)[i], after = noisy.ScanLine(y)[i];
        ASSERT_GE(after, before);
        ASSERT_LE(after - before, n - 1);
        if (after < 255) rises.insert(after - before);
      }
    // Every value 0..n-1 is drawn (about 11000 draws per picture, few of them clipped).
    if (n <= 40) {
      EXPECT_EQ(rises.size(), static_cast<std::size_t>(n)) << int{n};
    }
  }
}

TEST(AddNoise, DrawsAreUniform) {
  // 300,000 draws over 0..39 from a black picture: each count within 5% of 7,500.
  Bitmap black(500, 200);
  for (int y = 0; y < 200; ++y)
    for (int i = 0; i < 1500; ++i) black.ScanLine(y)[i] = 0;
  const Bitmap noisy = Noisy(black, 40, 99);
  int counts[40] = {};
  for (int y = 0; y < 200; ++y)
    for (int i = 0; i < 1500; ++i) ++counts[noisy.ScanLine(y)[i]];
  for (int v = 0; v < 40; ++v) EXPECT_NEAR(counts[v], 7500, 375) << v;
}

TEST(AddNoise, FixedSeedIsReproducibleAndClockSeedsDiffer) {
  const Bitmap original = test::RandomBitmap(31, 11, 3);
  EXPECT_TRUE(SamePixels(Noisy(original, 40, 7), Noisy(original, 40, 7)));
  EXPECT_FALSE(SamePixels(Noisy(original, 40, 7), Noisy(original, 40, 8)));
  // Two calls in a row reseed from the clock each time.
  EXPECT_FALSE(SamePixels(Noisy(original, 40, std::nullopt), Noisy(original, 40, std::nullopt)));
}

TEST(AddNoise, ChannelsTakeIndependentDraws) {
  Bitmap grey(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int i = 0; i < 192; ++i) grey.ScanLine(y)[i] = 100;
  const Bitmap noisy = Noisy(grey, 40, 5);
  int coloured = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t* p = noisy.ScanLine(y) + 3 * x;
      if (p[0] != p[1] || p[1] != p[2]) ++coloured;
    }
  EXPECT_GT(coloured, 64 * 64 * 9 / 10);
}

}  // namespace
}  // namespace zumo
