// The PNG, WebP and HEIF readers against the reference tools' own decodings, pixel for pixel;
// their limits and their messages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "JpegTestTools.h"
#include "ReaderTestTools.h"
#include "photofiles/HeifFile.h"
#include "photofiles/OverWhite.h"
#include "photofiles/PhotoFile.h"
#include "photofiles/PngFile.h"
#include "photofiles/WebpFile.h"
#include "support/ErrorMessage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::MessageOf;

TEST(OverWhite, ExactRoundingOfTheBlend) {
  // (a * c + (255 - a) * 255) / 255 rounded to nearest, worked by hand.
  EXPECT_EQ(OverWhite(0, 0), 255);
  EXPECT_EQ(OverWhite(77, 255), 77);
  EXPECT_EQ(OverWhite(0, 128), 127);   // 127.0
  EXPECT_EQ(OverWhite(0, 127), 128);   // 128.0
  EXPECT_EQ(OverWhite(100, 1), 254);   // 254.39...
  EXPECT_EQ(OverWhite(0, 2), 253);     // 253.0
  EXPECT_EQ(OverWhite(254, 128), 254); // 254.498...
  EXPECT_EQ(OverWhite(10, 200), 63);   // 62.84...
  for (unsigned a = 0; a <= 255; ++a)
    for (unsigned c = 0; c <= 255; ++c) {
      const double exact = (a * c + (255.0 - a) * 255.0) / 255.0;
      ASSERT_LT(std::abs(OverWhite(c, a) - exact), 0.5) << c << " " << a;
    }
}

// Netpbm files of one picture in the forms the encoders take.
class ReaderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WritePpm(photo_, dir_.File("in.ppm"));
    // Few colours (a palette fits): four levels per channel.
    Bitmap few = photo_;
    for (int y = 0; y < few.Height(); ++y)
      for (int x = 0; x < 3 * few.Width(); ++x) few.ScanLine(y)[x] &= 0xC0;
    test::WritePpm(few, dir_.File("few.ppm"));
    for (int bits : {1, 2, 4, 8}) WritePgm(bits, dir_.File("grey" + std::to_string(bits) + ".pgm"));
    WritePpm16(dir_.File("in16.ppm"));
    test::WriteRgbaPam(photo_, dir_.File("rgba.pam"), false);
    test::WriteRgbaPam(photo_, dir_.File("rgba16.pam"), true);
    test::WriteRgbaPam(photo_, dir_.File("ga.pam"), false, true);
  }

  void WritePgm(int bits, const std::string& path) {
    const int maxval = (1 << bits) - 1;
    std::string data = "P5\n" + std::to_string(photo_.Width()) + " " + std::to_string(photo_.Height()) + "\n" +
                       std::to_string(maxval) + "\n";
    for (int y = 0; y < photo_.Height(); ++y)
      for (int x = 0; x < photo_.Width(); ++x) data.push_back(static_cast<char>(photo_.ScanLine(y)[3 * x + 1] >> (8 - bits)));
    test::WriteBytes(path, std::vector<std::uint8_t>(data.begin(), data.end()));
  }

  void WritePpm16(const std::string& path) {
    std::string data = "P6\n" + std::to_string(photo_.Width()) + " " + std::to_string(photo_.Height()) + "\n65535\n";
    for (int y = 0; y < photo_.Height(); ++y)
      for (int x = 0; x < photo_.Width(); ++x)
        for (int c : {2, 1, 0}) {
          const unsigned v = photo_.ScanLine(y)[3 * x + c] * 257u ^ ((x * 31 + y * 17 + c) & 0xFF);
          data.push_back(static_cast<char>(v >> 8));
          data.push_back(static_cast<char>(v & 0xFF));
        }
    test::WriteBytes(path, std::vector<std::uint8_t>(data.begin(), data.end()));
  }

  // Encodes with `encode` (which writes `name`), decodes with `reference` (which writes
  // ref.pam) and expects our reading of `name`, found by its content, to equal it.
  void ExpectSameAsReference(const std::string& name, const std::string& encode, const std::string& reference,
                             int shift = 0) {
    SCOPED_TRACE(name + ": " + encode);
    test::RunOrThrow(encode);
    test::RunOrThrow(reference);
    const Bitmap expected = test::ReadReferencePam(dir_.File("ref.pam"), shift);
    const Bitmap ours = ReadPhotoFile(dir_.File(name));
    ASSERT_EQ(ours.Width(), expected.Width());
    ASSERT_EQ(ours.Height(), expected.Height());
    EXPECT_EQ(test::MaxByteDifference(ours, expected), 0);
  }

  std::string In(const std::string& name) const { return dir_.File(name); }

  test::TempDir dir_;
  Bitmap photo_ = test::PhotoLikeBitmap(37, 23, 9);
};

TEST_F(ReaderFiles, PngOfEveryColourTypeAndDepthEqualsNetpbmsDecoding) {
  if (!test::HaveTools("pnmtopng pamtopng pngtopam")) GTEST_SKIP() << "netpbm not installed";
  struct Variant {
    const char* name;
    std::string encode;  // writes the PNG to stdout
  };
  const Variant variants[] = {
      {"rgb8", "pnmtopng " + In("in.ppm")},
      {"rgb8-interlaced", "pnmtopng -interlace " + In("in.ppm")},
      {"rgb16", "pnmtopng " + In("in16.ppm")},
      {"palette", "pnmtopng " + In("few.ppm")},
      {"palette-interlaced", "pnmtopng -interlace " + In("few.ppm")},
      {"grey1", "pnmtopng " + In("grey1.pgm")},
      {"grey2", "pnmtopng " + In("grey2.pgm")},
      {"grey4", "pnmtopng -interlace " + In("grey4.pgm")},
      {"grey8", "pnmtopng " + In("grey8.pgm")},
      {"grey-trns", "pnmtopng -transparent =rgb:80/80/80 " + In("grey8.pgm")},
      {"rgb-trns", "pnmtopng -transparent =rgb:40/40/80 " + In("few.ppm")},
      {"rgba8", "pamtopng " + In("rgba.pam")},
      {"rgba16", "pamtopng " + In("rgba16.pam")},
      {"grey-alpha", "pamtopng " + In("ga.pam")},
  };
  for (const Variant& v : variants) {
    const std::string png = std::string(v.name) + ".png";
    ExpectSameAsReference(png, v.encode + " > " + In(png),
                          "pngtopam -alphapam " + In(png) + " > " + In("ref.pam"));
  }
}

TEST_F(ReaderFiles, WebpLossyLosslessAndTransparentEqualLibwebpsDecoder) {
  if (!test::HaveTools("cwebp dwebp pamtopng")) GTEST_SKIP() << "webp or netpbm not installed";
  test::RunOrThrow("pamtopng " + In("rgba.pam") + " > " + In("rgba.png"));
  const std::pair<const char*, std::string> variants[] = {
      {"lossy", "-q 80 " + In("in.ppm")},
      {"lossless", "-lossless " + In("in.ppm")},
      {"lossy-alpha", "-q 70 -exact " + In("rgba.png")},
      {"lossless-alpha", "-lossless -exact " + In("rgba.png")},
  };
  for (const auto& [name, arguments] : variants) {
    const std::string webp = std::string(name) + ".webp";
    ExpectSameAsReference(webp, "cwebp -quiet " + arguments + " -o " + In(webp),
                          "dwebp -quiet -pam " + In(webp) + " -o " + In("ref.pam"));
  }
}

TEST_F(ReaderFiles, HeicAndAvifEqualLibheifsDecoder) {
  if (!test::HaveTools("heif-enc heif-convert pamtopng pngtopam")) GTEST_SKIP() << "libheif-examples not installed";
  test::RunOrThrow("pnmtopng " + In("in.ppm") + " > " + In("in.png"));
  test::RunOrThrow("pamtopng " + In("rgba.pam") + " > " + In("rgba.png"));
  test::RunOrThrow("pnmtopng " + In("in16.ppm") + " > " + In("in16.png"));
  const std::pair<const char*, std::string> variants[] = {
      {"photo.heic", "-q 80 " + In("in.png")},
      {"photo.avif", "-A -q 80 " + In("in.png")},
      {"alpha.heic", "-q 80 " + In("rgba.png")},
      {"alpha.avif", "-A -q 80 " + In("rgba.png")},
      {"deep.heic", "-b 10 -q 80 " + In("in16.png")},  // (the AV1 encoder here has no 10-bit 4:4:4)
  };
  for (const auto& [name, arguments] : variants) {
    ExpectSameAsReference(name, "heif-enc " + arguments + " -o " + In(name) + " >/dev/null",
                          "heif-convert " + In(name) + " " + In("ref.png") + " >/dev/null && pngtopam -alphapam " +
                              In("ref.png") + " > " + In("ref.pam"),
                          std::string(name) == "deep.heic" ? 6 : 0);
  }
}

// A little-endian / big-endian 32-bit number.
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v, bool big) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (big ? 24 - 8 * i : 8 * i)));
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TEST(Readers, SmallFilesDeclaringHugePicturesAreRefusedBeforeDecoding) {
  // PNG: signature, an IHDR of 100000 x 100000 RGB, then a few bytes of nothing.
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Put32(png, 13, true);
  const std::size_t chunk = png.size();
  png.insert(png.end(), {'I', 'H', 'D', 'R'});
  Put32(png, 100000, true);
  Put32(png, 100000, true);
  png.insert(png.end(), {8, 2, 0, 0, 0});
  Put32(png, Crc32(png.data() + chunk, png.size() - chunk), true);
  // An IDAT chunk of 150 bytes of nothing: libpng stops reading the header there.
  Put32(png, 150, true);
  const std::size_t idat = png.size();
  png.insert(png.end(), {'I', 'D', 'A', 'T'});
  png.resize(png.size() + 150, 0);
  Put32(png, Crc32(png.data() + idat, png.size() - idat), true);
  // WebP: a lossy key frame declaring 16383 x 16383 (the format's largest), then nothing.
  std::vector<std::uint8_t> webp = {'R', 'I', 'F', 'F'};
  Put32(webp, 192, false);
  webp.insert(webp.end(), {'W', 'E', 'B', 'P', 'V', 'P', '8', ' '});
  Put32(webp, 180, false);
  webp.insert(webp.end(), {0x50, 0x01, 0x00, 0x9D, 0x01, 0x2A, 0xFF, 0x3F, 0xFF, 0x3F});
  webp.resize(200, 0);

  const std::string size_message = MessageOf([] { Bitmap::CheckSize(100000, 100000); });
  EXPECT_EQ(MessageOf([&] { DecodePng(png, "x.png"); }), size_message);
  EXPECT_EQ(MessageOf([&] { DecodeWebp(webp, "x.webp"); }), MessageOf([] { Bitmap::CheckSize(16383, 16383); }));
}

TEST_F(ReaderFiles, BrokenAndAnimatedFilesGiveMessagesNamingTheFile) {
  if (!test::HaveTools("pnmtopng cwebp img2webp")) GTEST_SKIP() << "netpbm or webp not installed";
  test::RunOrThrow("pnmtopng " + In("in.ppm") + " > " + In("a.png"));
  test::RunOrThrow("cwebp -quiet -q 80 " + In("in.ppm") + " -o " + In("a.webp"));
  test::RunOrThrow("pnmtopng " + In("few.ppm") + " > " + In("b.png"));
  test::RunOrThrow("img2webp -q 80 " + In("a.png") + " " + In("b.png") + " -o " + In("anim.webp") + " >/dev/null");
  for (const char* name : {"a.png", "a.webp"}) {
    std::vector<std::uint8_t> bytes = test::ReadBytes(In(name));
    bytes.resize(bytes.size() / 2);
    test::WriteBytes(In(std::string("cut-") + name), bytes);
    const std::string message = MessageOf([&] { ReadPhotoFile(In(std::string("cut-") + name)); });
    EXPECT_NE(message.find("ファイル " + In(std::string("cut-") + name) + " は"), std::string::npos) << message;
  }
  EXPECT_EQ(MessageOf([&] { ReadPhotoFile(In("anim.webp")); }),
            "ファイル " + In("anim.webp") + " はアニメーション WebP です。動きのない WebP 画像だけを読み込めます");
}

}  // namespace
}  // namespace zumo
