#include "imaging/Techniques.h"

#include <gtest/gtest.h>

#include <array>

#include "support/TestPictures.h"

namespace zumo {
namespace {

TEST(GlowBlurRadius, SizeClassesChangeAtThePresetLimits) {
  struct Case {
    int width, height, smallest, radius;
  };
  const Case cases[] = {
      {800, 600, 5, 5},   {800, 600, 4, 4},   {600, 800, 5, 5},     {801, 600, 5, 6},  {801, 600, 4, 6},
      {600, 801, 5, 6},   {1024, 1024, 5, 6}, {1025, 100, 5, 8},    {100, 1025, 4, 8}, {1600, 1200, 5, 8},
      {1600, 1600, 5, 8}, {1601, 100, 5, 10}, {1601, 1200, 4, 10},  {100, 1601, 5, 10}, {0, 0, 5, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GlowBlurRadius(c.width, c.height, c.smallest), c.radius)
        << c.width << " x " << c.height << ", smallest " << c.smallest;
}

// The chains written out step by step, one whole copy per transfer between pictures, as
// the window's picture stores pass them.
struct Glow {
  Bitmap result, sharpened;
};

Glow LiteralGlow(const Bitmap& picture, int radius) {
  TABitmap work;
  work.Assign(picture);
  work.Sharpen(50, work);
  const Bitmap sharpened(work);
  TABitmap blur(sharpened);
  blur.BoxBlur(radius, blur);
  Bitmap blurred(blur);
  TABitmap source(sharpened);
  source.Overlay(0, 0, sharpened.Width(), sharpened.Height(), blurred, 100);
  return {blurred, sharpened};
}

Bitmap LiteralTooOld(const Bitmap& base) {
  TABitmap work(base);
  work.Contrast(10, work);
  work.Gamma(work, 1.2);
  work.AddNoise(work, 40);
  work.Brightness(work, 5);
  work.Grayscale(work);
  work.BoxBlur(1, work);
  work.ShiftRGB(5, 5, -5, work);
  return work;
}

Bitmap LiteralFlashyIntermediate(const Bitmap& base) {
  TABitmap work(base);
  work.Gamma(work, 1.2);
  return work;
}

Bitmap LiteralOmakaseIntermediate(const Bitmap& base) {
  TABitmap work(base);
  work.Contrast(5, work);
  work.ShiftRGB(5, 0, 10, work);
  return work;
}

Bitmap LiteralOverdoneIntermediate(const Bitmap& base) {
  TABitmap median(base);
  median.RankFilter(median, 5);
  Bitmap m(median);
  TABitmap edges(base);
  edges.EdgeFilter(edges);
  edges.Overlay(0, 0, edges.Width(), m.Height(), m, 100);
  return m;
}

// Positions at the ends of each range and around the blur's radius steps.
TEST(SliderRules, PositionsBecomeTheEngineArguments) {
  const auto shift = sliders::ColourShiftFor(-50, 0, 50);
  EXPECT_EQ((std::array{shift.red, shift.green, shift.blue}), (std::array{100, 0, -100}));
  EXPECT_EQ(sliders::ContrastFor(-100), 100);
  EXPECT_EQ(sliders::ContrastFor(37), -37);
  EXPECT_EQ(sliders::BrightnessFor(-100), 100);
  EXPECT_EQ(sliders::BrightnessFor(100), -100);
  EXPECT_EQ(sliders::DesaturationFor(255), 255);
  EXPECT_EQ(sliders::DesaturationFor(1), 1);
  const struct {
    int position;
    bool sharpen;
    int amount;
  } sharpness[] = {{-120, true, 120}, {-1, true, 1}, {0, false, 0},  {19, false, 0},
                   {20, false, 1},    {39, false, 1}, {40, false, 2}, {120, false, 6}};
  for (const auto& c : sharpness) {
    const sliders::Sharpness got = sliders::SharpnessFor(c.position);
    EXPECT_EQ(got.sharpen, c.sharpen) << c.position;
    EXPECT_EQ(got.amount, c.amount) << c.position;
  }
}

TEST(ApplyGlow, BlendsTheSharpenedPictureOverItsBlur) {
  // Both sides at most 800: radius 5 for the filter, 4 when asked.
  for (const int smallest : {5, 4}) {
    const Bitmap photo = test::PhotoLikeBitmap(41, 27, 3);
    const Bitmap before(photo);
    TABitmap work;
    const GlowResult glow = ApplyGlow(work, photo, smallest);
    const Glow expected = LiteralGlow(photo, smallest);
    EXPECT_TRUE(SamePixels(glow.result, expected.result)) << smallest;
    EXPECT_TRUE(SamePixels(glow.sharpened, expected.sharpened)) << smallest;
    EXPECT_TRUE(SamePixels(work, expected.sharpened)) << "work ends holding the sharpened picture";
    EXPECT_TRUE(SamePixels(photo, before)) << "the input picture is not changed";
  }
}

TEST(ApplyGlow, EveryByteIsSharpenedTimes100PlusBlurredTimes156Over256) {
  const Bitmap photo = test::RandomBitmap(13, 9, 11);
  TABitmap work;
  const GlowResult glow = ApplyGlow(work, photo);

  TABitmap blurred(glow.sharpened);
  blurred.BoxBlur(5, blurred);
  for (int y = 0; y < photo.Height(); ++y) {
    const std::uint8_t* s = glow.sharpened.ScanLine(y);
    const std::uint8_t* b = blurred.ScanLine(y);
    const std::uint8_t* r = glow.result.ScanLine(y);
    for (int i = 0; i < 3 * photo.Width(); ++i) ASSERT_EQ(r[i], (s[i] * 100 + b[i] * 156) >> 8) << y << ", " << i;
  }
}

TEST(ApplyGlow, UsesTheLargerRadiusAboveEightHundred) {
  const Bitmap photo = test::PhotoLikeBitmap(801, 4, 5);
  TABitmap work;
  EXPECT_TRUE(SamePixels(ApplyGlow(work, photo, 4).result, LiteralGlow(photo, 6).result));
}

class TechniqueChain : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  void TearDown() override { TABitmap::FixNoiseSeed(std::nullopt); }
};

TEST_P(TechniqueChain, EqualsTheOperationsCalledStepByStep) {
  const auto [width, height] = GetParam();
  const Bitmap base = test::PhotoLikeBitmap(width, height, 7);
  const Bitmap before(base);
  const int r5 = width > 800 ? 6 : 5;
  const int r4 = width > 800 ? 6 : 4;

  struct Case {
    Technique technique;
    Bitmap intermediate;
    int radius;
  };
  const Case cases[] = {
      {Technique::Hadesugi, LiteralFlashyIntermediate(base), r5},
      {Technique::Omakase, LiteralOmakaseIntermediate(base), r4},
      {Technique::Yarisugi, LiteralOverdoneIntermediate(base), r5},
  };
  for (const Case& c : cases) {
    TABitmap work;
    const TechniqueResult got = ApplyTechnique(work, base, c.technique);
    const Glow expected = LiteralGlow(c.intermediate, c.radius);
    EXPECT_TRUE(SamePixels(got.result, expected.result)) << static_cast<int>(c.technique);
    ASSERT_TRUE(got.scratch.has_value());
    EXPECT_TRUE(SamePixels(*got.scratch, expected.sharpened));
    EXPECT_TRUE(SamePixels(work, expected.sharpened));
  }

  TABitmap::FixNoiseSeed(42);
  TABitmap work;
  const TechniqueResult old = ApplyTechnique(work, base, Technique::Furusugi);
  EXPECT_TRUE(SamePixels(old.result, LiteralTooOld(base)));
  EXPECT_FALSE(old.scratch.has_value()) << "Too old leaves no scratch picture";
  EXPECT_TRUE(SamePixels(base, before)) << "the base is not changed";
}

INSTANTIATE_TEST_SUITE_P(Sizes, TechniqueChain,
                         ::testing::Values(std::pair{1, 1}, std::pair{2, 3}, std::pair{17, 1}, std::pair{31, 19},
                                           std::pair{801, 3}));

TEST(ApplyTechnique, RunsAreRepeatableExceptTooOldsNoise) {
  const Bitmap base = test::PhotoLikeBitmap(45, 33, 9);
  TABitmap work;
  for (Technique t : {Technique::Omakase, Technique::Hadesugi, Technique::Yarisugi}) {
    const Bitmap first = ApplyTechnique(work, base, t).result;
    const Bitmap second = ApplyTechnique(work, base, t).result;
    EXPECT_TRUE(SamePixels(first, second)) << static_cast<int>(t);
    EXPECT_FALSE(SamePixels(first, base)) << static_cast<int>(t);
  }

  TABitmap::FixNoiseSeed(1);
  const Bitmap seeded1 = ApplyTechnique(work, base, Technique::Furusugi).result;
  const Bitmap again1 = ApplyTechnique(work, base, Technique::Furusugi).result;
  TABitmap::FixNoiseSeed(2);
  const Bitmap seeded2 = ApplyTechnique(work, base, Technique::Furusugi).result;
  TABitmap::FixNoiseSeed(std::nullopt);
  EXPECT_TRUE(SamePixels(seeded1, again1));
  EXPECT_FALSE(SamePixels(seeded1, seeded2));

  // Grey tinted towards yellow: red = green = blue + 10 wherever no channel saturated.
  for (int y = 0; y < seeded1.Height(); ++y) {
    const std::uint8_t* p = seeded1.ScanLine(y);
    for (int x = 0; x < seeded1.Width(); ++x, p += 3) {
      ASSERT_EQ(p[2], p[1]);
      if (p[2] >= 10 && p[2] < 255) {
        ASSERT_EQ(p[0] + 10, p[2]) << x << ", " << y;
      }
    }
  }
}

TEST(ApplyTechnique, EmptyPictureGivesEmptyResults) {
  const Bitmap empty;
  TABitmap work;
  for (Technique t : {Technique::Omakase, Technique::Furusugi, Technique::Hadesugi, Technique::Yarisugi}) {
    const TechniqueResult got = ApplyTechnique(work, empty, t);
    EXPECT_TRUE(got.result.Empty());
    EXPECT_TRUE(work.Empty());
  }
  EXPECT_TRUE(ApplyGlow(work, empty).result.Empty());
}

}  // namespace
}  // namespace zumo
