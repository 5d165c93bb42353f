// A photo's metadata blocks as the readers find them in each kind of file, JPEG's segments
// written and read back, and photos stored on their side beyond the size limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <string>
#include <vector>

#include "JpegTestTools.h"
#include "ReaderTestTools.h"
#include "imaging/Turn.h"
#include "photofiles/JpegImage.h"
#include "photofiles/JpegMetadata.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::literals;

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

bool Contains(const Bytes& bytes, std::string_view text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// A small real JPEG with the given segments right after its SOI marker.
Bytes JpegWith(const std::vector<JpegSegment>& segments) {
  const Bytes plain = EncodeJpeg(test::RandomBitmap(9, 7, 3), 85);
  Bytes out(plain.begin(), plain.begin() + 2);
  for (const JpegSegment& s : segments) {
    const std::size_t length = s.payload.size() + 2;
    out.insert(out.end(), {0xFF, s.marker, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
    out.insert(out.end(), s.payload.begin(), s.payload.end());
  }
  out.insert(out.end(), plain.begin() + 2, plain.end());
  return out;
}

JpegSegment IccChunk(int sequence, int count, std::string_view data) {
  Bytes payload = Text(std::string_view("ICC_PROFILE\0", 12));
  payload.push_back(static_cast<std::uint8_t>(sequence));
  payload.push_back(static_cast<std::uint8_t>(count));
  payload.insert(payload.end(), data.begin(), data.end());
  return {0xE2, payload};
}

JpegSegment Exif(std::string_view tiff) {
  Bytes payload = Text(std::string_view("Exif\0\0", 6));
  payload.insert(payload.end(), tiff.begin(), tiff.end());
  return {0xE1, payload};
}

// Photoshop's resources: one of another kind with an odd name first, then the IPTC data.
JpegSegment Photoshop(std::string_view iptc) {
  std::string payload = "Photoshop 3.0\0"s;
  payload += "8BIM\x03\xED\x03" "abc\0\0\0\x03\x01\x02\x03\0"s;
  payload += "8BIM\x04\x04\0\0\0\0\0"s + static_cast<char>(iptc.size());
  payload += iptc;
  return {0xED, Text(payload)};
}

TEST(JpegMetadata, SegmentsInAnyOrderDamagedOrRepeatedNeverFailAndKeepWhatIsWhole) {
  struct Case {
    const char* what;
    std::vector<JpegSegment> segments;
    std::string exif, icc, iptc;
  };
  const std::vector<Case> cases = {
      {"profile chunks out of order", {IccChunk(2, 3, "BB"), IccChunk(3, 3, "C"), IccChunk(1, 3, "AAA")}, "", "AAABBC", ""},
      {"a chunk missing", {IccChunk(1, 3, "AAA"), IccChunk(3, 3, "C")}, "", "", ""},
      {"a chunk twice", {IccChunk(1, 2, "A"), IccChunk(1, 2, "A"), IccChunk(2, 2, "B")}, "", "", ""},
      {"counts that disagree", {IccChunk(1, 2, "A"), IccChunk(2, 3, "B")}, "", "", ""},
      {"sequence number 0", {IccChunk(0, 1, "A")}, "", "", ""},
      {"two EXIF blocks: the first", {Exif("MM\0*first"sv), Exif("II*\0second"sv)}, std::string("MM\0*first", 9), "", ""},
      {"IPTC behind another resource", {Photoshop("\x1c\x02\x19\x00\x03key"sv)}, "", "", std::string("\x1c\x02\x19\x00\x03key"sv)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PhotoMetadata m = ReadJpegMetadata(JpegWith(c.segments));
    EXPECT_EQ(m.exif, Text(c.exif));
    EXPECT_EQ(m.colour.icc, Text(c.icc));
    EXPECT_EQ(m.iptc, Text(c.iptc));
  }
  // A segment whose length runs past the end ends the walk; what came before stays.
  Bytes cut = JpegWith({Exif("II*\0kept"sv), IccChunk(1, 1, "lost")});
  cut.resize(2 + (4 + 14) + 4 + 5);  // SOI, the EXIF segment, part of the profile's
  EXPECT_EQ(ReadJpegMetadata(cut).exif, Text(std::string_view("II*\0kept", 8)));
  EXPECT_TRUE(ReadJpegMetadata(Text("not a jpeg")).Empty());
}

TEST(JpegMetadata, WrittenSegmentsChangeNoPixelAndReadBackAndOtherToolsReadThem) {
  test::TempDir dir;
  // A camera-like photo: EXIF, XMP and IPTC written by a tool nobody here wrote.
  const std::string source = dir.File("camera.jpg");
  test::WriteBytes(source, EncodeJpeg(test::PhotoLikeBitmap(40, 30), 90));
  test::RunOrThrow("exiftool -q -overwrite_original -Make=TestCam -Model='T 1' -DateTimeOriginal='2024:05:01 10:20:30' "
                   "-Keywords=holiday -XMP-dc:Title=Tokyo " + source);
  PhotoMetadata m = ReadJpegMetadata(test::ReadBytes(source));
  ASSERT_FALSE(m.exif.empty());
  ASSERT_FALSE(m.iptc.empty());
  EXPECT_NE(m.xmp.find("Tokyo"), std::string::npos);

  const Bitmap picture = test::PhotoLikeBitmap(33, 21, 5);
  const Bytes with = EncodeJpeg(picture, 85, "comment", JpegMetadataSegments(m));
  EXPECT_TRUE(SamePixels(DecodeJpeg(with), DecodeJpeg(EncodeJpeg(picture, 85))));
  EXPECT_EQ(ReadJpegMetadata(with), m);
  EXPECT_EQ(ReadJpegComments(with, 100), std::vector<std::string>{"comment"});

  const std::string saved = dir.File("saved.jpg");
  test::WriteBytes(saved, with);
  const std::string listing = dir.File("tags.txt");
  test::RunOrThrow("exiftool -s -s -s -Make -Keywords -Title " + saved + " > " + listing);
  const Bytes tags = test::ReadBytes(listing);
  EXPECT_EQ(std::string(tags.begin(), tags.end()), "TestCam\nholiday\nTokyo\n");
}

// Each kind of file carries its blocks its own way; the reader finds them all.
TEST(PhotoMetadata, EveryKindOfFileGivesItsExifXmpAndProfile) {
  if (!test::HaveTools("exiftool convert cwebp heif-enc")) GTEST_SKIP() << "exiftool, ImageMagick, cwebp or heif-enc missing";
  test::TempDir dir;
  const std::string profile = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
  const Bytes icc = test::ReadBytes(profile);
  const std::string jpeg = dir.File("p.jpg"), png = dir.File("p.png"), webp = dir.File("p.webp"), heic = dir.File("p.heic");
  test::WriteBytes(dir.File("plain.jpg"), EncodeJpeg(test::PhotoLikeBitmap(48, 32), 90));
  const std::string tags = " -EXIF:Make=TestCam -XMP-dc:Title=Tokyo ";
  test::RunOrThrow("convert " + dir.File("plain.jpg") + " -profile " + profile + " " + jpeg);
  test::RunOrThrow("exiftool -q -overwrite_original" + tags + jpeg);
  test::RunOrThrow("convert " + dir.File("plain.jpg") + " -profile " + profile + " " + png);
  test::RunOrThrow("exiftool -q -overwrite_original" + tags + png);
  test::RunOrThrow("cwebp -quiet -metadata icc " + png + " -o " + webp);
  test::RunOrThrow("exiftool -q -overwrite_original" + tags + webp);
  test::RunOrThrow("heif-enc -q 90 " + jpeg + " -o " + heic + " >/dev/null 2>&1");
  for (const std::string& file : {jpeg, png, webp, heic}) {
    SCOPED_TRACE(file);
    const Photo photo = ReadPhoto(file, 24, Turning::AsStored);
    EXPECT_TRUE(Contains(photo.metadata.exif, "TestCam"));
    EXPECT_TRUE(photo.metadata.exif.size() > 4 && (photo.metadata.exif[0] == 'I' || photo.metadata.exif[0] == 'M'));
    if (file != heic) {
      EXPECT_NE(photo.metadata.xmp.find("Tokyo"), std::string::npos);
    }
    EXPECT_EQ(photo.metadata.colour.icc, icc);
  }
  EXPECT_TRUE(ReadPhoto(dir.File("plain.jpg")).metadata.Empty());
}

TEST(JpegInBands, EqualsDecodingThenTurningForEveryTag) {
  for (const bool quantize : {false, true}) {
    const Bytes jpeg = EncodeJpeg(test::PhotoLikeBitmap(37, 19), 90);
    JpegDecodeOptions options;
    options.quantize = quantize;
    const Bitmap stored = DecodeJpeg(jpeg, options);
    for (int tag = 1; tag <= 8; ++tag) {
      SCOPED_TRACE(testing::Message() << "tag " << tag << (quantize ? " quantised" : ""));
      const auto orientation = static_cast<Orientation>(tag);
      EXPECT_TRUE(SamePixels(DecodeJpegInBands(jpeg, orientation, options), TurnUpright(stored, orientation)));
    }
  }
}

TEST(JpegInBands, APanoramaStoredOnItsSideBeyondTheWidthLimitLoadsUpright) {
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg missing";
  test::TempDir dir;
  // 12000 x 24 stored, EXIF tag 6: 24 x 12000 upright. Made by cjpeg from a PPM of its own.
  const int w = 12000, h = 24;
  std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ppm += {static_cast<char>(x % 251), static_cast<char>(y * 9), static_cast<char>(x / 50)};
  test::WriteBytes(dir.File("wide.ppm"), Bytes(ppm.begin(), ppm.end()));
  test::RunOrThrow("cjpeg -quality 95 " + dir.File("wide.ppm") + " > " + dir.File("wide.jpg"));
  test::RunOrThrow("exiftool -q -overwrite_original -Orientation#=6 " + dir.File("wide.jpg"));
  EXPECT_THROW(ReadPhoto(dir.File("wide.jpg"), 24, Turning::AsStored), Error);
  const Photo photo = ReadPhoto(dir.File("wide.jpg"));
  ASSERT_EQ(photo.picture.Width(), h);
  ASSERT_EQ(photo.picture.Height(), w);
  // The stored picture's first row becomes the upright picture's last column, read downwards.
  test::RunOrThrow("djpeg -dct int -ppm " + dir.File("wide.jpg") + " > " + dir.File("decoded.ppm"));
  const Bytes decoded = test::ReadBytes(dir.File("decoded.ppm"));
  const std::size_t pixels = decoded.size() - 3 * static_cast<std::size_t>(w) * h;
  for (int x = 0; x < w; x += 997) {
    const std::uint8_t* upright = photo.picture.ScanLine(x) + 3 * (h - 1);
    EXPECT_EQ(upright[2], decoded[pixels + 3 * x]) << x;
    EXPECT_EQ(upright[0], decoded[pixels + 3 * x + 2]) << x;
  }
}

}  // namespace
}  // namespace zumo
