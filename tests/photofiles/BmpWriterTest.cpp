#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "BmpTestFiles.h"
#include "photofiles/BmpWriter.h"
#include "platform/BmpReader.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

std::uint32_t Field32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}
std::uint16_t Field16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BmpWriterTest, HeadersAndRowsOfTheStandardFile) {
  Bitmap picture(3, 2);
  std::uint8_t* top = picture.ScanLine(0);
  std::uint8_t* bottom = picture.ScanLine(1);
  for (int i = 0; i < 9; ++i) {
    top[i] = static_cast<std::uint8_t>(i + 1);
    bottom[i] = static_cast<std::uint8_t>(i + 101);
  }
  const auto file = EncodeBmp(picture);
  const std::size_t row = 12;  // 9 bytes padded to 4
  ASSERT_EQ(file.size(), 54 + 2 * row);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Field32(file, 2), file.size());
  EXPECT_EQ(Field32(file, 6), 0u);
  EXPECT_EQ(Field32(file, 10), 54u);
  EXPECT_EQ(Field32(file, 14), 40u);
  EXPECT_EQ(Field32(file, 18), 3u);
  EXPECT_EQ(Field32(file, 22), 2u);  // positive: bottom-up
  EXPECT_EQ(Field16(file, 26), 1);
  EXPECT_EQ(Field16(file, 28), 24);
  EXPECT_EQ(Field32(file, 30), 0u);
  EXPECT_EQ(Field32(file, 34), 2 * row);
  for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(Field32(file, at), 0u) << at;
  // The bottom row comes first; padding bytes are zero.
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(file[54 + i], i + 101);
    EXPECT_EQ(file[54 + row + i], i + 1);
  }
  for (std::size_t i = 9; i < row; ++i) {
    EXPECT_EQ(file[54 + i], 0);
    EXPECT_EQ(file[54 + row + i], 0);
  }
}

TEST(BmpWriterTest, AwkwardSizesReadBackToTheSamePixels) {
  test::TempDir dir;
  const std::string path = dir.File("round.bmp");
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {5, 7}, {4, 1}, {1, 600}, {601, 3}, {7, 1025}};
  std::uint32_t seed = 1;
  for (const auto& size : sizes) {
    const Bitmap picture = test::RandomBitmap(size[0], size[1], seed++);
    WriteBmpFile(picture, path);
    EXPECT_TRUE(SamePixels(ReadBmpFile(path), picture)) << size[0] << " x " << size[1];
    EXPECT_EQ(std::filesystem::file_size(path), 54 + Bitmap::StrideFor(size[0]) * size[1]);
  }
}

TEST(BmpWriterTest, EmptyPictureIsRefusedAndTheOldFileStays) {
  test::TempDir dir;
  const std::string path = dir.File("keep.bmp");
  const Bitmap old_picture = test::RandomBitmap(4, 4, 9);
  WriteBmpFile(old_picture, path);
  const auto before = ReadAll(path);
  for (const Bitmap& empty : {Bitmap(), Bitmap(0, 5), Bitmap(5, 0)}) {
    EXPECT_THROW(WriteBmpFile(empty, path), Error);
    EXPECT_EQ(ReadAll(path), before);
  }
  EXPECT_THROW(WriteBmpFile(Bitmap(), dir.File("new.bmp")), Error);
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.bmp")));
}

TEST(BmpWriterTest, UncreatablePathReportsCreateError) {
  test::TempDir dir;
  const std::string path = dir.File("missing/out.bmp");
  try {
    WriteBmpFile(Bitmap(2, 2), path);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + path + " を作成できません");
  }
}

}  // namespace
}  // namespace zumo
