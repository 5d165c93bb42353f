// Encoding: baseline three-component files, byte-identical to the library's own encoder at
// the same quality, a faithful round trip, and refusal of empty pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JpegTestTools.h"
#include "photofiles/JpegImage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::TempDir;

TEST(JpegEncode, WritesBaselineColourFrames) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 11}, std::pair{1, 40}, std::pair{33, 1}}) {
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(test::RandomBitmap(w, h, 4), 85);
    const test::FrameHeader frame = test::FindFrameHeader(jpeg);
    EXPECT_EQ(frame.marker, 0xC0) << w << " x " << h;
    EXPECT_EQ(frame.precision, 8);
    EXPECT_EQ(frame.components, 3);
    EXPECT_EQ(frame.width, w);
    EXPECT_EQ(frame.height, h);
  }
}

TEST(JpegEncode, RoundTripStaysCloseToTheOriginal) {
  const Bitmap photo = test::PhotoLikeBitmap(123, 77, 2);
  const Bitmap q90 = DecodeJpeg(EncodeJpeg(photo, 90));
  const Bitmap q80 = DecodeJpeg(EncodeJpeg(photo, 80));
  ASSERT_EQ(q90.Width(), 123);
  ASSERT_EQ(q90.Height(), 77);
  EXPECT_LT(test::MeanByteDifference(q90, photo), 5.0);  // the picture carries +-6 grain
  EXPECT_LT(test::MaxByteDifference(q90, photo), 48);
  // Lower quality loses more: quality reaches the quantisation tables.
  EXPECT_GT(test::MeanByteDifference(q80, photo), test::MeanByteDifference(q90, photo));
}

TEST(JpegEncode, MatchesCjpegByteForByte) {
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
  TempDir dir;
  for (int quality : {90, 85, 80}) {
    for (auto [w, h] : {std::pair{64, 48}, std::pair{17, 11}}) {
      const Bitmap photo = test::PhotoLikeBitmap(w, h, static_cast<std::uint32_t>(quality));
      test::WritePpm(photo, dir.File("in.ppm"));
      test::RunOrThrow("cjpeg -quality " + std::to_string(quality) + " -outfile " + dir.File("ref.jpg") + " " +
                       dir.File("in.ppm"));
      EXPECT_EQ(EncodeJpeg(photo, quality), test::ReadBytes(dir.File("ref.jpg")))
          << "quality " << quality << ", " << w << " x " << h;
    }
  }
}

TEST(JpegEncode, EmptyPictureIsRefused) {
  EXPECT_THROW(EncodeJpeg(Bitmap(), 85), Error);
  EXPECT_THROW(EncodeJpeg(Bitmap(0, 5), 85), Error);
  EXPECT_THROW(EncodeJpeg(Bitmap(5, 0), 85), Error);
}

TEST(JpegImageObject, SavesTheCopiedPictureAtItsQuality) {
  TempDir dir;
  const Bitmap photo = test::PhotoLikeBitmap(40, 30, 8);
  JpegImage image;
  image.SetCompressionQuality(80);
  image.Assign(photo);
  image.SaveToFile(dir.File("out.jpg"));
  EXPECT_EQ(test::ReadBytes(dir.File("out.jpg")), EncodeJpeg(photo, 80));
  EXPECT_THROW(image.SetCompressionQuality(0), Error);
  EXPECT_THROW(image.SetCompressionQuality(101), Error);
  EXPECT_EQ(image.CompressionQuality(), 80);

  // Nothing copied in: nothing is written, an existing file stays as it was.
  test::WriteBytes(dir.File("keep.jpg"), {1, 2, 3});
  JpegImage empty;
  EXPECT_THROW(empty.SaveToFile(dir.File("keep.jpg")), Error);
  EXPECT_EQ(test::ReadBytes(dir.File("keep.jpg")), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace zumo
