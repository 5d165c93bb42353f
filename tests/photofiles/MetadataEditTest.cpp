// The metadata a saved photo carries: camera-like blocks made with exiv2, corrected, and read
// back with exiv2 and with exiftool.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "ReaderTestTools.h"
#include "photofiles/JpegImage.h"
#include "photofiles/MetadataEdit.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order, exif);
  return Bytes(blob.begin(), blob.end());
}

Exiv2::ExifData Decode(const Bytes& block) {
  Exiv2::ExifData exif;
  if (!block.empty()) Exiv2::ExifParser::decode(exif, block.data(), static_cast<std::uint32_t>(block.size()));
  return exif;
}

std::optional<std::string> Find(const Exiv2::ExifData& exif, const std::string& key) {
  const auto it = exif.findKey(Exiv2::ExifKey(key));
  return it == exif.end() ? std::nullopt : std::optional(it->toString());
}

bool AnyKey(const Exiv2::ExifData& exif, const std::string& start) {
  for (const auto& datum : exif)
    if (datum.key().rfind(start, 0) == 0) return true;
  return false;
}

void SetBytes(Exiv2::ExifData& exif, const char* key, Bytes bytes) {
  const Exiv2::DataValue value(bytes.data(), static_cast<long>(bytes.size()));
  exif[key].setValue(&value);
}

// What a camera writes: exposure, times, position, a turned picture, a thumbnail, a Canon
// maker note, an Adobe RGB hint.
Exiv2::ExifData CameraExif() {
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Canon";
  exif["Exif.Image.Model"] = "Canon EOS 5D Mark IV";
  exif["Exif.Image.Orientation"] = std::uint16_t{6};
  exif["Exif.Image.Software"] = "Firmware 1.0.2";
  exif["Exif.Image.DateTime"] = "2023:05:01 10:20:30";
  exif["Exif.Photo.DateTimeOriginal"] = "2023:05:01 10:20:30";
  exif["Exif.Photo.DateTimeDigitized"] = "2023:05:01 10:20:31";
  exif["Exif.Photo.SubSecTime"] = "17";
  exif["Exif.Photo.SubSecTimeOriginal"] = "42";
  exif["Exif.Photo.OffsetTime"] = "+09:00";
  exif["Exif.Photo.OffsetTimeOriginal"] = "+09:00";
  exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
  exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
  exif["Exif.Photo.ISOSpeedRatings"] = std::uint16_t{200};
  exif["Exif.Photo.PixelXDimension"] = std::uint32_t{6000};
  exif["Exif.Photo.PixelYDimension"] = std::uint32_t{4000};
  exif["Exif.Photo.ColorSpace"] = std::uint16_t{0xFFFF};
  exif["Exif.Photo.SubjectArea"] = "3000 2000 400 300";
  exif["Exif.Iop.InteroperabilityIndex"] = "R03";
  exif["Exif.Image.XMLPacket"] = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
  SetBytes(exif, "Exif.Image.InterColorProfile", Bytes(200, 1));
  exif["Exif.GPSInfo.GPSVersionID"] = "2 3 0 0";
  exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  exif["Exif.GPSInfo.GPSLatitude"] = "35/1 39/1 2940/100";
  exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
  exif["Exif.GPSInfo.GPSLongitude"] = "139/1 44/1 2880/100";
  exif["Exif.Canon.OwnerName"] = "Someone";
  exif["Exif.Canon.FirmwareVersion"] = "Firmware Version 1.0.2";
  const Bytes thumbnail = EncodeJpeg(test::PhotoLikeBitmap(32, 24), 80);
  Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail.data(), static_cast<long>(thumbnail.size()));
  return exif;
}

PhotoMetadata Loaded(Bytes exif, std::string xmp = {}) {
  PhotoMetadata loaded;
  loaded.exif = std::move(exif);
  loaded.xmp = std::move(xmp);
  return loaded;
}

MetadataSaveOptions SaveOptions() {
  MetadataSaveOptions options;
  options.width = 4000;
  options.height = 6000;
  options.software = "Zumo 1.0";
  options.now = "2024:01:02 03:04:05";
  return options;
}

// The saved EXIF of a loaded block, as exiv2 reads it.
Exiv2::ExifData Resaved(const Bytes& block, const MetadataSaveOptions& options = SaveOptions()) {
  return Decode(MetadataForSave(Loaded(block), options).exif);
}

TEST(MetadataEdit, CorrectsACameraBlockInItsByteOrder) {
  for (const Exiv2::ByteOrder order : {Exiv2::littleEndian, Exiv2::bigEndian})
    for (const bool srgb : {true, false}) {
      SCOPED_TRACE(testing::Message() << (order == Exiv2::bigEndian ? "MM" : "II") << (srgb ? " sRGB" : " other"));
      const Bytes loaded = Encode(CameraExif(), order);
      ASSERT_TRUE(AnyKey(Decode(loaded), "Exif.Thumbnail.") && AnyKey(Decode(loaded), "Exif.Canon."));
      MetadataSaveOptions options = SaveOptions();
      options.srgb = srgb;
      const PhotoMetadata saved = MetadataForSave(Loaded(loaded), options);
      ASSERT_GE(saved.exif.size(), 8u);
      EXPECT_EQ(saved.exif[0], order == Exiv2::bigEndian ? 'M' : 'I');
      const Exiv2::ExifData exif = Decode(saved.exif);
      const std::pair<const char*, std::optional<std::string>> expected[] = {
          {"Exif.Image.Orientation", "1"},
          {"Exif.Photo.PixelXDimension", "4000"},
          {"Exif.Photo.PixelYDimension", "6000"},
          {"Exif.Image.DateTime", "2024:01:02 03:04:05"},
          {"Exif.Image.Software", "Zumo 1.0"},
          {"Exif.Photo.ColorSpace", srgb ? "1" : "65535"},
          {"Exif.Iop.InteroperabilityIndex", srgb ? std::nullopt : std::optional<std::string>("R03")},
          {"Exif.Photo.DateTimeOriginal", "2023:05:01 10:20:30"},
          {"Exif.Photo.DateTimeDigitized", "2023:05:01 10:20:31"},
          {"Exif.Photo.SubSecTimeOriginal", "42"},
          {"Exif.Photo.OffsetTimeOriginal", "+09:00"},
          // These two describe DateTime, which is now the save time.
          {"Exif.Photo.SubSecTime", std::nullopt},
          {"Exif.Photo.OffsetTime", std::nullopt},
          {"Exif.Photo.SubjectArea", std::nullopt},
          {"Exif.Image.XMLPacket", std::nullopt},
          {"Exif.Image.InterColorProfile", std::nullopt},
          {"Exif.Image.Make", "Canon"},
          {"Exif.Photo.ExposureTime", "1/250"},
          {"Exif.Photo.FNumber", "28/10"},
          {"Exif.Photo.ISOSpeedRatings", "200"},
          {"Exif.GPSInfo.GPSLatitude", "35/1 39/1 2940/100"},
          {"Exif.Canon.OwnerName", "Someone"},
      };
      for (const auto& [key, value] : expected) EXPECT_EQ(Find(exif, key), value) << key;
      EXPECT_FALSE(AnyKey(exif, "Exif.Thumbnail."));
    }
}

TEST(MetadataEdit, WithoutAGivenTimeDateTimeIsTheLocalTimeNowWithItsOffset) {
  const char* const tz = std::getenv("TZ");
  const std::string kept_tz = tz ? tz : "";
  // Zones in POSIX form (west of Greenwich positive), so no time zone database is needed.
  const struct { const char* tz; long ahead_of_utc; const char* offset; } zones[] = {
      {"IST-5:30", 19800, "+05:30"}, {"NST3:30", -12600, "-03:30"}, {"UTC0", 0, "+00:00"}};
  for (const auto& zone : zones) {
    setenv("TZ", zone.tz, 1);
    tzset();
    MetadataSaveOptions options = SaveOptions();
    options.now.clear();
    const std::time_t now = std::time(nullptr);
    const Exiv2::ExifData exif = Resaved(Encode(CameraExif(), Exiv2::littleEndian), options);
    std::tm saved{};
    ASSERT_TRUE(strptime(Find(exif, "Exif.Image.DateTime").value_or("").c_str(), "%Y:%m:%d %H:%M:%S", &saved));
    EXPECT_NEAR(static_cast<double>(timegm(&saved) - now), zone.ahead_of_utc, 2) << zone.tz;
    EXPECT_EQ(Find(exif, "Exif.Photo.OffsetTime"), zone.offset);
  }
  if (tz)
    setenv("TZ", kept_tz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(MetadataEdit, AMakerNoteExiv2CouldNotReadIsDropped) {
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Acme";
  SetBytes(exif, "Exif.Photo.MakerNote", Bytes(64, 7));
  const Exiv2::ExifData saved = Resaved(Encode(exif, Exiv2::littleEndian));
  EXPECT_EQ(Find(saved, "Exif.Image.Make"), "Acme");
  EXPECT_FALSE(Find(saved, "Exif.Photo.MakerNote"));
}

// A block of nearly kMaxExifBytes (padded with text in IFD0) that the corrections (a long
// Software text) push past one APP1 segment: what goes, stage by stage.
TEST(MetadataEdit, ATooLargeBlockLosesPreviewsThenTheMakerNoteThenEverything) {
  const Bytes jpeg_like = [] {
    Bytes bytes(10000, 0x55);
    bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[2] = 0xFF;
    return bytes;
  }();
  struct Case {
    const char* name;
    std::function<void(Exiv2::ExifData&)> add;
    const char* preview;  // a key that must be gone
    bool maker_note_kept;
    bool exif_kept;
  };
  const Case cases[] = {
      {"thumbnail", [&](Exiv2::ExifData& exif) {
         exif["Exif.Canon.OwnerName"] = "Someone";
         Exiv2::ExifThumb(exif).setJpegThumbnail(jpeg_like.data(), static_cast<long>(jpeg_like.size()));
       }, "Exif.Thumbnail.JPEGInterchangeFormat", true, true},
      {"preview in the maker note", [&](Exiv2::ExifData& exif) {
         exif["Exif.Image.Make"] = "CASIO COMPUTER CO.,LTD.";
         exif["Exif.Casio2.Quality"] = std::uint16_t{2};
         SetBytes(exif, "Exif.Casio2.PreviewImage", jpeg_like);
       }, "Exif.Casio2.PreviewImage", true, true},
      {"JPEG picture in a byte tag", [&](Exiv2::ExifData& exif) {
         exif["Exif.Canon.OwnerName"] = "Someone";
         SetBytes(exif, "Exif.Image.DNGPrivateData", jpeg_like);
       }, "Exif.Image.DNGPrivateData", true, true},
      {"maker note", [](Exiv2::ExifData& exif) {
         exif["Exif.Canon.OwnerName"] = std::string(10000, 'o');
         exif["Exif.Canon.FirmwareVersion"] = std::string(10000, 'f');
       }, "Exif.Canon.OwnerName", false, true},
      {"main IFDs", [](Exiv2::ExifData& exif) { exif["Exif.Image.Artist"] = std::string(20000, 'a'); }, "",
       false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Canon";
    exif["Exif.Photo.DateTimeOriginal"] = "2023:05:01 10:20:30";
    c.add(exif);
    const std::size_t base = Encode(exif, Exiv2::bigEndian).size();
    for (const char* key : {"Exif.Image.ImageDescription", "Exif.Image.Copyright", "Exif.Image.DocumentName"})
      exif[key] = std::string((kMaxExifBytes - 100 - base) / 3 - 20, 'x');
    const Bytes loaded = Encode(exif, Exiv2::bigEndian);
    ASSERT_LE(loaded.size(), kMaxExifBytes);
    ASSERT_GT(loaded.size(), kMaxExifBytes - 200);
    MetadataSaveOptions options = SaveOptions();
    options.software = std::string(300, 's');
    const PhotoMetadata saved = MetadataForSave(Loaded(loaded), options);
    EXPECT_LE(saved.exif.size(), kMaxSavedExifBytes);
    EXPECT_EQ(!saved.exif.empty(), c.exif_kept);
    if (saved.exif.empty()) continue;
    const Exiv2::ExifData out = Decode(saved.exif);
    EXPECT_EQ(Find(out, "Exif.Photo.MakerNote").has_value(), c.maker_note_kept);
    EXPECT_FALSE(Find(out, c.preview));
    EXPECT_EQ(Find(out, "Exif.Photo.DateTimeOriginal"), "2023:05:01 10:20:30");
  }
}

const std::string kXmp = R"xmp(<x:xmpmeta xmlns:x="adobe:ns:meta/">
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
<rdf:Description rdf:about="" xmlns:tiff="http://ns.adobe.com/tiff/1.0/" xmlns:exif="http://ns.adobe.com/exif/1.0/"
 xmlns:photoshop="http://ns.adobe.com/photoshop/1.0/" xmlns:Iptc4xmpExt="http://iptc.org/std/Iptc4xmpExt/2008-02-29/"
 tiff:Orientation="6" exif:PixelXDimension="6000" exif:GPSLatitude="35,39.49N" exif:GPSLongitude="139,44.48E"
 photoshop:ICCProfile="Adobe RGB (1998)" photoshop:City="Tokyo" xmlns:zz="http://example.com/zz/" zz:note="kept">
<Iptc4xmpExt:LocationCreated><rdf:Bag><rdf:li rdf:parseType="Resource"><exif:GPSLatitude>35,39.49N</exif:GPSLatitude>
<Iptc4xmpExt:City>Tokyo</Iptc4xmpExt:City></rdf:li></rdf:Bag></Iptc4xmpExt:LocationCreated>
</rdf:Description></rdf:RDF></x:xmpmeta>)xmp";

TEST(MetadataEdit, XmpIsUprightAndStripLocationLeavesNoGpsAnywhere) {
  for (const bool strip : {false, true}) {
    MetadataSaveOptions options = SaveOptions();
    options.strip_location = strip;
    const PhotoMetadata saved = MetadataForSave(Loaded(Encode(CameraExif(), Exiv2::bigEndian), kXmp), options);
    // A foreign namespace goes out with its property, and does not stay registered.
    EXPECT_EQ(Exiv2::XmpProperties::prefix("http://example.com/zz/"), "");
    EXPECT_NE(saved.xmp.find("kept"), std::string::npos);
    Exiv2::XmpData xmp;
    ASSERT_EQ(Exiv2::XmpParser::decode(xmp, saved.xmp), 0);
    EXPECT_EQ(xmp["Xmp.tiff.Orientation"].toString(), "1");
    EXPECT_EQ(xmp["Xmp.exif.PixelXDimension"].toString(), "4000");
    EXPECT_EQ(xmp["Xmp.photoshop.City"].toString(), "Tokyo");
    EXPECT_EQ(xmp.findKey(Exiv2::XmpKey("Xmp.photoshop.ICCProfile")), xmp.end());
    EXPECT_EQ(saved.xmp.find("GPS") == std::string::npos, strip) << saved.xmp;
    const Exiv2::ExifData exif = Decode(saved.exif);
    EXPECT_EQ(AnyKey(exif, "Exif.GPSInfo.") || Find(exif, "Exif.Image.GPSTag"), !strip);
    EXPECT_TRUE(Find(exif, "Exif.Photo.DateTimeOriginal"));
  }
}

TEST(MetadataEdit, StripAllAndTheColourDescription) {
  PhotoMetadata loaded = Loaded(Encode(CameraExif(), Exiv2::littleEndian), kXmp);
  loaded.iptc = {0x1C, 2, 5, 0, 1, 'T'};
  loaded.colour.icc = {1, 2, 3};
  for (const bool strip_all : {false, true})
    for (const bool srgb : {false, true}) {
      MetadataSaveOptions options = SaveOptions();
      options.strip_all = strip_all;
      options.srgb = srgb;
      const PhotoMetadata saved = MetadataForSave(loaded, options);
      EXPECT_EQ(saved.exif.empty() && saved.xmp.empty(), strip_all);
      EXPECT_EQ(saved.iptc, strip_all ? Bytes{} : loaded.iptc);
      EXPECT_EQ(saved.colour, srgb ? ColourDescription{} : loaded.colour);
    }
}

TEST(MetadataEdit, UnreadableOrOversizedBlocksAreDropped) {
  const Bytes good = Encode(CameraExif(), Exiv2::littleEndian);
  Bytes oversized = good;
  oversized.resize(kMaxExifBytes + 1);
  const Bytes bad[] = {
      {}, {'I', 'I', 42, 0}, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0xF0, 1, 2}, {'M', 'M', 0, 42, 0, 0, 0, 8, 0xFF, 0xFF},
      Bytes(good.begin(), good.begin() + 12), Bytes(good.size(), 0xA5), oversized};
  for (const Bytes& exif : bad) EXPECT_TRUE(MetadataForSave(Loaded(exif), SaveOptions()).exif.empty()) << exif.size();
  // Cut anywhere, or with the tag twice, the block is either dropped or says the picture is
  // upright everywhere.
  std::vector<Bytes> odd = {{'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0,
                             0x12, 1, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0}};
  for (std::size_t size = 8; size < good.size(); size += 7) odd.emplace_back(good.begin(), good.begin() + size);
  for (const Bytes& exif : odd) {
    const Exiv2::ExifData saved = Resaved(exif);
    std::vector<std::string> orientations;
    for (const auto& datum : saved)
      if (datum.key() == "Exif.Image.Orientation") orientations.push_back(datum.toString());
    if (!saved.empty()) {
      EXPECT_EQ(orientations, std::vector<std::string>{"1"}) << exif.size();
    }
  }
  for (const std::string& xmp :
       {std::string("<x:xmpmeta"), kXmp.substr(0, kXmp.size() / 2), kXmp + std::string(kMaxXmpBytes, ' ')})
    EXPECT_TRUE(MetadataForSave(Loaded({}, xmp), SaveOptions()).xmp.empty());
}

TEST(MetadataEdit, ExiftoolReadsTheBlockInAJpeg) {
  if (!test::HaveTools("exiftool")) GTEST_SKIP() << "exiftool not installed";
  test::TempDir dir;
  for (const bool strip : {false, true}) {
    MetadataSaveOptions options = SaveOptions();
    options.strip_location = strip;
    const Bytes loaded = Encode(CameraExif(), strip ? Exiv2::bigEndian : Exiv2::littleEndian);
    const Bytes block = MetadataForSave(Loaded(loaded), options).exif;
    const std::size_t length = block.size() + 8;
    Bytes jpeg = EncodeJpeg(test::PhotoLikeBitmap(16, 16), 90);
    Bytes app1 = {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), block.begin(), block.end());
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    test::WriteBytes(dir.File("a.jpg"), jpeg);
    // One value a line, in the order asked; a tag that is not there gives no line.
    const std::string command = "exiftool -s3 -c %.6f -Orientation# -DateTimeOriginal -Make -Model -GPSLatitude "
                                "-GPSLongitude -Warning " + dir.File("a.jpg") + " > " + dir.File("a.txt");
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes out = test::ReadBytes(dir.File("a.txt"));
    EXPECT_EQ(std::string(out.begin(), out.end()),
              "1\n2023:05:01 10:20:30\nCanon\nCanon EOS 5D Mark IV\n" +
                  std::string(strip ? "" : "35.658167 N\n139.741333 E\n"));
  }
}

}  // namespace
}  // namespace zumo
