#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "reference/LiteralPointOperations.h"
#include "imaging/ABitmap.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

TABitmap Source(int width, int height, std::uint32_t seed) { return TABitmap(test::RandomBitmap(width, height, seed)); }

struct Outcome {
  Bitmap picture;
  int notified;
  bool modified;
};

Outcome RunOverlay(const TABitmap& source, int x, int y, int w, int h, const Bitmap& target, std::uint16_t alpha) {
  Outcome out{target, 0, false};
  out.picture.AddChangeListener([&out] { ++out.notified; });
  source.Overlay(x, y, w, h, out.picture, alpha);
  out.modified = out.picture.Modified();
  return out;
}

TEST(Overlay, MatchesLiteralRuleWithinThePreconditions) {
  struct Rect {
    int x, y, w, h;
  };
  const Rect rects[] = {{0, 0, 37, 5}, {0, 0, 100, 100}, {3, 1, 20, 3}, {5, 2, 1, 1}, {36, 4, 9, 9},
                        {0, 0, 17, 2}, {1, 0, 35, 5},    {0, 0, 0, 5},  {0, 0, 5, -2}};
  const Bitmap target = test::RandomBitmap(37, 5, 11);
  const TABitmap source = Source(40, 6, 12);
  for (std::uint16_t alpha : {0, 1, 100, 255, 256, 300, 65535})
    for (const Rect& r : rects) {
      const Outcome out = RunOverlay(source, r.x, r.y, r.w, r.h, target, alpha);
      Bitmap expected = target;
      const bool notify = literal::Overlay(source, r.x, r.y, r.w, r.h, expected, alpha);
      const std::string what = "alpha " + std::to_string(alpha) + " rect " + std::to_string(r.x) + "," +
                               std::to_string(r.y) + "," + std::to_string(r.w) + "," + std::to_string(r.h);
      EXPECT_TRUE(SamePixels(out.picture, expected)) << what;
      EXPECT_EQ(out.notified, notify ? 1 : 0) << what;
      EXPECT_EQ(out.modified, notify) << what;
    }
}

TEST(Overlay, AlphaAbove255BlendsAs255) {
  Bitmap black(4, 1);
  for (int i = 0; i < 12; ++i) black.ScanLine(0)[i] = 0;
  const TABitmap white(Bitmap(4, 1));
  const Outcome out = RunOverlay(white, 0, 0, 4, 1, black, 300);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out.picture.ScanLine(0)[i], 254);  // 255 * 255 >> 8
}

TEST(Overlay, AlphaZeroChangesAndNotifiesNothing) {
  const Bitmap target = test::RandomBitmap(6, 6, 1);
  const Outcome out = RunOverlay(Source(6, 6, 2), 0, 0, 6, 6, target, 0);
  EXPECT_TRUE(SamePixels(out.picture, target));
  EXPECT_EQ(out.notified, 0);
  EXPECT_FALSE(out.modified);
}

TEST(Overlay, RectangleBeyondTheTargetEdges) {
  const Bitmap target = test::RandomBitmap(8, 6, 1);
  const TABitmap source = Source(20, 20, 2);

  // Past the right and bottom edges: only the inside part is blended.
  Outcome out = RunOverlay(source, 5, 4, 10, 10, target, 100);
  Bitmap expected = target;
  literal::Overlay(source, 5, 4, 3, 2, expected, 100);
  EXPECT_TRUE(SamePixels(out.picture, expected));
  EXPECT_EQ(out.notified, 1);

  // X at the right edge: nothing changes, nobody is told.
  out = RunOverlay(source, 8, 0, 4, 4, target, 100);
  EXPECT_TRUE(SamePixels(out.picture, target));
  EXPECT_EQ(out.notified, 0);
  EXPECT_FALSE(out.modified);

  // Y at or below the bottom edge: nothing changes, but the target is still notified.
  out = RunOverlay(source, 0, 6, 4, 4, target, 100);
  EXPECT_TRUE(SamePixels(out.picture, target));
  EXPECT_EQ(out.notified, 1);
  EXPECT_TRUE(out.modified);
}

// Bad arguments the program never passes: the blend is cut to what both bitmaps hold, with
// source pixel (j, r) still landing on target pixel (X + j, Y + r).
TEST(Overlay, NegativeOriginAndSmallSourceStayInBounds) {
  const Bitmap target = test::RandomBitmap(9, 7, 5);
  const TABitmap source = Source(4, 3, 6);
  struct Rect {
    int x, y, w, h;
  };
  for (const Rect& r : {Rect{-2, -1, 9, 7}, Rect{0, 0, 9, 7}, Rect{3, 2, 100, 100}, Rect{-10, -10, 12, 12},
                        Rect{-100, 0, 5, 5}, Rect{-2147483647, -2147483647, 2147483647, 2147483647}}) {
    const Outcome out = RunOverlay(source, r.x, r.y, r.w, r.h, target, 200);
    for (int ty = 0; ty < target.Height(); ++ty)
      for (int tx = 0; tx < target.Width(); ++tx) {
        const long long sx = static_cast<long long>(tx) - r.x, sy = static_cast<long long>(ty) - r.y;
        const bool inside = tx >= r.x && ty >= r.y && tx < static_cast<long long>(r.x) + r.w &&
                            ty < static_cast<long long>(r.y) + r.h && sx < source.Width() && sy < source.Height();
        for (int c = 0; c < 3; ++c) {
          const int t = target.ScanLine(ty)[3 * tx + c];
          const int expected = inside ? (source.ScanLine(static_cast<int>(sy))[3 * sx + c] * 200 + t * 56) >> 8 : t;
          ASSERT_EQ(out.picture.ScanLine(ty)[3 * tx + c], expected)
              << "rect " << r.x << "," << r.y << " pixel " << tx << "," << ty;
        }
      }
  }
}

TEST(Overlay, OntoItselfOrACopyOfItself) {
  // Onto itself at the origin: (v * a + v * (256 - a)) >> 8 = v.
  TABitmap self = Source(13, 3, 9);
  const Bitmap before = self;
  self.Overlay(0, 0, 13, 3, self, 100);
  EXPECT_TRUE(SamePixels(self, before));

  // Shifted onto itself: byte by byte in order, later bytes reading earlier results.
  TABitmap shifted = Source(13, 3, 9);
  Bitmap expected = Source(13, 3, 9);
  shifted.Overlay(1, 0, 13, 3, shifted, 77);
  literal::Overlay(expected, 1, 0, 13, 3, expected, 77);
  EXPECT_TRUE(SamePixels(shifted, expected));

  // Onto a copy that still shares its pixels: the source must not change.
  const TABitmap source = Source(13, 3, 10);
  Bitmap copy = source;
  source.Overlay(0, 0, 13, 3, copy, 100);
  EXPECT_TRUE(SamePixels(source, Source(13, 3, 10)));
}

}  // namespace
}  // namespace zumo
