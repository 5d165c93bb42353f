#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "controls/PhotoView.h"
#include "platform/Threads.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

// The literal area average: each target pixel the exact mean of the source rectangle
// [x * W / w, (x + 1) * W / w) x [y * H / h, (y + 1) * H / h), in doubles.
double ExactMean(const Bitmap& bitmap, int w, int h, int x, int y, int channel) {
  const double x0 = double(x) * bitmap.Width() / w, x1 = double(x + 1) * bitmap.Width() / w;
  const double y0 = double(y) * bitmap.Height() / h, y1 = double(y + 1) * bitmap.Height() / h;
  double total = 0;
  for (int sy = int(y0); sy < std::min(bitmap.Height(), int(std::ceil(y1))); ++sy) {
    const double cover_y = std::min(y1, sy + 1.0) - std::max(y0, double(sy));
    for (int sx = int(x0); sx < std::min(bitmap.Width(), int(std::ceil(x1))); ++sx) {
      const double cover_x = std::min(x1, sx + 1.0) - std::max(x0, double(sx));
      total += cover_x * cover_y * bitmap.ScanLine(sy)[3 * sx + channel];
    }
  }
  return total / ((x1 - x0) * (y1 - y0));
}

int Channel(QRgb pixel, int channel) { return channel == 0 ? qBlue(pixel) : channel == 1 ? qGreen(pixel) : qRed(pixel); }

// The target rows are shared out as bands: two threads give the image of one.
TEST(PhotoView, AreaAveragedOnTwoThreadsGivesTheImageOfOne) {
  const Bitmap photo = test::PhotoLikeBitmap(1203, 397, 5);
  SetThreads(Threads::One);
  const QImage one = AreaAveraged(photo, 301, 99);
  SetThreads(Threads::Two);
  const QImage two = AreaAveraged(photo, 301, 99);
  SetThreads(Threads::Auto);
  EXPECT_EQ(one, two);
}

TEST(PhotoView, AreaAveragedFollowsTheExactAreaMeanAndDoesNotAlias) {
  struct Case {
    int width, height, to_width, to_height;
  };
  // Odd sizes, reductions from barely to many times, one axis only.
  const Case cases[] = {{1, 1, 1, 1}, {7, 5, 3, 2}, {61, 43, 17, 13}, {257, 131, 60, 31},
                        {300, 200, 299, 200}, {1001, 9, 97, 3}, {13, 400, 13, 57}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " to " << c.to_width << "x" << c.to_height);
    const Bitmap picture = test::PhotoLikeBitmap(c.width, c.height, 3);
    const QImage reduced = AreaAveraged(picture, c.to_width, c.to_height);
    ASSERT_EQ(reduced.size(), QSize(c.to_width, c.to_height));
    int worst = 0;
    for (int y = 0; y < c.to_height; ++y)
      for (int x = 0; x < c.to_width; ++x)
        for (int ch = 0; ch < 3; ++ch)
          worst = std::max(worst, int(std::lround(std::abs(Channel(reduced.pixel(x, y), ch) -
                                                           ExactMean(picture, c.to_width, c.to_height, x, y, ch)))));
    EXPECT_LE(worst, 3);
  }

  // A one-pixel checkerboard reduced by 2, 3 and 5 is an even grey, not a moire.
  Bitmap checker(150, 90);
  for (int y = 0; y < checker.Height(); ++y)
    for (int x = 0; x < 3 * checker.Width(); ++x) checker.ScanLine(y)[x] = ((x / 3 + y) % 2) ? 255 : 0;
  for (int factor : {2, 3, 5}) {
    const QImage reduced = AreaAveraged(checker, 150 / factor, 90 / factor);
    for (int y = 0; y < reduced.height(); ++y)
      for (int x = 0; x < reduced.width(); ++x) ASSERT_NEAR(qGreen(reduced.pixel(x, y)), 127.5, 26) << factor;
  }
}

TEST(PhotoView, ZoomScalesTheDrawingNeverThePicture) {
  const Bitmap picture = test::RandomBitmap(5, 3, 11);
  TPhotoView view;
  view.SetAutoSize(true);
  view.AssignBitmap(picture);
  ASSERT_EQ(view.size(), QSize(5, 3)) << "100 %: one picture pixel per (device) pixel";

  view.SetZoom(4.0);
  EXPECT_EQ(view.size(), QSize(20, 12));
  const QImage big = view.grab().toImage();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const std::uint8_t* p = picture.ScanLine(y / 4) + 3 * (x / 4);
      ASSERT_EQ(big.pixel(x, y), qRgb(p[2], p[1], p[0])) << "visible pixels at " << x << "," << y;
    }
  view.SetZoom(100.0);
  EXPECT_DOUBLE_EQ(view.Zoom(), TPhotoView::kMaxZoom);
  view.SetZoom(0.0);
  EXPECT_DOUBLE_EQ(view.Zoom(), TPhotoView::kMinZoom);
  EXPECT_EQ(view.size(), QSize(1, 1));
  EXPECT_TRUE(SamePixels(view.Picture().HeldBitmap(), picture));
  EXPECT_TRUE(view.Picture().HeldBitmap().SharesPixelsWith(picture)) << "nothing was written";
}

}  // namespace
}  // namespace zumo
