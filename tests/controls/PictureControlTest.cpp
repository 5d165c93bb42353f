#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ControlsTestSupport.h"
#include "controls/PictureControl.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::RandomBitmap;
using test::Solid;
using test::SolidJpeg;

// The pixel of a grabbed control as blue, green, red, to compare with bitmap bytes.
std::array<int, 3> GrabbedBgr(const QImage& grabbed, int x, int y) {
  const QRgb c = grabbed.pixel(x, y);
  return {qBlue(c), qGreen(c), qRed(c)};
}

std::array<int, 3> BitmapBgr(const Bitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

TEST(PictureControl, CompressedPictureTurnsIntoAnEmptyBitmapOnFirstAccess) {
  TImage image;
  image.SetAutoSize(true);
  image.resize(100, 100);
  image.SetPicture(TPicture::FromJpeg(SolidJpeg(60, 40, Qt::white)));
  EXPECT_TRUE(image.Picture().IsJpeg());
  EXPECT_EQ(image.size(), QSize(60, 40));

  QSignalSpy changes(&image, &TImage::pictureChanged);
  Bitmap& bitmap = image.Bitmap();
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_TRUE(image.Picture().IsBitmap());
  EXPECT_TRUE(image.Picture().JpegBytes().isEmpty());
  EXPECT_EQ(changes.count(), 1);            // the view goes blank
  EXPECT_EQ(image.size(), QSize(60, 40));   // an empty picture leaves the size

  // From now on it is the same bitmap, read and written in place.
  EXPECT_EQ(&image.Bitmap(), &bitmap);
  EXPECT_EQ(changes.count(), 1);
  bitmap.SetSize(3, 2);
  EXPECT_EQ(image.Picture().Width(), 3);
  EXPECT_EQ(image.size(), QSize(3, 2));
}

TEST(PictureControl, UndecodableJpegIsRefusedAndThePictureKept) {
  TImage image;
  image.AssignBitmap(Solid(4, 4, 1, 2, 3));
  EXPECT_THROW(TPicture::FromJpeg(QByteArray("not a jpeg")), Error);
  EXPECT_THROW(TPicture::FromJpeg(SolidJpeg(8, 8, Qt::red).left(40)), Error);
  EXPECT_THROW(image.LoadJpeg(QStringLiteral("/nonexistent/picture.jpg")), Error);
  EXPECT_TRUE(SamePixels(image.Picture().HeldBitmap(), Solid(4, 4, 1, 2, 3)));
}

TEST(PictureControl, AutoSizeFollowsNonEmptyPicturesOnly) {
  TImage image;
  image.resize(100, 100);
  image.AssignBitmap(Solid(7, 5, 0, 0, 0));
  EXPECT_EQ(image.size(), QSize(100, 100));  // auto-size off

  image.SetAutoSize(true);
  EXPECT_EQ(image.size(), QSize(7, 5));
  image.AssignBitmap(Bitmap());
  EXPECT_EQ(image.size(), QSize(7, 5));
  image.AssignBitmap(Solid(0, 9, 0, 0, 0));
  EXPECT_EQ(image.size(), QSize(7, 5));
  image.AssignBitmap(Solid(11, 3, 0, 0, 0));
  EXPECT_EQ(image.size(), QSize(11, 3));

  // Changes made to the held bitmap through its own interface resize the control too.
  image.Bitmap().SetHeight(13);
  EXPECT_EQ(image.size(), QSize(11, 13));
  image.Bitmap().Assign(Solid(2, 2, 0, 0, 0));
  EXPECT_EQ(image.size(), QSize(2, 2));
  image.Bitmap().SetSize(0, 0);
  EXPECT_EQ(image.size(), QSize(2, 2));
}

TEST(PictureControl, CopiesAreIndependentBothWays) {
  Bitmap source = RandomBitmap(9, 4, 1);
  const Bitmap original = RandomBitmap(9, 4, 1);
  TImage a;
  a.AssignBitmap(source);
  source.ScanLine(0)[0] ^= 0xFF;
  EXPECT_TRUE(SamePixels(a.Picture().HeldBitmap(), original));

  TImage b;
  b.AssignPicture(a);
  b.Bitmap().ScanLine(3)[5] ^= 0xFF;
  EXPECT_TRUE(SamePixels(a.Picture().HeldBitmap(), original));
  EXPECT_FALSE(SamePixels(b.Picture().HeldBitmap(), original));

  // A picture taken out of a control and changed there leaves the control alone.
  TPicture taken = a.Picture();
  a.Bitmap().ScanLine(1)[1] ^= 0xFF;
  EXPECT_TRUE(SamePixels(taken.HeldBitmap(), original));

  // Compressed pictures copy their bytes; discarding one in a control leaves the other.
  TImage c, d;
  c.SetPicture(TPicture::FromJpeg(SolidJpeg(5, 5, Qt::blue)));
  d.AssignPicture(c);
  d.Bitmap();
  EXPECT_TRUE(c.Picture().IsJpeg());
  EXPECT_EQ(c.Picture().Width(), 5);
}

TEST(PictureControl, PaintsTheBitmapsPixelsAndRepaintsOnChange) {
  // Odd width: rows are padded, so the stride must be honoured.
  const Bitmap picture = RandomBitmap(37, 23, 7);
  TImage image;
  image.SetAutoSize(true);
  image.AssignBitmap(picture);
  const QImage grabbed = image.grab().toImage();
  ASSERT_EQ(grabbed.size(), QSize(37, 23));
  for (QPoint p : {QPoint(0, 0), QPoint(36, 0), QPoint(0, 22), QPoint(36, 22), QPoint(18, 11)})
    EXPECT_EQ(GrabbedBgr(grabbed, p.x(), p.y()), BitmapBgr(picture, p.x(), p.y()));

  // An exposed part alone is drawn from the right place of the bitmap.
  const QImage part = image.grab(QRect(10, 5, 7, 3)).toImage();
  EXPECT_EQ(GrabbedBgr(part, 0, 0), BitmapBgr(picture, 10, 5));
  EXPECT_EQ(GrabbedBgr(part, 6, 2), BitmapBgr(picture, 16, 7));

  QSignalSpy changes(&image, &TImage::pictureChanged);
  std::uint8_t* row = image.Bitmap().ScanLine(4);
  row[3 * 9 + 0] = 10;
  row[3 * 9 + 1] = 20;
  row[3 * 9 + 2] = 30;
  image.Bitmap().Changed();
  EXPECT_EQ(changes.count(), 1);
  const QImage after = image.grab().toImage();
  EXPECT_EQ(GrabbedBgr(after, 9, 4), (std::array<int, 3>{10, 20, 30}));
}

TEST(PictureControl, PaintsACompressedPictureDecoded) {
  TImage image;
  image.SetAutoSize(true);
  image.SetPicture(TPicture::FromJpeg(SolidJpeg(16, 8, QColor(200, 40, 10))));
  const QImage grabbed = image.grab().toImage();
  const std::array<int, 3> bgr = GrabbedBgr(grabbed, 8, 4);
  EXPECT_NEAR(bgr[0], 10, 6);
  EXPECT_NEAR(bgr[1], 40, 6);
  EXPECT_NEAR(bgr[2], 200, 6);
}

TEST(PictureControl, ClickNeedsALeftPressAndReleaseInsideTheRectangle) {
  TImage image;
  image.resize(20, 10);
  QSignalSpy clicks(&image, &TImage::clicked);
  test::Press(&image, {5, 5});
  test::Release(&image, {19, 9});
  test::Press(&image, {5, 5});
  test::Release(&image, {20, 5});
  test::Press(&image, {5, 5});
  test::Release(&image, {5, -1});
  test::Release(&image, {5, 5});  // a release with no press before it
  EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace zumo
