#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Lib/common/BitmapUtils.h"
#include "Lib/common/detail/Resample.h"
#include "platform/Error.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

// The resampler written out the slow way, one target pixel at a time, every footprint,
// cover and sum formed afresh exactly as the recipe states it. The fast resampler must
// agree with it byte for byte.
Bitmap LiteralResample(const Bitmap& source, int new_width, int new_height) {
  const int w = source.Width();
  const int h = source.Height();
  const float a = static_cast<float>(static_cast<long double>(w * h) / new_width / new_height);
  const double xs = static_cast<double>(static_cast<long double>(w) / new_width);
  const double ys = static_cast<double>(static_cast<long double>(h) / new_height);
  const long double eps = 1e-6L;
  Bitmap result(new_width, new_height);
  for (int ty = 0; ty < new_height; ++ty) {
    std::uint8_t* out = result.ScanLine(ty);
    for (int tx = 0; tx < new_width; ++tx) {
      const double sx0 = static_cast<double>(static_cast<long double>(tx) * xs);
      const double sy0 = static_cast<double>(static_cast<long double>(ty) * ys);
      const double sx1 = static_cast<double>(static_cast<long double>(tx + 1) * xs - eps);
      const double sy1 = static_cast<double>(static_cast<long double>(ty + 1) * ys - eps);
      double red = 0, green = 0, blue = 0;
      for (int y = static_cast<int>(std::floor(sy0)); y <= static_cast<int>(std::floor(sy1)); ++y) {
        const std::uint8_t* row = source.ScanLine(y);
        for (int x = static_cast<int>(std::floor(sx0)); x <= static_cast<int>(std::floor(sx1)); ++x) {
          double wx, wy;
          if (x > sx0 && x + 1 < sx1) wx = 1;
          else if (x <= sx0 && x + 1 < sx1) wx = static_cast<double>(1 - (static_cast<long double>(sx0) - x));
          else if (x > sx0 && x + 1 >= sx1) wx = static_cast<double>(static_cast<long double>(sx1) - x);
          else wx = static_cast<double>(static_cast<long double>(sx1) - sx0);
          if (y > sy0 && y + 1 < sy1) wy = 1;
          else if (y <= sy0 && y + 1 < sy1) wy = static_cast<double>(1 - (static_cast<long double>(sy0) - y));
          else if (y > sy0 && y + 1 >= sy1) wy = static_cast<double>(static_cast<long double>(sy1) - y);
          else wy = static_cast<double>(static_cast<long double>(sy1) - sy0);
          red = static_cast<double>(red + static_cast<long double>(wx) * wy * row[3 * x + 2]);
          green = static_cast<double>(green + static_cast<long double>(wx) * wy * row[3 * x + 1]);
          blue = static_cast<double>(blue + static_cast<long double>(wx) * wy * row[3 * x + 0]);
        }
      }
      out[3 * tx + 2] = static_cast<std::uint8_t>(std::rint(static_cast<long double>(red) / a));
      out[3 * tx + 1] = static_cast<std::uint8_t>(std::rint(static_cast<long double>(green) / a));
      out[3 * tx + 0] = static_cast<std::uint8_t>(std::rint(static_cast<long double>(blue) / a));
    }
  }
  return result;
}

Bitmap Uniform(int width, int height, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = blue;
      row[3 * x + 1] = green;
      row[3 * x + 2] = red;
    }
  }
  return bitmap;
}

std::string ErrorOf(const Bitmap& source, int new_width, int new_height) {
  try {
    ResampleBitmap(source, new_width, new_height);
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

struct Case {
  int width, height, new_width, new_height;
};

TEST(ResampleBitmap, AgreesWithTheLiteralRecipe) {
  const Case cases[] = {
      // reductions, whole and non-whole ratios
      {8, 6, 4, 3}, {7, 5, 3, 2}, {13, 11, 5, 4}, {100, 37, 33, 12}, {97, 61, 40, 25}, {64, 48, 10, 7},
      {1087, 3, 1023, 2}, {30, 30, 29, 29}, {19, 23, 18, 7},
      // enlargements
      {3, 2, 7, 5}, {5, 3, 17, 11}, {2, 2, 9, 9}, {4, 3, 12, 9}, {1, 1, 5, 3}, {7, 6, 8, 7}, {3, 5, 100, 3},
      // mixed: one side grows, the other shrinks
      {9, 40, 23, 7}, {50, 4, 11, 13},
      // lines and single pixels
      {1, 1, 1, 1}, {17, 1, 5, 1}, {1, 17, 1, 6}, {5, 1, 13, 1}, {1, 5, 1, 12}, {23, 19, 1, 1}, {23, 19, 23, 1},
      {23, 19, 1, 19}, {1, 31, 7, 4}, {31, 1, 4, 7}, {3, 1, 1, 1},
      // same size
      {21, 13, 21, 13},
  };
  std::uint32_t seed = 1;
  for (const Case& c : cases) {
    const Bitmap source = test::RandomBitmap(c.width, c.height, seed++);
    const auto fast = ResampleBitmap(source, c.new_width, c.new_height);
    ASSERT_EQ(fast->Width(), c.new_width);
    ASSERT_EQ(fast->Height(), c.new_height);
    EXPECT_TRUE(SamePixels(*fast, LiteralResample(source, c.new_width, c.new_height)))
        << c.width << "x" << c.height << " -> " << c.new_width << "x" << c.new_height;
  }
}

TEST(ResampleBitmap, AgreesWithTheLiteralRecipeAtTheSizePresets) {
  // Sizes the size step produces, on a photo-like picture (smooth areas, where rounding
  // ties are most likely).
  const Bitmap photo = test::PhotoLikeBitmap(1944, 60);
  const auto scaled = ResampleBitmap(photo, 1600, 49);
  EXPECT_TRUE(SamePixels(*scaled, LiteralResample(photo, 1600, 49)));
  const Bitmap tall = test::PhotoLikeBitmap(45, 1087, 3);
  EXPECT_TRUE(SamePixels(*ResampleBitmap(tall, 42, 1024), LiteralResample(tall, 42, 1024)));
}

TEST(ResampleBitmap, OneThreadAndTwoThreadsGiveTheSamePicture) {
  const Bitmap photo = test::PhotoLikeBitmap(640, 480, 7);
  for (const Case c : {Case{640, 480, 256, 191}, Case{640, 480, 641, 479}, Case{640, 480, 1, 3}}) {
    const auto one = detail::ResampleBitmapThreads(photo, c.new_width, c.new_height, 1);
    const auto two = detail::ResampleBitmapThreads(photo, c.new_width, c.new_height, 2);
    EXPECT_TRUE(SamePixels(*one, *two)) << c.new_width << "x" << c.new_height;
    EXPECT_TRUE(SamePixels(*one, *ResampleBitmap(photo, c.new_width, c.new_height)));
  }
  EXPECT_TRUE(SamePixels(*detail::ResampleBitmapThreads(photo, 256, 191, 2), LiteralResample(photo, 256, 191)));
}

TEST(ResampleBitmap, SameSizeGivesAnIdenticalPictureAndLeavesTheSourceAlone) {
  const Bitmap source = test::RandomBitmap(37, 29, 11);
  const Bitmap before = source;
  const auto result = ResampleBitmap(source, 37, 29);
  EXPECT_TRUE(SamePixels(*result, source));
  EXPECT_FALSE(result->SharesPixelsWith(source));
  EXPECT_TRUE(source.SharesPixelsWith(before));
  EXPECT_TRUE(SamePixels(source, before));
}

TEST(ResampleBitmap, HalvingRoundsTheTieOnlyForTheTopLeftPixel) {
  // A 2x2 block of 0, 0, 0 and 6: the top-left pixel has the full weight 1, so its block
  // averages exactly 1.5 and rounds to even (2); anywhere else the 6 is cut by epsilon.
  for (int position = 0; position < 4; ++position) {
    Bitmap block = Uniform(2, 2, 0, 0, 0);
    block.ScanLine(position / 2)[3 * (position % 2) + 1] = 6;
    const auto result = ResampleBitmap(block, 1, 1);
    EXPECT_EQ(result->ScanLine(0)[1], position == 0 ? 2 : 1) << "6 at position " << position;
  }
  // A tie that rounds down: 10 / 4 = 2.5 gives the even 2, not 3.
  Bitmap block = Uniform(2, 2, 0, 0, 0);
  block.ScanLine(0)[2] = 10;
  EXPECT_EQ(ResampleBitmap(block, 1, 1)->ScanLine(0)[2], 2);
}

TEST(ResampleBitmap, ThreePixelsToOneWeighsEachByItsCover) {
  Bitmap source = Uniform(3, 1, 0, 0, 0);
  source.ScanLine(0)[0] = 0;
  source.ScanLine(0)[3] = 30;
  source.ScanLine(0)[6] = 90;
  const auto result = ResampleBitmap(source, 1, 1);
  EXPECT_EQ(result->ScanLine(0)[0], 40);
  EXPECT_EQ(result->ScanLine(0)[1], 0);
  EXPECT_EQ(result->ScanLine(0)[2], 0);
}

TEST(ResampleBitmap, UniformPictureStaysUniform) {
  const std::uint8_t values[][3] = {{255, 255, 255}, {1, 128, 254}, {77, 0, 199}};
  const Case cases[] = {{40, 30, 13, 7},  {40, 30, 1, 1},    {40, 30, 39, 29}, {97, 13, 5, 2},
                        {1, 1, 100, 100}, {2, 3, 200, 300},  {3, 2, 299, 199}, {5, 4, 123, 357},
                        {7, 1, 700, 3},   {40, 30, 41, 299}};
  for (const auto& v : values) {
    for (const Case& c : cases) {
      const auto result = ResampleBitmap(Uniform(c.width, c.height, v[0], v[1], v[2]), c.new_width, c.new_height);
      EXPECT_TRUE(SamePixels(*result, Uniform(c.new_width, c.new_height, v[0], v[1], v[2])))
          << c.width << "x" << c.height << " -> " << c.new_width << "x" << c.new_height << " value " << int{v[0]};
    }
  }
}

TEST(ResampleBitmap, WholeFactorEnlargementRepeatsEachPixel) {
  const Bitmap source = test::RandomBitmap(5, 3, 21);
  for (int k : {2, 3, 7, 64}) {
    const auto result = ResampleBitmap(source, 5 * k, 3 * k);
    bool same = true;
    for (int y = 0; y < 3 * k; ++y)
      for (int x = 0; x < 5 * k; ++x)
        for (int c = 0; c < 3; ++c) same &= result->ScanLine(y)[3 * x + c] == source.ScanLine(y / k)[3 * (x / k) + c];
    EXPECT_TRUE(same) << "factor " << k;
  }
}

TEST(ResampleBitmap, RejectsBadSizesWithClearErrors) {
  const Bitmap source = test::RandomBitmap(4, 3, 5);
  EXPECT_EQ(ErrorOf(Bitmap(), 10, 10), "Assertion failure (BitmapUtils, 942 行)");
  EXPECT_EQ(ErrorOf(Bitmap(5, 0), 10, 10), "Assertion failure (BitmapUtils, 942 行)");
  EXPECT_EQ(ErrorOf(Bitmap(0, 5), 0, 0), "Assertion failure (BitmapUtils, 942 行)");  // the source is checked first
  EXPECT_EQ(ErrorOf(source, 0, 3), "0 による浮動小数点数除算");
  EXPECT_EQ(ErrorOf(source, 4, 0), "0 による浮動小数点数除算");
  EXPECT_EQ(ErrorOf(source, -2, 0), "0 による浮動小数点数除算");

  const std::string negative = ErrorOf(source, -1, 3);
  EXPECT_NE(negative, "(no error)");
  EXPECT_NE(negative.find("-1"), std::string::npos) << negative;
  EXPECT_NE(ErrorOf(source, 3, -5), "(no error)");

  const std::string too_large = ErrorOf(source, Bitmap::kMaxWidth + 1, 3);
  EXPECT_NE(too_large, "(no error)");
  EXPECT_NE(too_large.find(std::to_string(Bitmap::kMaxWidth)), std::string::npos) << too_large;
  EXPECT_NE(ErrorOf(source, 3, Bitmap::kMaxHeight + 1), "(no error)");

  EXPECT_TRUE(SamePixels(source, test::RandomBitmap(4, 3, 5)));
}

}  // namespace
}  // namespace zumo
