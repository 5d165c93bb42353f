// The neighbourhood filters against their literal loops, on awkward sizes, every radius,
// weight and rank the checks below name, and on pictures that push the clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "reference/LiteralFilters.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::RandomBitmap;

// Sizes around the degenerate cases, odd widths, the vector width of the rank filter and
// the 64-pixel runs of the in-place filters.
const std::vector<std::pair<int, int>> kAwkwardSizes = {
    {1, 1}, {1, 9}, {9, 1}, {2, 2}, {2, 5}, {3, 3}, {4, 3}, {5, 7}, {6, 2},
    {7, 6}, {13, 11}, {31, 4}, {64, 5}, {65, 9}, {66, 3}, {130, 7}};

// Random bytes skewed towards the ends: long flat runs, 0s and 255s, so that every
// clip and every flat-area rule is exercised.
Bitmap SkewedBitmap(int w, int h, std::uint32_t seed) {
  Bitmap b(w, h);
  std::mt19937 rng(seed);
  std::uint8_t run = 0;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < 3 * w; ++i) {
      const unsigned pick = rng() % 10;
      if (pick == 0) run = 0;
      if (pick == 1) run = 255;
      if (pick == 2) run = static_cast<std::uint8_t>(rng());
      row[i] = pick == 3 ? static_cast<std::uint8_t>(rng()) : run;
    }
  }
  return b;
}

Bitmap Uniform(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Bitmap bitmap(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  return bitmap;
}

const std::uint8_t* Px(const Bitmap& b, int x, int y) { return b.ScanLine(y) + 3 * x; }

// --- BoxBlur ---

TEST(BoxBlurTest, MatchesLiteralLoopOnAwkwardSizesAndRadii) {
  std::uint32_t seed = 1;
  for (const auto& [w, h] : kAwkwardSizes) {
    for (int r = 0; r <= 10; ++r) {
      const Bitmap source = (seed % 2) ? RandomBitmap(w, h, seed) : SkewedBitmap(w, h, seed);
      ++seed;
      Bitmap expected(source);
      literal::BoxBlur(r, expected);
      for (const bool two_threads : {false, true}) {
        Bitmap actual(source);
        detail::BoxBlurInPlace(r, actual, two_threads);
        ASSERT_TRUE(SamePixels(actual, expected)) << w << "x" << h << " R=" << r << " threads=" << two_threads;
      }
      Bitmap through_method(source);
      TABitmap().BoxBlur(r, through_method);
      ASSERT_TRUE(SamePixels(through_method, expected)) << w << "x" << h << " R=" << r;
    }
  }
}

TEST(BoxBlurTest, LargeRadiiAndBigEnoughForTwoThreads) {
  // Radii wider than the picture, and a picture past the two-thread threshold.
  for (const int r : {17, 40, 90}) {
    const Bitmap source = RandomBitmap(71, 23, 500 + r);
    Bitmap expected(source);
    literal::BoxBlur(r, expected);
    Bitmap actual(source);
    detail::BoxBlurInPlace(r, actual, true);
    EXPECT_TRUE(SamePixels(actual, expected)) << "R=" << r;
  }
  // The largest column sums: 180 rows of nearly white above and below a pixel.
  Bitmap bright = SkewedBitmap(7, 200, 44);
  for (int y = 0; y < 200; ++y)
    for (int i = 0; i < 21; ++i)
      if (bright.ScanLine(y)[i] < 128) bright.ScanLine(y)[i] = static_cast<std::uint8_t>(255 - (i + y) % 3);
  for (const bool two_threads : {false, true}) {
    Bitmap expected(bright), actual(bright);
    literal::BoxBlur(90, expected);
    detail::BoxBlurInPlace(90, actual, two_threads);
    EXPECT_TRUE(SamePixels(actual, expected));
  }
  const Bitmap photo = test::PhotoLikeBitmap(400, 340, 3);
  for (const int r : {1, 6}) {
    Bitmap expected(photo);
    literal::BoxBlur(r, expected);
    Bitmap actual(photo);
    TABitmap().BoxBlur(r, actual);
    EXPECT_TRUE(SamePixels(actual, expected)) << "R=" << r;
  }
}

TEST(BoxBlurTest, TopLeftWhitePixelSpreadsThroughNewValues) {
  Bitmap b = Uniform(4, 3, 0, 0, 0);
  std::fill_n(b.ScanLine(0), 3, 255);
  TABitmap().BoxBlur(1, b);
  EXPECT_EQ(Px(b, 0, 0)[0], 63);  // 255 div 4
  // (1, 0) reads the new 63 among six pixels; (0, 1) reads 63 and 10 among six.
  EXPECT_EQ(Px(b, 1, 0)[2], 63 / 6);
  EXPECT_EQ(Px(b, 0, 1)[1], (63 + 10) / 6);
}

TEST(BoxBlurTest, UniformPictureAndLonePixelUnchanged) {
  const Bitmap uniform = Uniform(19, 8, 7, 200, 255);
  for (const int r : {0, 1, 5, 10}) {
    Bitmap b(uniform);
    TABitmap().BoxBlur(r, b);
    EXPECT_TRUE(SamePixels(b, uniform)) << "R=" << r;
  }
  const Bitmap lone = RandomBitmap(1, 1, 9);
  Bitmap b(lone);
  TABitmap().BoxBlur(1, b);
  EXPECT_TRUE(SamePixels(b, lone));
}

TEST(BoxBlurTest, RadiusOutsideRangeIsClamped) {
  const Bitmap source = RandomBitmap(9, 7, 77);
  Bitmap negative(source);
  TABitmap().BoxBlur(-3, negative);
  EXPECT_TRUE(SamePixels(negative, source));

  Bitmap huge(source), ninety(source);
  TABitmap().BoxBlur(1000, huge);
  literal::BoxBlur(90, ninety);
  EXPECT_TRUE(SamePixels(huge, ninety));
}

// --- The two-thread wavefront ---

// Widths on either side of the progress publication interval (512 pixels) and of its
// multiples, where the waiting row's need and the publishing row's report meet exactly.
const std::vector<int> kPublicationWidths = {511, 512, 513, 1024, 1025, 2049};

TEST(WavefrontTest, BoxBlurMatchesLiteralLoopAcrossPublicationBoundaries) {
  std::uint32_t seed = 900;
  for (const int w : kPublicationWidths) {
    for (const auto& [r, h] : std::vector<std::pair<int, int>>{{1, 9}, {10, 14}, {90, 5}}) {
      const Bitmap source = (seed % 2) ? RandomBitmap(w, h, seed) : SkewedBitmap(w, h, seed);
      ++seed;
      Bitmap expected(source);
      literal::BoxBlur(r, expected);
      for (const bool two_threads : {false, true}) {
        Bitmap actual(source);
        detail::BoxBlurInPlace(r, actual, two_threads);
        ASSERT_TRUE(SamePixels(actual, expected)) << w << "x" << h << " R=" << r << " threads=" << two_threads;
      }
    }
  }
}

TEST(WavefrontTest, SharpenMatchesLiteralLoopAcrossPublicationBoundaries) {
  std::uint32_t seed = 950;
  for (const int w : kPublicationWidths) {
    const Bitmap source = (seed % 2) ? RandomBitmap(w, 7, seed) : SkewedBitmap(w, 7, seed);
    ++seed;
    Bitmap expected(source);
    literal::Sharpen(77, expected);
    for (const bool two_threads : {false, true}) {
      Bitmap actual(source);
      detail::SharpenInPlace(77, actual, two_threads);
      ASSERT_TRUE(SamePixels(actual, expected)) << w << " threads=" << two_threads;
    }
  }
}

// The threads hand every row over to each other: repeated runs give the scheduler many
// chances to interleave them differently. Every run must give the same bytes as one thread.
TEST(WavefrontTest, RepeatedTwoThreadRunsAgreeWithOneThread) {
  const Bitmap photo = test::PhotoLikeBitmap(1100, 40, 5);
  Bitmap blurred(photo), sharpened(photo);
  detail::BoxBlurInPlace(6, blurred, false);
  detail::SharpenInPlace(50, sharpened, false);
  for (int run = 0; run < 12; ++run) {
    Bitmap actual(photo);
    detail::BoxBlurInPlace(6, actual, true);
    ASSERT_TRUE(SamePixels(actual, blurred)) << "run " << run;
    Bitmap sharp(photo);
    detail::SharpenInPlace(50, sharp, true);
    ASSERT_TRUE(SamePixels(sharp, sharpened)) << "run " << run;
  }
}

// Two threads also on pictures one or two pixels wide, where every row waits for the
// whole row above.
TEST(WavefrontTest, NarrowPicturesOnTwoThreads) {
  for (const int w : {1, 2, 3}) {
    const Bitmap source = SkewedBitmap(w, 300, static_cast<std::uint32_t>(w));
    for (const int r : {1, 4, 90}) {
      Bitmap expected(source), actual(source);
      literal::BoxBlur(r, expected);
      detail::BoxBlurInPlace(r, actual, true);
      ASSERT_TRUE(SamePixels(actual, expected)) << w << " R=" << r;
    }
    Bitmap expected(source), actual(source);
    literal::Sharpen(120, expected);
    detail::SharpenInPlace(120, actual, true);
    ASSERT_TRUE(SamePixels(actual, expected)) << w;
  }
}

// --- Sharpen ---

TEST(SharpenTest, MatchesLiteralLoopForEveryWeight) {
  const Bitmap random = RandomBitmap(23, 9, 11);
  const Bitmap skewed = SkewedBitmap(23, 9, 12);
  for (int a = 0; a <= 255; ++a) {
    for (const Bitmap* source : {&random, &skewed}) {
      Bitmap expected(*source);
      literal::Sharpen(a, expected);
      Bitmap actual(*source);
      TABitmap().Sharpen(a, actual);
      ASSERT_TRUE(SamePixels(actual, expected)) << "A=" << a;
    }
  }
}

TEST(SharpenTest, MatchesLiteralLoopOnAwkwardSizes) {
  std::uint32_t seed = 100;
  for (const auto& [w, h] : kAwkwardSizes) {
    for (const int a : {0, 1, 50, 120, 255}) {
      const Bitmap source = (seed % 2) ? RandomBitmap(w, h, seed) : SkewedBitmap(w, h, seed);
      ++seed;
      Bitmap expected(source);
      literal::Sharpen(a, expected);
      for (const bool two_threads : {false, true}) {
        Bitmap actual(source);
        detail::SharpenInPlace(a, actual, two_threads);
        ASSERT_TRUE(SamePixels(actual, expected)) << w << "x" << h << " A=" << a << " threads=" << two_threads;
      }
    }
  }
  const Bitmap photo = test::PhotoLikeBitmap(400, 340, 4);
  Bitmap expected(photo);
  literal::Sharpen(50, expected);
  Bitmap actual(photo);
  TABitmap().Sharpen(50, actual);
  EXPECT_TRUE(SamePixels(actual, expected));
}

TEST(SharpenTest, LonePixelInBlackArea) {
  // Black pixels next to a brighter one get t < 0 and stay 0, so the centre of a 3 x 3
  // picture sees eight black neighbours: t = (11 v - v) div 2 = 5 v.
  for (const auto& [v, expected] : std::vector<std::pair<int, int>>{
           {30, ((150 * 100) >> 8) + ((30 * 155) >> 8)},     // 58 + 18, unclipped
           {100, ((255 * 100) >> 8) + ((100 * 155) >> 8)}}) {  // t = 500 clips to 255
    Bitmap b = Uniform(3, 3, 0, 0, 0);
    std::fill_n(b.ScanLine(1) + 3, 3, static_cast<std::uint8_t>(v));
    TABitmap().Sharpen(100, b);
    Bitmap want = Uniform(3, 3, 0, 0, 0);
    std::fill_n(want.ScanLine(1) + 3, 3, static_cast<std::uint8_t>(expected));
    EXPECT_TRUE(SamePixels(b, want)) << "v=" << v;
  }
}

TEST(SharpenTest, FlatPictureStaysFlatAndZeroWeightLowersByOne) {
  for (const std::uint8_t v : {0, 1, 128, 255}) {
    Bitmap b = Uniform(6, 5, v, v, v);
    TABitmap().Sharpen(0, b);
    const std::uint8_t lowered = v == 0 ? 0 : static_cast<std::uint8_t>(v - 1);
    EXPECT_TRUE(SamePixels(b, Uniform(6, 5, lowered, lowered, lowered))) << int{v};
  }
  // The border rule keeps t = v in a flat area: the first (corner) pixel at full weight
  // becomes (200 * 255) shr 8 = 199; nine-pixel arithmetic on its four pixels would give
  // t = 700 and 254.
  Bitmap flat = Uniform(7, 4, 200, 200, 200);
  TABitmap().Sharpen(255, flat);
  EXPECT_EQ(Px(flat, 0, 0)[0], 199);
}

TEST(SharpenTest, WeightOutsideRangeIsClamped) {
  const Bitmap source = RandomBitmap(8, 6, 31);
  Bitmap low(source), zero(source), high(source), full(source);
  TABitmap().Sharpen(-40, low);
  TABitmap().Sharpen(0, zero);
  TABitmap().Sharpen(1000, high);
  TABitmap().Sharpen(255, full);
  EXPECT_TRUE(SamePixels(low, zero));
  EXPECT_TRUE(SamePixels(high, full));
}

// --- From a source into a target ---

// A target holding some other picture; the filters must replace it whole.
Bitmap OtherPicture(std::uint32_t seed) { return RandomBitmap(4, 3, seed); }

// The fused forms, on both thread paths, must give what the in-place forms give on a copy
// of the source, and leave the source's pixels alone.
template <class InPlace, class Into>
void ExpectIntoMatchesCopyThenInPlace(std::initializer_list<int> arguments, std::uint32_t seed, InPlace in_place,
                                      Into into) {
  std::vector<std::pair<int, int>> sizes = kAwkwardSizes;
  sizes.insert(sizes.end(), {{513, 6}, {1025, 4}, {3, 40}});
  for (const auto& [w, h] : sizes) {
    for (const int argument : arguments) {
      const Bitmap source = seed % 3 == 0   ? test::PhotoLikeBitmap(w, h, seed)
                            : seed % 3 == 1 ? RandomBitmap(w, h, seed)
                                            : SkewedBitmap(w, h, seed);
      const std::vector<std::uint8_t> source_bytes(source.Bits(), source.Bits() + source.Stride() * h);
      ++seed;
      Bitmap expected(source);
      in_place(argument, expected, false);
      for (const bool two_threads : {false, true}) {
        Bitmap target = OtherPicture(seed);
        into(argument, source, target, two_threads);
        ASSERT_TRUE(SamePixels(target, expected)) << w << "x" << h << " argument " << argument
                                                  << " threads=" << two_threads;
      }
      ASSERT_TRUE(std::equal(source_bytes.begin(), source_bytes.end(), source.Bits()))
          << w << "x" << h << " argument " << argument;
    }
  }
}

TEST(FilterIntoTest, BlurMatchesCopyThenInPlace) {
  ExpectIntoMatchesCopyThenInPlace({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 90}, 2000, detail::BoxBlurInPlace,
                                   detail::BoxBlurInto);
}

TEST(FilterIntoTest, SharpenMatchesCopyThenInPlace) {
  ExpectIntoMatchesCopyThenInPlace({0, 1, 50, 119, 120, 254, 255}, 3000, detail::SharpenInPlace,
                                   detail::SharpenInto);
}

// The methods clamp as the in-place forms do, take the two-thread path on a large
// picture, notify the target once (as its Assign would) and leave pictures that shared
// the target's old pixels alone.
TEST(FilterIntoTest, MethodsClampNotifyOnceAndKeepOtherCopies) {
  const Bitmap photo = test::PhotoLikeBitmap(1100, 260, 8);
  for (const int r : {-3, 0, 1, 6, 1000}) {
    Bitmap expected(photo);
    TABitmap().BoxBlur(r, expected);
    Bitmap target = OtherPicture(1);
    const Bitmap shown(target);  // shares the target's old pixels
    int notified = 0;
    target.AddChangeListener([&notified] { ++notified; });
    TABitmap().BoxBlur(r, photo, target);
    EXPECT_TRUE(SamePixels(target, expected)) << "R=" << r;
    EXPECT_EQ(notified, 1) << "R=" << r;
    EXPECT_TRUE(SamePixels(shown, OtherPicture(1)));
  }
  for (const int a : {-5, 50, 300}) {
    Bitmap expected(photo), target;
    TABitmap().Sharpen(a, expected);
    int notified = 0;
    target.AddChangeListener([&notified] { ++notified; });
    TABitmap().Sharpen(a, photo, target);
    EXPECT_TRUE(SamePixels(target, expected)) << "A=" << a;
    EXPECT_EQ(notified, 1) << "A=" << a;
  }
  EXPECT_TRUE(SamePixels(photo, test::PhotoLikeBitmap(1100, 260, 8)));
}

// One object as both source and target, or two sharing pixels: the result is still the
// in-place one, and another copy of the source keeps its pixels.
TEST(FilterIntoTest, SourceThatIsOrSharesTheTarget) {
  const Bitmap original = SkewedBitmap(600, 9, 77);
  Bitmap blur_expected(original), sharp_expected(original);
  TABitmap().BoxBlur(3, blur_expected);
  TABitmap().Sharpen(80, sharp_expected);
  for (const bool two_threads : {false, true}) {
    {
      Bitmap both(original);
      detail::BoxBlurInto(3, both, both, two_threads);
      EXPECT_TRUE(SamePixels(both, blur_expected));
      Bitmap same(original);
      detail::SharpenInto(80, same, same, two_threads);
      EXPECT_TRUE(SamePixels(same, sharp_expected));
    }
    {
      const Bitmap source(original);
      Bitmap target(source);
      ASSERT_TRUE(target.SharesPixelsWith(source));
      detail::BoxBlurInto(3, source, target, two_threads);
      EXPECT_TRUE(SamePixels(target, blur_expected));
      Bitmap sharp(source);
      detail::SharpenInto(80, source, sharp, two_threads);
      EXPECT_TRUE(SamePixels(sharp, sharp_expected));
      EXPECT_TRUE(SamePixels(source, SkewedBitmap(600, 9, 77)));
      EXPECT_TRUE(SamePixels(original, SkewedBitmap(600, 9, 77)));
    }
  }
  // An empty source empties the target.
  Bitmap target(original);
  TABitmap().BoxBlur(2, Bitmap(), target);
  EXPECT_TRUE(target.Empty());
  Bitmap sharp(original);
  TABitmap().Sharpen(2, Bitmap(), sharp);
  EXPECT_TRUE(sharp.Empty());
}

// Repeated two-thread runs: the threads meet at different points every time.
TEST(FilterIntoTest, RepeatedTwoThreadRunsAgreeWithOneThread) {
  const Bitmap photo = test::PhotoLikeBitmap(1100, 40, 6);
  Bitmap blurred(photo), sharpened(photo);
  detail::BoxBlurInPlace(6, blurred, false);
  detail::SharpenInPlace(50, sharpened, false);
  for (int run = 0; run < 12; ++run) {
    Bitmap blur, sharp;
    detail::BoxBlurInto(6, photo, blur, true);
    ASSERT_TRUE(SamePixels(blur, blurred)) << "run " << run;
    detail::SharpenInto(50, photo, sharp, true);
    ASSERT_TRUE(SamePixels(sharp, sharpened)) << "run " << run;
  }
}

// --- RankOf9 and RankFilter ---

TEST(RankOf9Test, MatchesBubbleSortForEveryRank) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 3000; ++trial) {
    std::array<BgrPixel, 9> pixels{};
    // Few distinct channel values make ties and near-ties common.
    const unsigned spread = trial % 3 == 0 ? 2 : 256;
    for (auto& p : pixels)
      p = BgrPixel{static_cast<std::uint8_t>(rng() % spread), static_cast<std::uint8_t>(rng() % spread),
                   static_cast<std::uint8_t>(rng() % spread)};
    for (int k = 1; k <= 9; ++k)
      ASSERT_EQ(RankOf9(pixels, static_cast<std::uint8_t>(k)), literal::RankOf9(pixels, k)) << "K=" << k;
  }
}

TEST(RankOf9Test, RedOutranksGreenAndBlue) {
  std::array<BgrPixel, 9> pixels{};
  pixels.fill(BgrPixel{255, 255, 0});
  pixels[4] = BgrPixel{0, 0, 1};
  EXPECT_EQ(RankOf9(pixels, 9), 65536);
  EXPECT_EQ(RankOf9(pixels, 8), 255 + 256 * 255);
}

TEST(RankOf9Test, RankOutsideRangeIsClamped) {
  std::array<BgrPixel, 9> pixels{};
  for (int i = 0; i < 9; ++i) pixels[i] = BgrPixel{static_cast<std::uint8_t>(10 * i), 0, 0};
  EXPECT_EQ(RankOf9(pixels, 0), RankOf9(pixels, 1));
  EXPECT_EQ(RankOf9(pixels, 200), RankOf9(pixels, 9));
  EXPECT_EQ(RankOf9(pixels, 9), 80);
}

TEST(RankFilterTest, MatchesLiteralLoopForEveryRank) {
  std::uint32_t seed = 300;
  for (const auto& [w, h] : kAwkwardSizes) {
    for (int k = 1; k <= 9; ++k) {
      const Bitmap source = (seed % 2) ? RandomBitmap(w, h, seed) : SkewedBitmap(w, h, seed);
      ++seed;
      Bitmap expected(source);
      literal::RankFilter(expected, k);
      Bitmap actual(source);
      TABitmap().RankFilter(actual, static_cast<std::uint8_t>(k));
      ASSERT_TRUE(SamePixels(actual, expected)) << w << "x" << h << " K=" << k;
    }
  }
}

TEST(RankFilterTest, MedianRemovesSpeckAndMaximumGrowsIt) {
  Bitmap speck = Uniform(7, 7, 0, 0, 0);
  std::fill_n(speck.ScanLine(3) + 9, 3, 255);
  Bitmap median(speck);
  TABitmap().RankFilter(median, 5);
  EXPECT_TRUE(SamePixels(median, Uniform(7, 7, 0, 0, 0)));

  Bitmap grown(speck);
  TABitmap().RankFilter(grown, 9);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 4;
      EXPECT_EQ(Px(grown, x, y)[1], inside ? 255 : 0) << x << "," << y;
    }
}

TEST(RankFilterTest, SmallPicturesAndUniformPicturesUnchanged) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{2, 9}, {9, 2}, {1, 1}, {0, 0}}) {
    const Bitmap source = RandomBitmap(w, h, 8);
    Bitmap b(source);
    TABitmap().RankFilter(b, 5);
    EXPECT_TRUE(SamePixels(b, source));
  }
  const Bitmap uniform = Uniform(10, 6, 1, 2, 3);
  Bitmap b(uniform);
  TABitmap().RankFilter(b, 2);
  EXPECT_TRUE(SamePixels(b, uniform));
}

TEST(RankFilterTest, RankOutsideRangeIsClamped) {
  const Bitmap source = RandomBitmap(11, 6, 21);
  Bitmap zero(source), one(source), ten(source), nine(source);
  TABitmap().RankFilter(zero, 0);
  TABitmap().RankFilter(one, 1);
  TABitmap().RankFilter(ten, 10);
  TABitmap().RankFilter(nine, 9);
  EXPECT_TRUE(SamePixels(zero, one));
  EXPECT_TRUE(SamePixels(ten, nine));
}

// --- EdgeFilter ---

TEST(EdgeFilterTest, MatchesLiteralLoop) {
  std::uint32_t seed = 700;
  for (const auto& [w, h] : kAwkwardSizes) {
    const Bitmap source = (seed % 2) ? RandomBitmap(w, h, seed) : SkewedBitmap(w, h, seed);
    ++seed;
    Bitmap expected(source);
    literal::EdgeFilter(expected);
    Bitmap actual(source);
    TABitmap().EdgeFilter(actual);
    ASSERT_TRUE(SamePixels(actual, expected)) << w << "x" << h;
  }
}

TEST(EdgeFilterTest, UniformGivesBlackInsideWhiteFrame) {
  Bitmap b = Uniform(5, 4, 90, 90, 90);
  TABitmap().EdgeFilter(b);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool frame = x == 0 || y == 0 || x == 4 || y == 3;
      EXPECT_EQ(Px(b, x, y)[2], frame ? 255 : 0) << x << "," << y;
    }
  Bitmap tiny = RandomBitmap(2, 2, 3);
  TABitmap().EdgeFilter(tiny);
  EXPECT_TRUE(SamePixels(tiny, Bitmap(2, 2)));
}

// --- What they notify, what they leave alone ---

TEST(FiltersTest, OnlyEdgeFilterNotifiesAndCopiesStayIndependent) {
  const Bitmap source = RandomBitmap(12, 10, 41);
  Bitmap target(source);  // shares its pixels with source until written
  int notified = 0;
  target.AddChangeListener([&notified] { ++notified; });
  TABitmap home;
  home.BoxBlur(3, target);
  home.Sharpen(50, target);
  home.RankFilter(target, 5);
  EXPECT_EQ(notified, 0);
  home.EdgeFilter(target);
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(SamePixels(source, RandomBitmap(12, 10, 41)));
  EXPECT_TRUE(home.Empty());
}

TEST(FiltersTest, EmptyPicturesAreLeftEmpty) {
  Bitmap empty;
  TABitmap home;
  home.BoxBlur(4, empty);
  home.Sharpen(50, empty);
  home.RankFilter(empty, 5);
  home.EdgeFilter(empty);
  EXPECT_TRUE(empty.Empty());
}

TEST(ScanlineTableTest, HoldsTheDetachedRowPointers) {
  const Bitmap source = RandomBitmap(5, 4, 2);
  Bitmap b(source);
  const auto table = TABitmap::ScanlineTable(b);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(table[y], b.ScanLine(y));
  table[2][0] ^= 0xFF;  // writing through the table must not reach the shared copy
  EXPECT_TRUE(SamePixels(source, RandomBitmap(5, 4, 2)));
  EXPECT_EQ(b.ScanLine(2)[0], static_cast<std::uint8_t>(source.ScanLine(2)[0] ^ 0xFF));
}

// --- The largest extents ---

TEST(FiltersTest, WidestAndTallestPictures) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{Bitmap::kMaxWidth, 3}, {3, Bitmap::kMaxHeight}}) {
    const Bitmap source = SkewedBitmap(w, h, static_cast<std::uint32_t>(w));
    {
      // Two threads on the tall picture would hand over 32767 times: only the wide one.
      const bool two_threads = w > h;
      Bitmap expected(source), actual(source);
      literal::BoxBlur(2, expected);
      detail::BoxBlurInPlace(2, actual, two_threads);
      EXPECT_TRUE(SamePixels(actual, expected)) << w << "x" << h;
    }
    {
      const bool two_threads = w > h;
      Bitmap expected(source), actual(source);
      literal::Sharpen(50, expected);
      detail::SharpenInPlace(50, actual, two_threads);
      EXPECT_TRUE(SamePixels(actual, expected)) << w << "x" << h;
    }
    {
      Bitmap expected(source), actual(source);
      literal::RankFilter(expected, 5);
      TABitmap().RankFilter(actual, 5);
      EXPECT_TRUE(SamePixels(actual, expected)) << w << "x" << h;
    }
    {
      Bitmap expected(source), actual(source);
      literal::EdgeFilter(expected);
      TABitmap().EdgeFilter(actual);
      EXPECT_TRUE(SamePixels(actual, expected)) << w << "x" << h;
    }
  }
}

}  // namespace
}  // namespace zumo
