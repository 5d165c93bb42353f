// The PNG, WebP and AVIF encoders, read back by the reference tools (netpbm, libwebp's and
// libheif's command-line programs, exiftool) and by our own readers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "JpegTestTools.h"
#include "ReaderTestTools.h"
#include "photofiles/AvifWriter.h"
#include "photofiles/EncoderChecks.h"
#include "photofiles/HeifFile.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PngFile.h"
#include "photofiles/PngWriter.h"
#include "photofiles/WebpFile.h"
#include "photofiles/WebpWriter.h"
#include "support/ErrorMessage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::MessageOf;

double Psnr(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < 3 * a.Width(); ++x) {
      const int d = a.ScanLine(y)[x] - b.ScanLine(y)[x];
      sum += d * d;
    }
  return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * 3 * a.Width() * a.Height() / sum);
}

// One kind of file: how we write it, how a reference tool turns it into ref.pam, how our
// reader and our recipe reader take it.
struct Kind {
  const char* label;
  const char* name;  // the file name's extension
  std::function<std::vector<std::uint8_t>(const Bitmap&, const PhotoMetadata&, std::string_view)> encode;
  std::string reference;  // command with %s for the file, writing ref.pam in the folder
  Bitmap (*decode)(std::span<const std::uint8_t>, const std::string&, long long, PhotoMetadata*);
  std::string (*read_recipe)(std::span<const std::uint8_t>);
};

const Kind kPng = {"PNG", "png", [](const Bitmap& p, const PhotoMetadata& m, std::string_view r) { return EncodePng(p, m, r); },
                   "pngtopam %s > ref.pam", DecodePng, ReadPngRecipe};
const Kind kLosslessWebp = {
    "lossless WebP", "webp", [](const Bitmap& p, const PhotoMetadata& m, std::string_view r) { return EncodeWebp(p, 50, true, m, r); },
    "dwebp -quiet -pam %s -o ref.pam", DecodeWebp, ReadWebpRecipe};
const Kind kLossyWebp = {
    "lossy WebP", "webp", [](const Bitmap& p, const PhotoMetadata& m, std::string_view r) { return EncodeWebp(p, 85, false, m, r); },
    "dwebp -quiet -pam %s -o ref.pam", DecodeWebp, ReadWebpRecipe};
const Kind kAvif = {
    "AVIF", "avif", [](const Bitmap& p, const PhotoMetadata& m, std::string_view r) { return EncodeAvif(p, kDefaultAvifQuality, m, r); },
    "heif-convert %s ref.png >/dev/null && pngtopam ref.png > ref.pam", DecodeHeif, ReadAvifRecipe};

class Writers : public ::testing::Test {
 protected:
  // Writes the bytes as file.<kind>, runs the kind's reference decoder on it and reads its result.
  Bitmap ReferenceDecoding(const Kind& kind, const std::vector<std::uint8_t>& bytes) {
    const std::string file = dir_.File(std::string("file.") + kind.name);
    test::WriteBytes(file, bytes);
    std::string command = kind.reference;
    command.replace(command.find("%s"), 2, file);
    test::RunOrThrow("cd " + dir_.path().string() + " && " + command);
    return test::ReadReferencePam(dir_.File("ref.pam"));
  }

  test::TempDir dir_;
  // An odd width: rows carry padding that must not leak into the files.
  Bitmap photo_ = test::PhotoLikeBitmap(203, 157, 4);
};

TEST_F(Writers, PngAndLosslessWebpGiveBackEveryPixel) {
  if (!test::HaveTools("pngtopam dwebp")) GTEST_SKIP() << "netpbm or webp not installed";
  for (const Kind* kind : {&kPng, &kLosslessWebp}) {
    SCOPED_TRACE(kind->label);
    const std::vector<std::uint8_t> bytes = kind->encode(photo_, {}, {});
    EXPECT_TRUE(SamePixels(ReferenceDecoding(*kind, bytes), photo_));
    EXPECT_TRUE(SamePixels(kind->decode(bytes, "file", 0, nullptr), photo_));
  }
}

TEST_F(Writers, LossyWebpAndAvifStayAboveTheirPsnrFloor) {
  if (!test::HaveTools("pngtopam dwebp heif-convert")) GTEST_SKIP() << "netpbm, webp or libheif-examples not installed";
  if (!CanEncodeAvif()) GTEST_SKIP() << "no AV1 encoder";
  // Measured on this picture: WebP q85 36.16 dB, AVIF at the default quality 36.31 dB (both
  // smooth most of its grain away); the floors sit a little below. A channel swapped or a
  // misplaced row falls far below them.
  const struct {
    const Kind* kind;
    double floor;
  } cases[] = {{&kLossyWebp, 35.8}, {&kAvif, 36.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind->label);
    const std::vector<std::uint8_t> bytes = c.kind->encode(photo_, {}, {});
    const Bitmap reference = ReferenceDecoding(*c.kind, bytes);
    ASSERT_EQ(reference.Width(), photo_.Width());
    ASSERT_EQ(reference.Height(), photo_.Height());
    EXPECT_GT(Psnr(reference, photo_), c.floor);
    EXPECT_GT(Psnr(c.kind->decode(bytes, "file", 0, nullptr), photo_), c.floor);
  }
}

TEST_F(Writers, AvifDescribesItsColoursAsSrgb) {
  if (!test::HaveTools("exiftool")) GTEST_SKIP() << "exiftool not installed";
  if (!CanEncodeAvif()) GTEST_SKIP() << "no AV1 encoder";
  test::WriteBytes(dir_.File("p.avif"), EncodeAvif(photo_, 50));
  test::RunOrThrow("exiftool -s3 -n -ColorPrimaries -TransferCharacteristics -MatrixCoefficients " +
                   dir_.File("p.avif") + " > " + dir_.File("nclx.txt"));
  const std::vector<std::uint8_t> text = test::ReadBytes(dir_.File("nclx.txt"));
  EXPECT_EQ(std::string(text.begin(), text.end()), "1\n13\n6\n");
}

// EXIF and XMP blocks as exiftool writes them into a JPEG, taken out of its APP1 segments.
PhotoMetadata MetadataMadeByExiftool(const test::TempDir& dir) {
  const std::string jpeg = dir.File("meta.jpg");
  test::WriteBytes(jpeg, EncodeJpeg(test::PhotoLikeBitmap(16, 16), 90));
  test::RunOrThrow("exiftool -q -overwrite_original -Make=ZumoCam '-DateTimeOriginal=2023:04:05 06:07:08' "
                   "'-XMP-dc:Title=夕焼けの海' " + jpeg);
  const std::vector<std::uint8_t> bytes = test::ReadBytes(jpeg);
  PhotoMetadata metadata;
  static const char kExif[] = "Exif\0\0";
  static const char kXmp[] = "http://ns.adobe.com/xap/1.0/";
  for (std::size_t at = 2; at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA;) {
    const std::size_t length = bytes[at + 2] << 8 | bytes[at + 3];
    const std::uint8_t* body = &bytes[at + 4];
    if (bytes[at + 1] == 0xE1 && std::memcmp(body, kExif, 6) == 0) metadata.exif.assign(body + 6, body + length - 2);
    if (bytes[at + 1] == 0xE1 && std::memcmp(body, kXmp, sizeof kXmp) == 0)
      metadata.xmp.assign(reinterpret_cast<const char*>(body) + sizeof kXmp, length - 2 - sizeof kXmp);
    at += 2 + length;
  }
  return metadata;
}

TEST_F(Writers, ExiftoolFindsTheMetadataAndTheRecipeReadsBack) {
  if (!test::HaveTools("exiftool pngtopam dwebp heif-convert")) GTEST_SKIP() << "reference tools not installed";
  const PhotoMetadata metadata = MetadataMadeByExiftool(dir_);
  ASSERT_FALSE(metadata.exif.empty());
  ASSERT_FALSE(metadata.xmp.empty());
  const std::string recipe = "zumo-recipe 1\n明るさ +12\ncontrast -3\n";
  for (const Kind* kind : {&kPng, &kLossyWebp, &kLosslessWebp, &kAvif}) {
    SCOPED_TRACE(kind->label);
    if (kind == &kAvif && !CanEncodeAvif()) continue;
    const std::vector<std::uint8_t> bytes = kind->encode(photo_, metadata, recipe);
    const Bitmap reference = ReferenceDecoding(*kind, bytes);  // the tools still read the file
    EXPECT_EQ(reference.Width(), photo_.Width());
    EXPECT_EQ(kind->decode(bytes, "file", 0, nullptr).Width(), photo_.Width());
    const std::string file = dir_.File(std::string("file.") + kind->name);
    test::RunOrThrow("exiftool -s3 -Make -DateTimeOriginal -Title " + file + " > " + dir_.File("tags.txt"));
    const std::vector<std::uint8_t> tags = test::ReadBytes(dir_.File("tags.txt"));
    EXPECT_EQ(std::string(tags.begin(), tags.end()), "ZumoCam\n2023:04:05 06:07:08\n夕焼けの海\n");
    EXPECT_EQ(kind->read_recipe(bytes), recipe);
    EXPECT_EQ(kind->read_recipe(kind->encode(photo_, metadata, {})), "");
  }
}

TEST_F(Writers, RecipeReadersSurviveCutFilesAndRefuseOtherKinds) {
  const std::string recipe = "zumo-recipe 1\nsaturation +5\n";
  for (const Kind* kind : {&kPng, &kLossyWebp, &kAvif}) {
    SCOPED_TRACE(kind->label);
    if (kind == &kAvif && !CanEncodeAvif()) continue;
    const std::vector<std::uint8_t> bytes = kind->encode(test::PhotoLikeBitmap(24, 16), {}, recipe);
    for (std::size_t size = 32; size < bytes.size(); size += 7) {
      const std::string found = kind->read_recipe(std::span(bytes).first(size));
      ASSERT_TRUE(found.empty() || found == recipe) << size;
    }
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(test::PhotoLikeBitmap(8, 8), 90);
    EXPECT_THROW(kind->read_recipe(jpeg), Error);
  }
}

// Grain that each pixel's three channels share (as a JPEG's smoothed colour leaves it) or
// that differs by channel: the two kinds of picture EncodePng's two settings are made for.
Bitmap GrainyPicture(bool shared_grain) {
  Bitmap picture(640, 400);
  std::uint32_t state = 12345;
  auto grain = [&] { return static_cast<int>((state = state * 1664525u + 1013904223u) >> 28) - 8; };
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const int base = 60 + (x + y) / 8, shared = grain();
      for (int c = 0; c < 3; ++c) picture.ScanLine(y)[3 * x + c] = static_cast<std::uint8_t>(base + 40 * c + (shared_grain ? shared : grain()));
    }
  return picture;
}

TEST(PngSettings, EncodePngTakesTheSmallerOfItsTwoSettings) {
  const detail::PngTuning matching{3, 0, 0x10 | 0x20 | 0x80}, huffman_only{1, 2, 0xF8};
  for (bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared grain" : "grain by channel");
    const Bitmap picture = GrainyPicture(shared);
    const std::size_t with_matching = detail::EncodePngTuned(picture, {}, {}, matching).size();
    const std::size_t with_huffman = detail::EncodePngTuned(picture, {}, {}, huffman_only).size();
    EXPECT_EQ(shared, with_matching < with_huffman);  // each setting wins on its own kind
    EXPECT_EQ(EncodePng(picture).size(), std::min(with_matching, with_huffman));
  }
}

// A PNG with a recipe chunk spliced in before IDAT, as another program might have written it.
std::vector<std::uint8_t> WithChunk(std::vector<std::uint8_t> png, const char* type, const std::string& data) {
  std::vector<std::uint8_t> chunk(4 + 4 + data.size() + 4);
  for (int i = 0; i < 4; ++i) chunk[i] = static_cast<std::uint8_t>(data.size() >> (24 - 8 * i));
  std::memcpy(&chunk[4], type, 4);
  std::memcpy(&chunk[8], data.data(), data.size());
  const auto crc = crc32(0, &chunk[4], static_cast<uInt>(4 + data.size()));
  for (int i = 0; i < 4; ++i) chunk[8 + data.size() + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
  return png;
}

TEST(PngRecipe, CompressedChunksAreInflatedDamagedOnesIgnored) {
  const std::vector<std::uint8_t> png = EncodePng(test::PhotoLikeBitmap(8, 8));
  const std::string text = "zumo-recipe 1\nsharpness 2\n";
  std::vector<std::uint8_t> deflated(compressBound(text.size()));
  uLongf size = deflated.size();
  ASSERT_EQ(compress(deflated.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size()), Z_OK);
  const std::string compressed = std::string("zumo-recipe\0\1\0ja\0\0", 18) + std::string(deflated.begin(), deflated.begin() + size);
  EXPECT_EQ(ReadPngRecipe(WithChunk(png, "iTXt", compressed)), text);
  EXPECT_EQ(ReadPngRecipe(WithChunk(png, "iTXt", std::string("other\0\0\0\0\0", 10) + text)), "");
  std::vector<std::uint8_t> damaged = WithChunk(png, "iTXt", std::string("zumo-recipe\0\0\0\0\0", 16) + text);
  damaged[33 + 8 + 20] ^= 1;  // a byte of the text: the checksum no longer holds
  EXPECT_EQ(ReadPngRecipe(damaged), "");
}

TEST(WriterErrors, EmptyPicturesBadQualitiesAndOversizedBlocksAreRefused) {
  const Bitmap small = test::PhotoLikeBitmap(4, 4);
  PhotoMetadata huge_exif;
  huge_exif.exif.assign(kMaxExifBytes + 1, 0);
  const std::string huge_recipe(kMaxEmbeddedRecipeBytes + 1, 'x');
  for (const Kind* kind : {&kPng, &kLossyWebp, &kLosslessWebp, &kAvif}) {
    SCOPED_TRACE(kind->label);
    EXPECT_EQ(MessageOf([&] { kind->encode(Bitmap(), {}, {}); }), messages::kNothingToSave);
    EXPECT_EQ(MessageOf([&] { kind->encode(small, {}, huge_recipe); }), "写真に入れるレシピが大きすぎます（2048 KB まで）");
    EXPECT_EQ(MessageOf([&] { kind->encode(small, huge_exif, {}); }), "写真に入れるメタデータが大きすぎます");
  }
  for (int quality : {0, 101}) {
    EXPECT_EQ(MessageOf([&] { EncodeWebp(small, quality, false); }),
              "WebP の品質は 1 から 100 までです（" + std::to_string(quality) + "）");
    EXPECT_EQ(MessageOf([&] { EncodeAvif(small, quality); }),
              "AVIF の品質は 1 から 100 までです（" + std::to_string(quality) + "）");
  }
}

}  // namespace
}  // namespace zumo
