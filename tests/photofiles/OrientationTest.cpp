// Turning pictures upright as the EXIF orientation tag says, and reading the tag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <libexif/exif-data.h>

#include "JpegTestTools.h"
#include "imaging/Turn.h"
#include "photofiles/ExifOrientation.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"
#include "platform/Threads.h"
#include "support/ErrorMessage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

// The tag's meaning, pixel by pixel: where upright pixel (x, y) is found in the stored
// picture of w x h pixels.
void StoredPosition(int tag, int x, int y, int w, int h, int& sx, int& sy) {
  switch (tag) {
    case 1: sx = x; sy = y; return;
    case 2: sx = w - 1 - x; sy = y; return;
    case 3: sx = w - 1 - x; sy = h - 1 - y; return;
    case 4: sx = x; sy = h - 1 - y; return;
    case 5: sx = y; sy = x; return;
    case 6: sx = y; sy = h - 1 - x; return;
    case 7: sx = w - 1 - y; sy = h - 1 - x; return;
    case 8: sx = w - 1 - y; sy = x; return;
  }
  FAIL() << "tag " << tag;
}

Bitmap LiteralTurn(const Bitmap& stored, int tag) {
  const int w = stored.Width(), h = stored.Height();
  Bitmap upright = tag >= 5 ? Bitmap(h, w) : Bitmap(w, h);
  for (int y = 0; y < upright.Height(); ++y)
    for (int x = 0; x < upright.Width(); ++x) {
      int sx = 0, sy = 0;
      StoredPosition(tag, x, y, w, h, sx, sy);
      for (int c = 0; c < 3; ++c) upright.ScanLine(y)[3 * x + c] = stored.ScanLine(sy)[3 * sx + c];
    }
  return upright;
}

TEST(TurnUpright, EveryTagOnAwkwardSizesEqualsThePixelByPixelMeaning) {
  // Sizes around the band and chunk side (64) and with and without row padding; 70 x 134
  // turns into rows of three chunks, the last of six pixels.
  // Forcing two threads splits even the small ones into bands on both.
  const int sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 3}, {4, 5}, {63, 65}, {64, 64}, {129, 67}, {200, 3}, {70, 134}};
  for (const Threads threads : {Threads::One, Threads::Two}) {
    SetThreads(threads);
    for (int tag = 1; tag <= 8; ++tag) {
      for (const auto& size : sizes) {
        const Bitmap stored = test::RandomBitmap(size[0], size[1], 100 + tag);
        const Bitmap before = stored;
        const Bitmap upright = TurnUpright(stored, static_cast<Orientation>(tag));
        EXPECT_TRUE(SamePixels(upright, LiteralTurn(stored, tag)))
            << "tag " << tag << " " << size[0] << "x" << size[1] << (threads == Threads::Two ? ", two threads" : "");
        EXPECT_TRUE(SamePixels(stored, before));
      }
    }
  }
  SetThreads(Threads::Auto);
}

TEST(TurnUpright, TheUprightSizeIsCheckedAgainstTheLimits) {
  EXPECT_NO_THROW(CheckUprightSize(8000, 20000, Orientation::Turn180));
  EXPECT_THROW(CheckUprightSize(8000, 20000, Orientation::TurnClockwise), Error);
  EXPECT_NO_THROW(CheckUprightSize(20000, 8000, Orientation::TurnAnticlockwise));
}

// An EXIF block (the APP1 payload, "Exif\0\0" first) holding only an orientation tag, made by
// libexif in the given byte order.
std::vector<std::uint8_t> ExifBlock(int tag, ExifByteOrder order) {
  ExifData* data = exif_data_new();
  exif_data_set_byte_order(data, order);
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(data->ifd[EXIF_IFD_0], entry);
  exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
  exif_set_short(entry->data, order, static_cast<ExifShort>(tag));
  exif_entry_unref(entry);
  unsigned char* bytes = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &bytes, &size);
  exif_data_unref(data);
  std::vector<std::uint8_t> block(bytes, bytes + size);
  std::free(bytes);
  return block;
}

// The JPEG with an APP1 segment holding `block` right after its SOI marker.
std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& block) {
  const std::size_t length = block.size() + 2;
  std::vector<std::uint8_t> out(jpeg.size() + 2 + length);
  const std::uint8_t marker[] = {jpeg[0], jpeg[1], 0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                                 static_cast<std::uint8_t>(length)};
  auto at = std::copy(std::begin(marker), std::end(marker), out.begin());
  at = std::copy(block.begin(), block.end(), at);
  std::copy(jpeg.begin() + 2, jpeg.end(), at);
  return out;
}

TEST(ExifOrientation, TagsInBothByteOrdersAndDamagedBlocks) {
  for (int tag = 1; tag <= 8; ++tag) {
    EXPECT_EQ(ReadExifOrientation(ExifBlock(tag, EXIF_BYTE_ORDER_INTEL)), static_cast<Orientation>(tag));
    EXPECT_EQ(ReadExifOrientation(ExifBlock(tag, EXIF_BYTE_ORDER_MOTOROLA)), static_cast<Orientation>(tag));
  }
  EXPECT_EQ(ReadExifOrientation(ExifBlock(0, EXIF_BYTE_ORDER_INTEL)), Orientation::Upright);
  EXPECT_EQ(ReadExifOrientation(ExifBlock(9, EXIF_BYTE_ORDER_INTEL)), Orientation::Upright);
  std::vector<std::uint8_t> cut = ExifBlock(6, EXIF_BYTE_ORDER_INTEL);
  cut.resize(14);  // the IFD is gone
  EXPECT_EQ(ReadExifOrientation(cut), Orientation::Upright);
  std::vector<std::uint8_t> garbage = ExifBlock(6, EXIF_BYTE_ORDER_INTEL);
  for (std::size_t i = 6; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(0xA5 ^ i);
  EXPECT_EQ(ReadExifOrientation(garbage), Orientation::Upright);
  EXPECT_EQ(ReadExifOrientation({}), Orientation::Upright);
}

// A photo written by cjpeg at an odd size, given each tag 1..8: read upright, it equals
// djpeg's decoding turned by the tag's meaning; read as stored (and through the JPEG
// object), djpeg's decoding as it is. Damaged EXIF leaves the decoding exactly as djpeg's.
TEST(ExifOrientation, JpegFilesWithEveryTagReadUprightAgainstTheReferenceDecoder) {
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg (libjpeg-turbo-progs) not installed";
  test::TempDir dir;
  test::WritePpm(test::PhotoLikeBitmap(37, 23, 5), dir.File("in.ppm"));
  test::RunOrThrow("cjpeg -quality 90 -outfile " + dir.File("plain.jpg") + " " + dir.File("in.ppm"));
  test::RunOrThrow("djpeg -dct int -ppm -outfile " + dir.File("ref.ppm") + " " + dir.File("plain.jpg"));
  const Bitmap reference = test::ReadPnm(dir.File("ref.ppm"));
  const std::vector<std::uint8_t> plain = test::ReadBytes(dir.File("plain.jpg"));

  for (int tag = 1; tag <= 8; ++tag) {
    const std::string file = dir.File("tag" + std::to_string(tag) + ".jpg");
    test::WriteBytes(file, WithApp1(plain, ExifBlock(tag, tag % 2 ? EXIF_BYTE_ORDER_INTEL : EXIF_BYTE_ORDER_MOTOROLA)));
    EXPECT_TRUE(SamePixels(ReadPhotoFile(file), LiteralTurn(reference, tag))) << "tag " << tag;
    EXPECT_TRUE(SamePixels(ReadPhotoFile(file, 24, Turning::AsStored), reference)) << "tag " << tag;
    JpegImage jpeg;
    jpeg.LoadFromFile(file);
    EXPECT_TRUE(SamePixels(UprightPicture(jpeg), LiteralTurn(reference, tag))) << "tag " << tag;
  }
  std::vector<std::uint8_t> damaged = ExifBlock(6, EXIF_BYTE_ORDER_INTEL);
  damaged[6] = damaged[7] = 'X';  // neither "II" nor "MM": no byte order
  test::WriteBytes(dir.File("damaged.jpg"), WithApp1(plain, damaged));
  EXPECT_TRUE(SamePixels(ReadPhotoFile(dir.File("damaged.jpg")), reference));
}

// ReadPhoto is the one way the window and the batch tool read a JPEG: it gives what the JPEG
// object gives turned upright, on every kind of screen (8 bits per pixel or fewer take the
// 236-colour decoding; greyscale files always do), and refuses a photo too large once turned
// for its size before any scan is decoded (here one that has no quantisation table).
TEST(ExifOrientation, ReadPhotoGivesTheJpegObjectsUprightPictureOnEveryScreen) {
  if (!test::HaveJpegTools()) GTEST_SKIP() << "cjpeg/djpeg (libjpeg-turbo-progs) not installed";
  test::TempDir dir;
  test::WritePpm(test::PhotoLikeBitmap(37, 23, 8), dir.File("in.ppm"));
  test::RunOrThrow("cjpeg -quality 90 -outfile " + dir.File("colour.jpg") + " " + dir.File("in.ppm"));
  test::RunOrThrow("cjpeg -grayscale -quality 90 -outfile " + dir.File("grey.jpg") + " " + dir.File("in.ppm"));
  std::vector<std::uint8_t> no_tables = EncodeJpeg(test::PhotoLikeBitmap(16, 12000, 2), 80);
  for (std::size_t at = 2; at + 4 <= no_tables.size() && no_tables[at + 1] != 0xDA;) {
    const std::size_t length = 2 + (no_tables[at + 2] << 8 | no_tables[at + 3]);
    if (no_tables[at + 1] == 0xDB)
      no_tables.erase(no_tables.begin() + static_cast<std::ptrdiff_t>(at), no_tables.begin() + static_cast<std::ptrdiff_t>(at + length));
    else
      at += length;
  }
  test::WriteBytes(dir.File("too-wide-upright.jpg"), WithApp1(no_tables, ExifBlock(6, EXIF_BYTE_ORDER_INTEL)));

  for (const char* name : {"colour", "grey"}) {
    for (const int tag : {1, 6}) {
      const std::string file = dir.File(std::string(name) + std::to_string(tag) + ".jpg");
      test::WriteBytes(file, WithApp1(test::ReadBytes(dir.File(std::string(name) + ".jpg")), ExifBlock(tag, EXIF_BYTE_ORDER_INTEL)));
      for (const int bits : {8, 16, 24}) {
        JpegImage jpeg;
        jpeg.LoadFromFile(file);
        EXPECT_TRUE(SamePixels(ReadPhotoFile(file, bits), UprightPicture(jpeg, bits))) << name << " tag " << tag << ", " << bits << " bits";
      }
    }
  }
  const std::string too_wide = dir.File("too-wide-upright.jpg");
  JpegImage jpeg;
  jpeg.LoadFromFile(too_wide);
  const std::string size_message = test::MessageOf([] { Bitmap::CheckSize(12000, 16); });
  EXPECT_EQ(test::MessageOf([&] { UprightPicture(jpeg); }), size_message);
  EXPECT_EQ(test::MessageOf([&] { ReadPhotoFile(too_wide); }), size_message);
}

}  // namespace
}  // namespace zumo
