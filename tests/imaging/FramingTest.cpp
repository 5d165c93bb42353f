// Framing: straightening against its literal loop, turns, flips and crops against
// ImageMagick on djpeg's decoding, straightening beside ImageMagick's rotation, and the
// geometry and messages the window and the batch tool rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "../photofiles/JpegTestTools.h"
#include "imaging/Framing.h"
#include "platform/Threads.h"
#include "support/TestPictures.h"

namespace zumo {

void PrintTo(const CropRect& r, std::ostream* out) {
  *out << r.x << "," << r.y << "," << r.width << "," << r.height << " on " << r.picture_width << "x" << r.picture_height;
}

namespace {

// The straightening rule of Framing.h, pixel by pixel.
Bitmap LiteralStraighten(const Bitmap& src, int tenths) {
  const int w = src.Width(), h = src.Height();
  const CropRect kept = StraightenedRect({w, h}, tenths);
  const StraightenRotation r = StraightenRotationOf(tenths);
  const long long C = r.cos_q16, S = r.sin_q16;
  Bitmap out(kept.width, kept.height);
  for (int j = 0; j < kept.height; ++j)
    for (int i = 0; i < kept.width; ++i) {
      const long long X = kept.x + i, Y = kept.y + j;
      long long px = (2 * X + 1 - w) * C + (2 * Y + 1 - h) * S + (w - 1) * 65536LL;
      long long py = (2 * Y + 1 - h) * C - (2 * X + 1 - w) * S + (h - 1) * 65536LL;
      px = std::clamp(px, 0LL, (w - 1) * 131072LL);
      py = std::clamp(py, 0LL, (h - 1) * 131072LL);
      const int x0 = static_cast<int>(px >> 17), y0 = static_cast<int>(py >> 17);
      const int fx = static_cast<int>((px >> 10) & 127), fy = static_cast<int>((py >> 10) & 127);
      const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
      for (int c = 0; c < 3; ++c) {
        const int a = src.ScanLine(y0)[3 * x0 + c] * (128 - fx) + src.ScanLine(y0)[3 * x1 + c] * fx;
        const int b = src.ScanLine(y1)[3 * x0 + c] * (128 - fx) + src.ScanLine(y1)[3 * x1 + c] * fx;
        out.ScanLine(j)[3 * i + c] = static_cast<std::uint8_t>((a * (128 - fy) + b * fy + 8192) >> 14);
      }
    }
  return out;
}

TEST(Straighten, EqualsTheLiteralLoopOnAwkwardSizesBothSignsAndThreadChoices) {
  const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 3}, {5, 7}, {13, 11}, {64, 5}, {65, 66}, {130, 7}, {7, 130}};
  const int angles[] = {1, 7, 15, 29, 100, 255, 333, 449, 450};
  for (const Threads threads : {Threads::One, Threads::Two}) {
    SetThreads(threads);
    for (const auto& size : sizes)
      for (const int angle : angles)
        for (const int tenths : {angle, -angle}) {
          const Bitmap src = test::RandomBitmap(size[0], size[1], static_cast<std::uint32_t>(tenths + 1000));
          const Bitmap straight = Straighten(src, tenths);
          ASSERT_TRUE(SamePixels(straight, LiteralStraighten(src, tenths)))
              << size[0] << "x" << size[1] << " at " << tenths << (threads == Threads::Two ? ", two threads" : "");
          // A part is the same bytes as the crop of the whole.
          const CropRect part{straight.Width() / 3, straight.Height() / 2, (straight.Width() + 1) / 2,
                              (straight.Height() + 1) / 2};
          EXPECT_TRUE(SamePixels(StraightenPart(src, tenths, part), CropBitmap(straight, part)));
        }
  }
  SetThreads(Threads::Auto);
}

TEST(Straighten, RotationIsTheRoundedSineAndCosineOfEveryAngle) {
  for (int tenths = -450; tenths <= 450; ++tenths) {
    const long double radians = tenths * 3.141592653589793238462643383279502884L / 1800.0L;
    const StraightenRotation r = StraightenRotationOf(tenths);
    EXPECT_EQ(r.sin_q16, std::lrint(std::sin(radians) * 65536.0L)) << tenths;
    EXPECT_EQ(r.cos_q16, std::lrint(std::cos(radians) * 65536.0L)) << tenths;
  }
}

// Whether a centred w x h rectangle lies inside a W x H picture rotated by the angle.
bool FitsRotated(long double w, long double h, int W, int H, int tenths) {
  const long double t = std::abs(tenths) * 3.141592653589793238462643383279502884L / 1800.0L;
  const long double c = std::cos(t), s = std::sin(t);
  const long double slack = 1e-3L;  // the rounded sine and cosine
  return w * c + h * s <= W + slack && w * s + h * c <= H + slack;
}

TEST(Straighten, KeepsTheLargestCentredRectangleOfThePicturesProportions) {
  const int sizes[][2] = {{4000, 3000}, {3000, 4000}, {1001, 999}, {640, 480}, {10922, 200}, {7, 5}};
  for (const auto& size : sizes)
    for (const int tenths : {1, -4, 30, -125, 450}) {
      const CropRect kept = StraightenedRect({size[0], size[1]}, tenths);
      SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]) + " at " + std::to_string(tenths));
      EXPECT_TRUE(FitsRotated(kept.width, kept.height, size[0], size[1], tenths));
      EXPECT_FALSE(FitsRotated(kept.width + 1.01L, kept.height + 1.01L, size[0], size[1], tenths));
      // The photo's proportions, up to the truncation of each side.
      EXPECT_LE(std::abs(static_cast<double>(kept.width) * size[1] - static_cast<double>(kept.height) * size[0]),
                std::max(size[0], size[1]));
      EXPECT_EQ(kept.x, (size[0] - kept.width) / 2);
      EXPECT_EQ(kept.y, (size[1] - kept.height) / 2);
    }
  EXPECT_EQ(StraightenedRect({4000, 3000}, 0), (CropRect{0, 0, 4000, 3000}));
  EXPECT_EQ(StraightenedRect({1, 1}, 450), (CropRect{0, 0, 1, 1}));
}

TEST(Framing, RatiosScaledCropsAndClampedCropsByHand) {
  struct Case {
    CropRect got, want;
  };
  const Case cases[] = {
      {LargestCentred({4, 3}, {4000, 3000}), {0, 0, 4000, 3000}},
      {LargestCentred({1, 1}, {4000, 3000}), {500, 0, 3000, 3000}},
      {LargestCentred({3, 4}, {4000, 3000}), {875, 0, 2250, 3000}},
      {LargestCentred({16, 9}, {1001, 1001}), {0, 219, 1001, 563}},
      {LargestCentred({1000, 1}, {10, 10}), {0, 4, 10, 1}},
      {ScaleCrop({100, 50, 200, 100, 400, 200}, {800, 400}), {200, 100, 400, 200, 800, 400}},
      {ScaleCrop({100, 50, 200, 100, 400, 200}, {399, 199}), {99, 49, 200, 100, 399, 199}},
      {ScaleCrop({399, 0, 1, 200, 400, 200}, {40, 20}), {39, 0, 1, 20, 40, 20}},
      {ScaleCrop({5, 6, 7, 8}, {10, 10}), {5, 6, 7, 8}},  // no size recorded: as written
      {ClampCrop({-5, 10, 50, 50}, {40, 100}), {0, 10, 40, 50}},
      {ClampCrop({30, 90, 20, 20}, {40, 100}), {20, 80, 20, 20}},
      {ClampCrop({3, 3, 0, -2}, {40, 100}), {3, 3, 1, 1}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(Framing, RefusesWhatCannotBeFramedWithAReason) {
  struct Case {
    Framing framing;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{.quarter_turns = 4, .crop = {}}, "回転"},
      {{.straighten_tenths = 451, .crop = {}}, "45.1"},
      {{.straighten_tenths = -451, .crop = {}}, "-45.1"},
      {{.crop = CropRatio{0, 3}}, "0:3"},
      {{.crop = CropRect{0, 0, 0, 10}}, "1 以上"},
      {{.crop = CropRect{-1, 0, 10, 10}}, "位置"},
      {{.crop = CropRect{0, 0, 41, 10}}, "40x30"},  // one pixel too wide
      {{.crop = CropRect{30, 25, 10, 6}}, "はみ出し"},
      {{.quarter_turns = 1, .crop = CropRect{0, 0, 40, 30}}, "30x40"},  // turned: 30 wide
      {{.straighten_tenths = 100, .crop = CropRect{0, 0, 40, 30}}, "はみ出し"},
  };
  const Bitmap photo = test::RandomBitmap(40, 30, 5);
  for (const Case& c : cases) {
    try {
      Frame(photo, c.framing);
      ADD_FAILURE() << "accepted, expected: " << c.says;
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(FramingProblem({.quarter_turns = 3, .straighten_tenths = -450, .crop = CropRatio{3, 4}}), "");
  EXPECT_EQ(CropProblem({10, 5, 30, 25}, {40, 30}), "");
}

TEST(Framing, StagesRunInOrderAndIdentityIsFree) {
  const Bitmap photo = test::RandomBitmap(37, 23, 9);
  const Framing framing{.quarter_turns = 3, .flip_horizontal = true, .straighten_tenths = -57,
                        .crop = CropRect{2, 3, 11, 17}};
  const Bitmap stepwise = CropBitmap(Straighten(TurnAndFlip(photo, 3, true, false), -57), CropRect{2, 3, 11, 17});
  EXPECT_TRUE(SamePixels(Frame(photo, framing), stepwise));
  EXPECT_TRUE(Frame(photo, Framing{}).SharesPixelsWith(photo));
  EXPECT_EQ(UncroppedSize(framing, {37, 23}), (FrameSize{Straighten(TurnAndFlip(photo, 3, true, false), -57).Width(),
                                                          Straighten(TurnAndFlip(photo, 3, true, false), -57).Height()}));
}

// A photo as djpeg decodes it: the test picture through cjpeg, back with djpeg to a BMP.
class FramingOnPhoto : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v cjpeg >/dev/null && command -v djpeg >/dev/null && command -v convert >/dev/null"))
      GTEST_SKIP() << "libjpeg-turbo-progs or ImageMagick not installed";
    test::WritePpm(test::PhotoLikeBitmap(333, 251, 3), dir_.File("photo.ppm"));
    test::RunOrThrow("cjpeg -quality 90 " + dir_.File("photo.ppm") + " > " + dir_.File("photo.jpg"));
    test::RunOrThrow("djpeg -dct int -bmp " + dir_.File("photo.jpg") + " > " + bmp_);
    photo_.LoadFromFile(bmp_);
  }

  // ImageMagick's picture from the photo with `operations`.
  Bitmap Convert(const std::string& operations) {
    const std::string out = dir_.File("out.ppm");
    test::RunOrThrow("convert " + bmp_ + " " + operations + " " + out);
    return test::ReadPnm(out);
  }

  test::TempDir dir_;
  std::string bmp_ = dir_.File("photo.bmp");
  Bitmap photo_;
};

TEST_F(FramingOnPhoto, TurnsFlipsAndCropsEqualImageMagick) {
  struct Case {
    Framing framing;
    std::string operations;
  };
  const std::vector<Case> cases = {
      {{.quarter_turns = 1, .crop = {}}, "-rotate 90"},
      {{.quarter_turns = 2, .crop = {}}, "-rotate 180"},
      {{.quarter_turns = 3, .crop = {}}, "-rotate 270"},
      {{.flip_horizontal = true, .crop = {}}, "-flop"},
      {{.flip_vertical = true, .crop = {}}, "-flip"},
      {{.flip_horizontal = true, .flip_vertical = true, .crop = {}}, "-flop -flip"},
      {{.quarter_turns = 1, .flip_horizontal = true, .crop = {}}, "-rotate 90 -flop"},
      {{.quarter_turns = 3, .flip_vertical = true, .crop = {}}, "-rotate 270 -flip"},
      {{.crop = CropRect{17, 33, 301, 200}}, "-crop 301x200+17+33 +repage"},
      {{.crop = CropRect{332, 250, 1, 1}}, "-crop 1x1+332+250 +repage"},
      {{.quarter_turns = 1, .flip_vertical = true, .crop = CropRect{5, 40, 245, 77}},
       "-rotate 90 -flip -crop 245x77+5+40 +repage"},
      {{.crop = CropRatio{1, 1}}, "-crop 251x251+41+0 +repage"},
      {{.quarter_turns = 1, .crop = CropRatio{16, 9}}, "-rotate 90 -crop 251x141+0+96 +repage"},
  };
  for (const Case& c : cases) {
    const Bitmap ours = Frame(photo_, c.framing);
    const Bitmap theirs = Convert(c.operations);
    EXPECT_TRUE(SamePixels(ours, theirs)) << c.operations << ": " << ours.Width() << "x" << ours.Height() << " against "
                                          << theirs.Width() << "x" << theirs.Height();
  }
}

// ImageMagick's rotation about the centre onto a canvas of the same size, bilinear at pixel
// centres, compared on the rectangle we keep. The two differ only by our 7-bit weights and
// the sine and cosine rounded to 2^-16: measured 0.01 of a level on average and at most 1
// (a mirrored angle gives 4.7 and 28 at 3 degrees); allowed 0.1 and 2.
TEST_F(FramingOnPhoto, StraighteningIsCloseToImageMagicksRotation) {
  for (const int tenths : {30, -30, 125, -449}) {
    const Bitmap canvas = Convert("-virtual-pixel edge -interpolate bilinear -filter point -distort SRT " +
                                  std::to_string(tenths / 10.0));
    const Bitmap common = CropBitmap(canvas, StraightenedRect({photo_.Width(), photo_.Height()}, tenths));
    const Bitmap ours = Straighten(photo_, tenths);
    EXPECT_LE(test::MeanByteDifference(ours, common), 0.1) << tenths;
    EXPECT_LE(test::MaxByteDifference(ours, common), 2) << tenths;
  }
}

}  // namespace
}  // namespace zumo
