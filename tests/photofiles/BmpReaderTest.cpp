#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "BmpTestFiles.h"
#include "photofiles/BmpWriter.h"
#include "platform/BmpReader.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::Bytes;
using test::BmpLayout;
using test::MakeBmp;
using test::Palette;
using test::PixelAt;
using Px = std::vector<int>;

const Px kBlack{0, 0, 0};

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// With ZUMO_BMP_CORPUS set to a folder, every file these tests make is also kept there as a
// seed for the fuzzer.
void KeepForFuzzing(const Bytes& bytes) {
  static int counter = 0;
  if (const char* folder = std::getenv("ZUMO_BMP_CORPUS"))
    WriteBytes(std::string(folder) + "/seed-" + std::to_string(counter++) + ".bmp", bytes);
}

// Decodes from memory and from a file; both roads must give the same picture.
Bitmap Decode(const Bytes& bytes) {
  KeepForFuzzing(bytes);
  Bitmap from_memory = DecodeBmp(bytes);
  test::TempDir dir;
  WriteBytes(dir.File("in.bmp"), bytes);
  const Bitmap from_file = ReadBmpFile(dir.File("in.bmp"));
  EXPECT_TRUE(SamePixels(from_memory, from_file));
  return from_memory;
}

std::string DecodeError(const Bytes& bytes) {
  KeepForFuzzing(bytes);
  try {
    DecodeBmp(bytes);
  } catch (const Error& e) {
    std::string memory_message = e.what();
    test::TempDir dir;
    WriteBytes(dir.File("in.bmp"), bytes);
    try {
      ReadBmpFile(dir.File("in.bmp"));
    } catch (const Error& file_error) {
      EXPECT_EQ(memory_message, file_error.what());
      return memory_message;
    }
    ADD_FAILURE() << "the file reader accepted what the memory decoder refused: " << memory_message;
    return memory_message;
  }
  return "";
}

constexpr const char* kInvalid = "ビットマップイメージが不正です";
constexpr const char* kReadError = "ストリームからの読み込みエラー";

TEST(BmpReaderTest, Reads24BitRowsInBothOrdersAndClearsPadding) {
  // 3 x 2, each row 9 bytes + 3 padding bytes (set to junk in the file).
  Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,  // stored first
                11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
  BmpLayout layout{.width = 3, .height = 2, .pixels = rows};
  const Bitmap bottom_up = Decode(MakeBmp(layout));
  ASSERT_EQ(bottom_up.Width(), 3);
  ASSERT_EQ(bottom_up.Height(), 2);
  EXPECT_EQ(PixelAt(bottom_up, 0, 1), (Px{1, 2, 3}));
  EXPECT_EQ(PixelAt(bottom_up, 2, 0), (Px{17, 18, 19}));
  for (int y = 0; y < 2; ++y)
    for (int i = 9; i < 12; ++i) EXPECT_EQ(bottom_up.ScanLine(y)[i], 0);

  layout.height = -2;
  const Bitmap top_down = Decode(MakeBmp(layout));
  EXPECT_EQ(PixelAt(top_down, 0, 0), (Px{1, 2, 3}));
  EXPECT_EQ(PixelAt(top_down, 2, 1), (Px{17, 18, 19}));
}

TEST(BmpReaderTest, LargeBottomUpFileReadsLikeTheMemoryDecoder) {
  // More rows than one gathering read takes, and a width with padding.
  const Bitmap picture = test::RandomBitmap(37, 1300, 5);
  const Bytes bytes = EncodeBmp(picture);
  EXPECT_TRUE(SamePixels(Decode(bytes), picture));
  // The last row's padding may be missing from the file.
  const Bytes short_tail(bytes.begin(), bytes.end() - 1);
  EXPECT_TRUE(SamePixels(Decode(short_tail), picture));
}

TEST(BmpReaderTest, PaletteDepthsAndHeaderVariants) {
  const Bytes four_colours = Palette({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}});
  // 1 bit: 10 pixels 1,0,1,1,0,0,1,0, 1,1 -> bytes 0xB2 0xC0, row padded to 4 bytes.
  {
    BmpLayout layout{.width = 10, .height = -1, .bits = 1, .after_header = Palette({{0, 0, 0}, {255, 128, 1}}),
                 .pixels = {0xB2, 0xC0, 0, 0}};
    const Bitmap b = Decode(MakeBmp(layout));
    const Px one{255, 128, 1};
    const int expected[10] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(b, x, 0), expected[x] ? one : kBlack) << x;
  }
  // 4 bits, palette count 4 given explicitly; index 9 lies beyond it and reads black.
  {
    BmpLayout layout{.width = 3, .height = -1, .bits = 4, .colours_used = 4, .after_header = four_colours,
                 .pixels = {0x31, 0x90, 0, 0}};
    const Bitmap b = Decode(MakeBmp(layout));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{100, 110, 120}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{40, 50, 60}));
    EXPECT_EQ(PixelAt(b, 2, 0), kBlack);
  }
  // 8 bits with a 256-entry palette implied by a count of 0.
  {
    Bytes palette;
    for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), 7, 0});
    BmpLayout layout{.width = 2, .height = 2, .bits = 8, .after_header = palette, .pixels = {0, 200, 0, 0, 255, 1, 0, 0}};
    const Bitmap b = Decode(MakeBmp(layout));
    EXPECT_EQ(PixelAt(b, 0, 1), (Px{0, 255, 7}));
    EXPECT_EQ(PixelAt(b, 1, 1), (Px{200, 55, 7}));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{255, 0, 7}));
  }
  // Core header: 16-bit sizes and three-byte palette entries.
  {
    Bytes palette = Palette({{1, 2, 3}, {4, 5, 6}}, /*quad=*/false);
    palette.resize(3 * 256, 0);
    BmpLayout layout{.header_size = 12, .width = 2, .height = 1, .bits = 8, .after_header = palette, .pixels = {1, 0, 0, 0}};
    const Bitmap b = Decode(MakeBmp(layout));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{4, 5, 6}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{1, 2, 3}));
  }
  // Every longer header reads the same 24-bit pixels, also with a pixel offset of 0.
  for (std::uint32_t size : {52u, 56u, 108u, 124u}) {
    BmpLayout layout{.header_size = size, .width = 1, .height = 1, .pixels = {9, 8, 7, 0}, .zero_offset = size == 124};
    EXPECT_EQ(PixelAt(Decode(MakeBmp(layout)), 0, 0), (Px{9, 8, 7})) << size;
  }
}

TEST(BmpReaderTest, SixteenAndThirtyTwoBitFields) {
  // 5-5-5 by default: red 31, green 16, blue 1 -> 255, (16*255+15)/31 = 132, (255+15)/31 = 8.
  {
    const std::uint16_t v = 31 << 10 | 16 << 5 | 1;
    BmpLayout layout{.width = 2, .height = 1, .bits = 16, .pixels = {std::uint8_t(v), std::uint8_t(v >> 8), 0, 0}};
    const Bitmap b = Decode(MakeBmp(layout));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{8, 132, 255}));
    EXPECT_EQ(PixelAt(b, 1, 0), kBlack);
  }
  // 5-6-5 with masks after a 40-byte header: green 32 of 63 -> (32*255+31)/63 = 130.
  {
    Bytes masks;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) test::Append32(masks, m);
    const std::uint16_t v = 0 << 11 | 32 << 5 | 31;
    BmpLayout layout{.width = 1, .height = 1, .bits = 16, .compression = 3, .after_header = masks,
                 .pixels = {std::uint8_t(v), std::uint8_t(v >> 8), 0, 0}};
    EXPECT_EQ(PixelAt(Decode(MakeBmp(layout)), 0, 0), (Px{255, 130, 0}));
  }
  // Plain 32-bit BGRX ignores the fourth byte.
  {
    BmpLayout layout{.width = 2, .height = 1, .bits = 32, .pixels = {1, 2, 3, 99, 4, 5, 6, 99}};
    const Bitmap b = Decode(MakeBmp(layout));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{1, 2, 3}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{4, 5, 6}));
  }
  // 32-bit with RGBA byte order from the masks of a V5 header, and with a 4-bit field.
  {
    BmpLayout layout{.header_size = 124, .width = 1, .height = 1, .bits = 32, .compression = 3,
                 .masks_in_header = {0x000000FF, 0x0000FF00, 0x00FF0000}, .pixels = {10, 20, 30, 40}};
    EXPECT_EQ(PixelAt(Decode(MakeBmp(layout)), 0, 0), (Px{30, 20, 10}));
    layout.masks_in_header = {0xF0000000, 0x0000FF00, 0};  // red 4 bits = 0x2 -> 34, blue mask 0 -> 0
    EXPECT_EQ(PixelAt(Decode(MakeBmp(layout)), 0, 0), (Px{0, 20, 34}));
    layout.masks_in_header = {0xFFFFFFFF, 0xFFFFFFFF, 0x00000001};  // overlapping, full-width: 0x281E140A of 2^32 - 1 -> 40
    EXPECT_EQ(PixelAt(Decode(MakeBmp(layout)), 0, 0), (Px{0, 40, 40}));
  }
}

TEST(BmpReaderTest, Rle8RunsAbsoluteRunsDeltaAndClipping) {
  const Bytes palette = Palette({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}});
  // 4 x 3, bottom-up. Stored row 0: run of 6 x index 1 (clipped to 4). Row 1: absolute run
  // 2,3,1 (odd: one padding byte), then end of line. Row 2: delta (2, 0) then run of 1 x 3,
  // then end of bitmap: pixels 0, 1 and 3 of that row keep palette entry 0.
  BmpLayout layout{.width = 4, .height = 3, .bits = 8, .compression = 1, .colours_used = 4, .after_header = palette,
               .pixels = {6, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 0, 1, 3, 0, 1}};
  const Bitmap b = Decode(MakeBmp(layout));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(b, x, 2), (Px{2, 2, 2})) << x;
  EXPECT_EQ(PixelAt(b, 0, 1), (Px{3, 3, 3}));
  EXPECT_EQ(PixelAt(b, 1, 1), (Px{4, 4, 4}));
  EXPECT_EQ(PixelAt(b, 2, 1), (Px{2, 2, 2}));
  EXPECT_EQ(PixelAt(b, 3, 1), (Px{1, 1, 1}));
  EXPECT_EQ(PixelAt(b, 0, 0), (Px{1, 1, 1}));
  EXPECT_EQ(PixelAt(b, 2, 0), (Px{4, 4, 4}));
  EXPECT_EQ(PixelAt(b, 3, 0), (Px{1, 1, 1}));

  // An absolute run longer than the row is clipped and its bytes are skipped correctly.
  layout.width = 2;
  layout.height = 2;
  layout.pixels = {0, 3, 1, 2, 3, 0, 0, 0, 2, 3, 0, 1};
  const Bitmap clipped = Decode(MakeBmp(layout));
  EXPECT_EQ(PixelAt(clipped, 0, 1), (Px{2, 2, 2}));
  EXPECT_EQ(PixelAt(clipped, 1, 1), (Px{3, 3, 3}));
  EXPECT_EQ(PixelAt(clipped, 0, 0), (Px{4, 4, 4}));
  EXPECT_EQ(PixelAt(clipped, 1, 0), (Px{4, 4, 4}));
}

TEST(BmpReaderTest, Rle4AlternatesNibbles) {
  const Bytes palette = Palette({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  // 5 x 1: run of 3 with nibbles 1,2 -> 1 2 1; absolute run of 3 pixels 3,0,1 (two bytes),
  // whose third pixel falls off the row; end of bitmap.
  const BmpLayout layout{.width = 5, .height = 1, .bits = 4, .compression = 2, .colours_used = 4,
                     .after_header = palette, .pixels = {3, 0x12, 0, 3, 0x30, 0x10, 0, 1}};
  const Bitmap b = Decode(MakeBmp(layout));
  const int expected[5] = {1, 2, 1, 3, 0};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(b, x, 0)[0], expected[x]) << x;
}

TEST(BmpReaderTest, MissingUnreadableAndForeignFiles) {
  test::TempDir dir;
  const std::string missing = dir.File("nothing.bmp");
  try {
    ReadBmpFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + missing + " は開けません");
  }
  try {
    ReadBmpFile(dir.path().string());  // a folder
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + dir.path().string() + " は開けません");
  }
  EXPECT_EQ(DecodeError({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), kInvalid);
  EXPECT_EQ(DecodeError({}), kReadError);
}

TEST(BmpReaderTest, TruncatedFilesReportTheReadError) {
  const Bytes whole = MakeBmp({.width = 3, .height = 2, .pixels = Bytes(24, 7)});
  for (std::size_t length : {2u, 10u, 17u, 30u, 53u, 54u, 60u, 54u + 12u + 8u})
    EXPECT_EQ(DecodeError(Bytes(whole.begin(), whole.begin() + length)), kReadError) << length;
  // A palette that runs past the end of the file.
  EXPECT_EQ(DecodeError(MakeBmp({.width = 1, .height = 1, .bits = 8, .colours_used = 200, .after_header = Bytes(40, 0)})),
            kReadError);
  // An RLE stream that stops before its rows are done.
  EXPECT_EQ(DecodeError(MakeBmp({.width = 4, .height = 2, .bits = 8, .compression = 1, .colours_used = 1,
                                 .after_header = Bytes(4, 0), .pixels = {2, 0, 0, 0, 3}})),
            kReadError);
  EXPECT_EQ(DecodeError(MakeBmp({.width = 4, .height = 2, .bits = 8, .compression = 1, .colours_used = 1,
                                 .after_header = Bytes(4, 0), .pixels = {0, 5, 1, 1}})),
            kReadError);
}

TEST(BmpReaderTest, OversizedPicturesAreRefusedBeforeReadingPixels) {
  // No pixel data at all: the size check must come first.
  const std::string wide = DecodeError(MakeBmp({.width = Bitmap::kMaxWidth + 1, .height = 1}));
  EXPECT_NE(wide.find(std::to_string(Bitmap::kMaxWidth)), std::string::npos) << wide;
  const std::string tall = DecodeError(MakeBmp({.width = 1, .height = -(Bitmap::kMaxHeight + 1)}));
  EXPECT_NE(tall.find(std::to_string(Bitmap::kMaxHeight)), std::string::npos) << tall;
  const std::string rle = DecodeError(MakeBmp({.width = 20000, .height = 20000, .bits = 8, .compression = 1,
                                               .after_header = Bytes(1024, 0), .pixels = {0, 1}}));
  EXPECT_NE(rle.find(std::to_string(Bitmap::kMaxWidth)), std::string::npos) << rle;
}

TEST(BmpReaderTest, CraftedHeadersGiveErrorsNotCrashes) {
  EXPECT_EQ(DecodeError(MakeBmp({.width = 0, .height = 1})), kInvalid);
  EXPECT_EQ(DecodeError(MakeBmp({.width = 1, .height = 0})), kInvalid);
  EXPECT_EQ(DecodeError(MakeBmp({.width = -5, .height = 1})), kInvalid);
  EXPECT_NE(DecodeError(MakeBmp({.width = 1, .height = INT_MIN})), "");
  EXPECT_NE(DecodeError(MakeBmp({.width = INT_MIN, .height = INT_MIN})), "");
  for (std::uint16_t bits : {0, 2, 7, 48, 64})
    EXPECT_EQ(DecodeError(MakeBmp({.width = 1, .height = 1, .bits = bits, .pixels = Bytes(8, 0)})), kInvalid) << bits;
  for (std::uint32_t compression : {4u, 5u, 7u, 0xFFFFFFFFu})
    EXPECT_EQ(DecodeError(MakeBmp({.width = 1, .height = 1, .compression = compression, .pixels = Bytes(8, 0)})), kInvalid);
  // RLE with a depth it does not belong to.
  EXPECT_EQ(DecodeError(MakeBmp({.width = 1, .height = 1, .bits = 24, .compression = 1, .pixels = Bytes(8, 0)})), kInvalid);
  // Header sizes that no variant has, including absurd ones.
  for (std::uint32_t size : {0u, 13u, 41u, 200u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Bytes file = MakeBmp({.width = 1, .height = 1, .pixels = Bytes(4, 0)});
    test::Overwrite32(file, 14, size);
    EXPECT_EQ(DecodeError(file), kInvalid) << size;
  }
  // A pixel offset far past the end of the file.
  for (std::uint32_t offset : {1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Bytes file = MakeBmp({.width = 1, .height = 1, .pixels = Bytes(4, 0)});
    test::Overwrite32(file, 10, offset);
    EXPECT_EQ(DecodeError(file), kReadError) << offset;
  }
  // An absurd palette count is clamped to the depth's 256 entries.
  const Bitmap clamped = Decode(MakeBmp({.width = 1, .height = 1, .bits = 8, .colours_used = 0xFFFFFFFF,
                                         .after_header = Bytes(1024, 9), .pixels = {0, 0, 0, 0}}));
  EXPECT_EQ(PixelAt(clamped, 0, 0), (Px{9, 9, 9}));
}

TEST(BmpReaderTest, RleDeltasAndRunsNeverWriteOutsideThePicture) {
  // Deltas far beyond the row and the last row, and long runs after them, on a 3 x 2 picture.
  const Bytes stream = {0, 2, 255, 0, 200, 1, 0, 0, 0, 2, 2, 255, 255, 1, 0, 1};
  const Bitmap b = Decode(MakeBmp({.width = 3, .height = 2, .bits = 8, .compression = 1, .colours_used = 2,
                                   .after_header = Palette({{5, 5, 5}, {6, 6, 6}}), .pixels = stream}));
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(PixelAt(b, x, 0), (Px{5, 5, 5}));
    EXPECT_EQ(PixelAt(b, x, 1), (Px{5, 5, 5}));
  }
}

}  // namespace
}  // namespace zumo
