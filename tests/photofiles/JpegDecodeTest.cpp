// Decoding: pixel-exact agreement with the library's own decoder (djpeg -dct int, with and
// without -colors 236) on files its encoder makes from generated pictures; errors; limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "JpegTestTools.h"
#include "photofiles/JpegImage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::TempDir;

struct Variant {
  std::string name;
  std::string cjpeg_options;
  int width;
  int height;
};

std::ostream& operator<<(std::ostream& out, const Variant& v) { return out << v.name; }

class JpegDecodeMatchesDjpeg : public ::testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
  }

  // Encodes a photo-like picture with cjpeg and returns the file's path.
  std::string MakeJpeg(const Variant& v) {
    const std::string ppm = dir_.File("in.ppm");
    const std::string jpg = dir_.File("in.jpg");
    test::WritePpm(test::PhotoLikeBitmap(v.width, v.height, 7), ppm);
    test::RunOrThrow("cjpeg " + v.cjpeg_options + " -outfile " + jpg + " " + ppm);
    return jpg;
  }

  Bitmap Djpeg(const std::string& jpg, const std::string& options) {
    const std::string out = dir_.File("out.pnm");
    test::RunOrThrow("djpeg -dct int " + options + " -pnm -outfile " + out + " " + jpg);
    return test::ReadPnm(out);
  }

  TempDir dir_;
};

TEST_P(JpegDecodeMatchesDjpeg, FullColourAndQuantised) {
  const Variant& v = GetParam();
  const std::string jpg = MakeJpeg(v);
  const std::vector<std::uint8_t> bytes = test::ReadBytes(jpg);
  const bool grey = ReadJpegHeader(bytes).grayscale;

  // Greyscale files always take the quantised decoding, whatever the caller asks.
  const Bitmap full = DecodeJpeg(bytes);
  ASSERT_EQ(full.Width(), v.width);
  ASSERT_EQ(full.Height(), v.height);
  EXPECT_TRUE(SamePixels(full, Djpeg(jpg, grey ? "-colors 236" : "")));

  JpegDecodeOptions quantised;
  quantised.quantize = true;
  const Bitmap palette = DecodeJpeg(bytes, quantised);
  EXPECT_TRUE(SamePixels(palette, Djpeg(jpg, "-colors 236")));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JpegDecodeMatchesDjpeg,
    ::testing::Values(Variant{"baseline420", "-quality 85", 97, 61},
                      Variant{"progressive", "-progressive -quality 90", 83, 45},
                      Variant{"sample444", "-sample 1x1", 40, 33},
                      Variant{"sample422", "-sample 2x1", 37, 29},
                      Variant{"sample420", "-sample 2x2", 35, 27},
                      Variant{"restartRows", "-restart 1", 64, 40},
                      Variant{"restartBlocks", "-restart 3B -sample 1x1", 50, 21},
                      Variant{"odd17x11", "", 17, 11},
                      Variant{"single1x1", "", 1, 1},
                      Variant{"column1xN", "-sample 2x2", 1, 37},
                      Variant{"rowNx1", "-progressive", 41, 1},
                      Variant{"greyscale", "-grayscale", 45, 31},
                      Variant{"greyscaleProgressive", "-grayscale -progressive", 19, 23}),
    [](const auto& info) { return info.param.name; });

std::size_t FindSof(const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) return i;
  return bytes.size();
}

void PatchSize(std::vector<std::uint8_t>& bytes, int width, int height) {
  const std::size_t sof = FindSof(bytes);
  ASSERT_LT(sof + 9, bytes.size());
  bytes[sof + 5] = static_cast<std::uint8_t>(height >> 8);
  bytes[sof + 6] = static_cast<std::uint8_t>(height);
  bytes[sof + 7] = static_cast<std::uint8_t>(width >> 8);
  bytes[sof + 8] = static_cast<std::uint8_t>(width);
}

class JpegDecodeErrors : public ::testing::Test {
 protected:
  // A small valid JPEG made by our own encoder.
  static std::vector<std::uint8_t> SmallJpeg(int width = 24, int height = 16) {
    return EncodeJpeg(test::PhotoLikeBitmap(width, height, 3), 85);
  }
  static std::string MessageOf(const std::vector<std::uint8_t>& bytes) {
    try {
      DecodeJpeg(bytes);
    } catch (const Error& e) {
      return e.what();
    }
    return "(no error)";
  }
  static std::string JpegError(int code) { return "JPEG エラー #" + std::to_string(code); }
};

TEST_F(JpegDecodeErrors, LibjpegErrorsCarryTheirMessageCode) {
  const std::vector<std::uint8_t> not_jpeg = {'B', 'M', 0, 0, 0, 0, 1, 2, 3, 4};
  EXPECT_EQ(MessageOf(not_jpeg), JpegError(JERR_NO_SOI));
  EXPECT_EQ(MessageOf({}), JpegError(JERR_INPUT_EMPTY));

  // A zero width in the frame header.
  std::vector<std::uint8_t> bytes = SmallJpeg();
  PatchSize(bytes, 0, 16);
  EXPECT_EQ(MessageOf(bytes), JpegError(JERR_EMPTY_IMAGE));
}

std::string CheckSizeMessage(long long width, long long height) {
  try {
    Bitmap::CheckSize(width, height);
  } catch (const Error& e) {
    return e.what();
  }
  return "(within limits)";
}

TEST_F(JpegDecodeErrors, OversizedHeaderIsRefusedWithTheLimitMessage) {
  for (auto [w, h] : {std::pair{10923, 16}, std::pair{16, 32768}, std::pair{65000, 65000}}) {
    std::vector<std::uint8_t> bytes = SmallJpeg();
    PatchSize(bytes, w, h);
    EXPECT_EQ(MessageOf(bytes), CheckSizeMessage(w, h)) << w << " x " << h;
  }
}

TEST_F(JpegDecodeErrors, HarnessPixelBoundIsHonoured) {
  JpegDecodeOptions small;
  small.max_pixels = 24 * 16 - 1;
  EXPECT_THROW(DecodeJpeg(SmallJpeg(), small), Error);
  small.max_pixels = 24 * 16;
  EXPECT_EQ(DecodeJpeg(SmallJpeg(), small).Width(), 24);
}

TEST_F(JpegDecodeErrors, TruncatedFileGivesThePartialPictureLikeDjpeg) {
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
  TempDir dir;
  for (const char* mode : {"", "-progressive"}) {
    const std::string ppm = dir.File("in.ppm");
    const std::string jpg = dir.File("in.jpg");
    test::WritePpm(test::PhotoLikeBitmap(64, 64, 5), ppm);
    test::RunOrThrow(std::string("cjpeg ") + mode + " -outfile " + jpg + " " + ppm);
    std::vector<std::uint8_t> bytes = test::ReadBytes(jpg);
    bytes.resize(bytes.size() * 2 / 3);
    test::WriteBytes(jpg, bytes);

    const Bitmap partial = DecodeJpeg(bytes);  // the warning is not an error
    ASSERT_EQ(partial.Width(), 64);
    ASSERT_EQ(partial.Height(), 64);
    const std::string pnm = dir.File("out.pnm");
    // djpeg warns about the premature end but still writes what libjpeg delivered.
    std::system(("djpeg -dct int -pnm -outfile " + pnm + " " + jpg + " 2>/dev/null").c_str());
    EXPECT_TRUE(SamePixels(partial, test::ReadPnm(pnm))) << mode;
  }
}

// A greyscale progressive file whose scan script refines every coefficient on its own, one
// bit at a time: 64 x 11 = 704 scans. libjpeg accepts it; each scan is a pass
// over the whole picture, which is how a small crafted file could keep a decoder busy.
std::vector<std::uint8_t> ManyScanJpeg() {
  std::vector<jpeg_scan_info> scans;
  constexpr int kTopBit = 10;  // the highest point transform libjpeg allows
  for (int ss = 0; ss < 64; ++ss) {
    scans.push_back(jpeg_scan_info{1, {0, 0, 0, 0}, ss, ss, 0, kTopBit});
    for (int al = kTopBit - 1; al >= 0; --al) scans.push_back(jpeg_scan_info{1, {0, 0, 0, 0}, ss, ss, al + 1, al});
  }
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = 8;
  cinfo.image_height = 8;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  cinfo.scan_info = scans.data();
  cinfo.num_scans = static_cast<int>(scans.size());
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(8, 128);
  for (int y = 0; y < 8; ++y) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

TEST(JpegDecode, EndlessScanScriptsAreCutShort) {
  const std::vector<std::uint8_t> bytes = ManyScanJpeg();
  EXPECT_EQ(ReadJpegHeader(bytes).width, 8);  // the header itself is fine
  try {
    DecodeJpeg(bytes);
    FAIL() << "decoded a file of 704 scans";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("スキャン"), std::string::npos) << e.what();
  }
}

TEST(JpegDecode, GreyscaleEndsUpAsDitheredGreyWithAtMost236Levels) {
  // A ramp through all 256 levels, stored as a greyscale file.
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg not installed";
  TempDir dir;
  Bitmap ramp(256, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 256; ++x)
      for (int c = 0; c < 3; ++c) ramp.ScanLine(y)[3 * x + c] = static_cast<std::uint8_t>(x);
  test::WritePpm(ramp, dir.File("ramp.ppm"));
  test::RunOrThrow("cjpeg -grayscale -quality 100 -outfile " + dir.File("ramp.jpg") + " " + dir.File("ramp.ppm"));
  const Bitmap grey = DecodeJpeg(test::ReadBytes(dir.File("ramp.jpg")));
  std::set<int> levels;
  for (int y = 0; y < grey.Height(); ++y)
    for (int x = 0; x < grey.Width(); ++x) {
      const std::uint8_t* p = grey.ScanLine(y) + 3 * x;
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]);
      levels.insert(p[0]);
    }
  EXPECT_LE(levels.size(), 236u);
  EXPECT_GT(levels.size(), 100u);
  EXPECT_LE(test::MeanByteDifference(grey, ramp), 2.0);
}

TEST(JpegImageObject, LoadsHeaderAtOnceAndDecodesOnDemand) {
  TempDir dir;
  const Bitmap source = test::PhotoLikeBitmap(30, 20, 9);
  test::WriteBytes(dir.File("a.jpg"), EncodeJpeg(source, 90));

  JpegImage image;
  image.LoadFromFile(dir.File("a.jpg"));
  EXPECT_EQ(image.Width(), 30);
  EXPECT_EQ(image.Height(), 20);
  const Bitmap& first = image.Picture();
  EXPECT_EQ(&first, &image.Picture());  // decoded once and kept
  EXPECT_LE(test::MeanByteDifference(first, source), 5.0);

  // A failed load leaves the object as it was.
  test::WriteBytes(dir.File("bad.jpg"), {0x00, 0x01, 0x02});
  EXPECT_THROW(image.LoadFromFile(dir.File("bad.jpg")), Error);
  EXPECT_EQ(image.Width(), 30);
  try {
    image.LoadFromFile(dir.File("missing.jpg"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + dir.File("missing.jpg") + " は開けません");
  }
}

}  // namespace
}  // namespace zumo
