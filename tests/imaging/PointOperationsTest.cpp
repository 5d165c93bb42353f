#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "reference/LiteralPointOperations.h"
#include "imaging/ABitmap.h"
#include "imaging/detail/GrayLevel.h"
#include "imaging/detail/GrayRow.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

struct Size {
  int width, height;
};

// Awkward sizes: single pixels, lines, odd widths, and widths either side of the 16- and
// 48-byte vector steps so that every tail length is met.
const std::vector<Size> kSizes = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 3}, {7, 5}, {13, 3},
                                  {5, 16}, {16, 2}, {17, 3}, {21, 2}, {37, 4}};

std::string Describe(const Size& s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// Runs `real` and `expected` on copies of the same random picture of every awkward size and
// compares them byte for byte (padding included, which neither may touch).
void ExpectSameAsLiteral(const std::function<void(TABitmap&, Bitmap&)>& real,
                         const std::function<void(Bitmap&)>& expected, const std::string& what,
                         const std::vector<Size>& sizes = kSizes) {
  std::uint32_t seed = 1;
  for (const Size& s : sizes) {
    const Bitmap original = test::RandomBitmap(s.width, s.height, seed++);
    TABitmap work;
    Bitmap actual = original;
    real(work, actual);
    Bitmap reference = original;
    expected(reference);
    ASSERT_TRUE(SamePixels(actual, reference)) << what << " on " << Describe(s);
    const std::size_t bytes = static_cast<std::size_t>(actual.Stride()) * actual.Height();
    for (std::size_t i = 0; i < bytes; ++i)
      ASSERT_EQ(actual.Bits()[i], reference.Bits()[i]) << what << " on " << Describe(s) << " byte " << i;
  }
}

TEST(ShiftRGB, MatchesLiteralRule) {
  const int offsets[] = {-100, -99, -64, -1, 0, 1, 5, 10, 57, 99, 100};
  for (int r : offsets)
    for (int g : offsets)
      for (int b : offsets)
        ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.ShiftRGB(r, g, b, t); },
                            [=](Bitmap& t) { literal::ShiftRGB(r, g, b, t); },
                            "ShiftRGB " + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b));
  // Beyond the byte range every byte saturates.
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.ShiftRGB(1000, -256, 255, t); },
                      [](Bitmap& t) { literal::ShiftRGB(1000, -256, 255, t); }, "ShiftRGB large");
}

TEST(ShiftRGB, ExtremeOffsetsSaturateWithoutOverflow) {
  Bitmap picture = test::RandomBitmap(19, 3, 4);
  TABitmap().ShiftRGB(std::numeric_limits<int>::max(), 0, std::numeric_limits<int>::min(), picture);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 19; ++x) {
      EXPECT_EQ(picture.ScanLine(y)[3 * x + 0], 0);
      EXPECT_EQ(picture.ScanLine(y)[3 * x + 2], 255);
    }
}

TEST(ShiftRGB, ArgumentsComeRedFirst) {
  Bitmap picture(1, 1);
  std::uint8_t* p = picture.ScanLine(0);
  p[0] = 100, p[1] = 100, p[2] = 250;  // blue, green, red
  TABitmap().ShiftRGB(10, 0, 5, picture);
  EXPECT_EQ(p[0], 105);
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[2], 255);
}

TEST(Brightness, MatchesLiteralRuleForEveryOffset) {
  for (int d = -100; d <= 100; ++d)
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Brightness(t, static_cast<std::int16_t>(d)); },
                        [=](Bitmap& t) { literal::Brightness(t, static_cast<std::int16_t>(d)); },
                        "Brightness " + std::to_string(d));
  for (std::int16_t d : {std::int16_t{-32768}, std::int16_t{-300}, std::int16_t{255}, std::int16_t{32767}})
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Brightness(t, d); },
                        [=](Bitmap& t) { literal::Brightness(t, d); }, "Brightness " + std::to_string(d));
}

TEST(Contrast, MatchesLiteralRuleForEveryPercent) {
  for (int p = -100; p <= 100; ++p)
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Contrast(p, t); },
                        [=](Bitmap& t) { literal::Contrast(p, t); }, "Contrast " + std::to_string(p));
  for (int p : {-1000, -101, 101, 1000})
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Contrast(p, t); },
                        [=](Bitmap& t) { literal::Contrast(p, t); }, "Contrast " + std::to_string(p));
}

// Every byte value through one operation: a 256 x 1 picture holding 0..255 in each channel.
Bitmap AllByteValues() {
  Bitmap ramp(256, 1);
  for (int v = 0; v < 256; ++v) ramp.ScanLine(0)[3 * v] = ramp.ScanLine(0)[3 * v + 1] = ramp.ScanLine(0)[3 * v + 2] = static_cast<std::uint8_t>(v);
  return ramp;
}

TEST(Contrast, ExtremesAndTies) {
  Bitmap same = AllByteValues();
  TABitmap().Contrast(0, same);
  EXPECT_TRUE(SamePixels(same, AllByteValues()));

  Bitmap flat = AllByteValues();
  TABitmap().Contrast(-100, flat);
  for (int i = 0; i < 3 * 256; ++i) ASSERT_EQ(flat.ScanLine(0)[i], 128) << i;

  // P = 100: v + (v - 127.5) = 2v - 127.5, always a tie, broken to even.
  Bitmap steep = AllByteValues();
  TABitmap().Contrast(100, steep);
  const std::uint8_t* row = steep.ScanLine(0);
  EXPECT_EQ(row[3 * 64], 0);
  EXPECT_EQ(row[3 * 65], 2);
  EXPECT_EQ(row[3 * 128], 128);
  EXPECT_EQ(row[3 * 191], 254);
  EXPECT_EQ(row[3 * 192], 255);
  EXPECT_EQ(row[3 * 255], 255);
}

TEST(Contrast, HugePercentagesClampInsteadOfOverflowing) {
  Bitmap picture = AllByteValues();
  TABitmap().Contrast(std::numeric_limits<int>::max(), picture);
  EXPECT_EQ(picture.ScanLine(0)[3 * 127], 0);
  EXPECT_EQ(picture.ScanLine(0)[3 * 128], 255);
  Bitmap flat = AllByteValues();
  TABitmap().Contrast(std::numeric_limits<int>::min(), flat);
  EXPECT_EQ(flat.ScanLine(0)[0], 255);    // 0 - 127.5 * (-huge) is far above 255
  EXPECT_EQ(flat.ScanLine(0)[765], 0);
}

TEST(Desaturate, MatchesLiteralRuleForEveryWeight) {
  for (int a = 0; a <= 255; ++a)
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Desaturate(t, static_cast<std::uint8_t>(a)); },
                        [=](Bitmap& t) { literal::Desaturate(t, static_cast<std::uint8_t>(a)); },
                        "Desaturate " + std::to_string(a));
}

TEST(Desaturate, WeightZeroLowersEveryNonZeroByteByOne) {
  Bitmap picture = AllByteValues();
  TABitmap().Desaturate(picture, 0);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(picture.ScanLine(0)[3 * v], v == 0 ? 0 : v - 1) << v;
}

TEST(Grayscale, MatchesLiteralRule) {
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.Grayscale(t); }, [](Bitmap& t) { literal::Grayscale(t); },
                      "Grayscale");
}

TEST(Grayscale, PrimaryColours) {
  const struct {
    std::uint8_t b, g, r;
    int level;
  } cases[] = {{0, 0, 255, 76}, {255, 0, 0, 29}, {0, 255, 0, 150}, {255, 255, 255, 255}, {0, 0, 0, 0}};
  for (const auto& c : cases) {
    Bitmap pixel(1, 1);
    std::uint8_t* p = pixel.ScanLine(0);
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
    TABitmap().Grayscale(pixel);
    EXPECT_EQ(p[0], c.level);
    EXPECT_EQ(p[1], c.level);
    EXPECT_EQ(p[2], c.level);
  }
}

// The integer grey level, alone and sixteen pixels at a time, must agree with the
// extended-precision formula for every colour, ties included. Under the sanitizers
// (several times slower) every seventh red value stands in.
TEST(Grayscale, IntegerLevelsEqualExtendedFormulaForEveryColour) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr int kStep = 7;
#else
  constexpr int kStep = 1;
#endif
  int ties = 0;
  std::vector<std::uint8_t> row(3 * 65536 + 3 * 5);  // a tail of five pixels after the vector blocks
  for (int r = 0; r < 256; r += kStep) {
    for (int i = 0; i < 65536 + 5; ++i) {
      row[3 * i] = static_cast<std::uint8_t>(i);           // blue
      row[3 * i + 1] = static_cast<std::uint8_t>(i >> 8);  // green
      row[3 * i + 2] = static_cast<std::uint8_t>(r);
    }
    detail::GrayRow(row.data(), 65536 + 5);
    for (int i = 0; i < 65536 + 5; ++i) {
      const int b = i & 255, g = (i >> 8) & 255;
      const int exact = detail::ExactGrayLevel(b, g, r);
      if ((299 * r + 587 * g + 114 * b) % 1000 == 500) ++ties;
      if (detail::GrayLevel(b, g, r) != exact || row[3 * i] != exact || row[3 * i + 1] != exact ||
          row[3 * i + 2] != exact)
        FAIL() << "b=" << b << " g=" << g << " r=" << r << ": " << detail::GrayLevel(b, g, r) << ", row "
               << int{row[3 * i]} << " != " << exact;
    }
  }
  EXPECT_GT(ties, 0);  // the extended-precision branch was exercised
}

TEST(Gamma, MatchesLiteralRule) {
  for (double g : {1.2, 1.1, 0.75, 3.0, 2.0, 1.0})
    ExpectSameAsLiteral([=](TABitmap& w, Bitmap& t) { w.Gamma(t, g); },
                        [=](Bitmap& t) { literal::Gamma(t, g); }, "Gamma " + std::to_string(g));
}

TEST(Gamma, DarkensAtOnePointTwoAndNotifiesOnlyWhenAccepted) {
  Bitmap picture = AllByteValues();
  int notified = 0;
  picture.AddChangeListener([&] { ++notified; });
  TABitmap().Gamma(picture, 1.2);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(picture.ScanLine(0)[3 * 128], 64);
  EXPECT_EQ(picture.ScanLine(0)[3 * 255], 255);
  EXPECT_EQ(picture.ScanLine(0)[3 * 16], 1);  // 256 / 255 rounds to 1
  EXPECT_FALSE(picture.Modified());

  Bitmap unchanged = AllByteValues();
  notified = 0;
  unchanged.AddChangeListener([&] { ++notified; });
  TABitmap().Gamma(unchanged, 1.1);  // q = 0.5 rounds to 0: identity curve
  EXPECT_EQ(notified, 1);
  for (double rejected : {0.7, 3.5, 0.7499999, 3.0000001, std::nan(""), -1.0,
                          std::numeric_limits<double>::infinity()}) {
    TABitmap().Gamma(unchanged, rejected);
    EXPECT_EQ(notified, 1) << rejected;
  }
  EXPECT_TRUE(SamePixels(unchanged, AllByteValues()));
}

TEST(Power, MultipliesInExtendedPrecision) {
  EXPECT_EQ(TABitmap::Power(0, 0.3L), 0.3L);
  EXPECT_EQ(TABitmap::Power(1, 0.3L), 0.3L * 0.3L);
  EXPECT_EQ(TABitmap::Power(-5, 0.3L), 0.3L);
  EXPECT_EQ(TABitmap::Power(3, 2.0L), 16.0L);
  // 1/3 squared keeps bits a double would lose.
  const long double third = 1.0L / 3.0L;
  EXPECT_NE(static_cast<long double>(static_cast<double>(TABitmap::Power(1, third))), TABitmap::Power(1, third));
}

TEST(PointOperations, EmptyPicturesPassUnchanged) {
  for (const Size& s : {Size{0, 0}, Size{0, 4}, Size{4, 0}}) {
    Bitmap picture(s.width, s.height);
    TABitmap w;
    w.ShiftRGB(10, -10, 50, picture);
    w.Contrast(50, picture);
    w.Brightness(picture, 20);
    w.Grayscale(picture);
    w.Desaturate(picture, 100);
    w.AddNoise(picture, 40);
    w.Gamma(picture, 1.2);
    TABitmap source;
    source.SetSize(4, 4);
    source.Overlay(0, 0, 4, 4, picture, 100);
    EXPECT_EQ(picture.Width(), s.width);
    EXPECT_EQ(picture.Height(), s.height);
  }
}

TEST(PointOperations, WorkAtTheSizeLimits) {
  for (const Size& s : {Size{Bitmap::kMaxWidth, 3}, Size{3, Bitmap::kMaxHeight}}) {
    const Bitmap original = test::RandomBitmap(s.width, s.height, 77);
    Bitmap actual = original, expected = original;
    TABitmap().Brightness(actual, -37);
    literal::Brightness(expected, -37);
    EXPECT_TRUE(SamePixels(actual, expected)) << Describe(s);
    TABitmap().Contrast(41, actual);
    literal::Contrast(41, expected);
    EXPECT_TRUE(SamePixels(actual, expected)) << Describe(s);
  }
}

// Pictures above a megabyte are done in two bands of rows; the bands must meet seamlessly.
TEST(PointOperations, LargePicturesMatchLiteralRules) {
  const std::vector<Size> large = {{701, 503}};
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.ShiftRGB(-3, 90, -100, t); },
                      [](Bitmap& t) { literal::ShiftRGB(-3, 90, -100, t); }, "ShiftRGB", large);
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.Contrast(-33, t); },
                      [](Bitmap& t) { literal::Contrast(-33, t); }, "Contrast", large);
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.Grayscale(t); }, [](Bitmap& t) { literal::Grayscale(t); },
                      "Grayscale", large);
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.Desaturate(t, 200); },
                      [](Bitmap& t) { literal::Desaturate(t, 200); }, "Desaturate", large);
  ExpectSameAsLiteral([](TABitmap& w, Bitmap& t) { w.Gamma(t, 1.2); }, [](Bitmap& t) { literal::Gamma(t, 1.2); },
                      "Gamma", large);
}

TEST(PointOperations, TargetCopiesStayIndependent) {
  const Bitmap original = test::RandomBitmap(9, 4, 3);
  Bitmap target = original;  // shares pixels until written
  TABitmap().Brightness(target, 30);
  TABitmap().Grayscale(target);
  EXPECT_FALSE(SamePixels(target, original));
  EXPECT_TRUE(SamePixels(original, test::RandomBitmap(9, 4, 3)));
}

TEST(PointOperations, OnlyGammaAndOverlayNotify) {
  Bitmap picture = test::RandomBitmap(5, 5, 8);
  int notified = 0;
  picture.AddChangeListener([&] { ++notified; });
  TABitmap w;
  w.ShiftRGB(1, 2, 3, picture);
  w.Contrast(10, picture);
  w.Brightness(picture, 5);
  w.Grayscale(picture);
  w.Desaturate(picture, 9);
  w.AddNoise(picture, 40);
  EXPECT_EQ(notified, 0);
  EXPECT_FALSE(picture.Modified());
}

}  // namespace
}  // namespace zumo
