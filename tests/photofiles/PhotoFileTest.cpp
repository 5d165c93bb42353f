// Reading a photo by its name or, failing that, its content; writing BMP or JPEG safely.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "JpegTestTools.h"
#include "photofiles/BmpWriter.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"
#include "support/ErrorMessage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::TempDir;

using test::MessageOf;

TEST(PhotoKindByName, ExtensionDecidesInAnyLetterCase) {
  EXPECT_EQ(PhotoKindByName("/p/a.jpg"), PhotoKind::Jpeg);
  EXPECT_EQ(PhotoKindByName("/p/a.JPG"), PhotoKind::Jpeg);
  EXPECT_EQ(PhotoKindByName("/p/a.Jpeg"), PhotoKind::Jpeg);
  EXPECT_EQ(PhotoKindByName("a.jpeg"), PhotoKind::Jpeg);
  EXPECT_EQ(PhotoKindByName("/p/a.BMP"), PhotoKind::Bmp);
  EXPECT_EQ(PhotoKindByName("/p/a.bMp"), PhotoKind::Bmp);
  EXPECT_EQ(PhotoKindByName(".jpeg"), PhotoKind::Jpeg);  // the name is all extension
  EXPECT_EQ(PhotoKindByName("/p/a.jpg.bmp"), PhotoKind::Bmp);  // the last full stop counts
}

TEST(PhotoKindByName, OtherOrMissingExtensionsAreUnknown) {
  EXPECT_EQ(PhotoKindByName("/p/photo"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("/p/photo."), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("/p/photo.png"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("/p/photo.jpgx"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("/p/photo.jp"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName(""), PhotoKind::Unknown);
  // A full stop in a folder name does not make an extension of what follows it.
  EXPECT_EQ(PhotoKindByName("/p/holiday.jpg/photo"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("C:\\p\\set.bmp\\photo"), PhotoKind::Unknown);
  EXPECT_EQ(PhotoKindByName("x.bmp:stream"), PhotoKind::Unknown);
}

class PhotoFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  Bitmap photo_ = test::PhotoLikeBitmap(45, 29, 11);
};

TEST_F(PhotoFileTest, ReadsByExtensionThenByContent) {
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(photo_, 90);
  const Bitmap decoded = DecodeJpeg(jpeg);
  for (const char* name : {"a.JPG", "a.jpeg", "a.dat", "noextension"}) {
    test::WriteBytes(dir_.File(name), jpeg);
    EXPECT_TRUE(SamePixels(ReadPhotoFile(dir_.File(name)), decoded)) << name;
  }
  const std::vector<std::uint8_t> bmp = EncodeBmp(photo_);
  for (const char* name : {"b.Bmp", "b.png", "b"}) {
    test::WriteBytes(dir_.File(name), bmp);
    EXPECT_TRUE(SamePixels(ReadPhotoFile(dir_.File(name)), photo_)) << name;
  }
}

TEST_F(PhotoFileTest, ExtensionWinsOverContent) {
  test::WriteBytes(dir_.File("really-bmp.jpg"), EncodeBmp(photo_));
  EXPECT_EQ(MessageOf([&] { ReadPhotoFile(dir_.File("really-bmp.jpg")); }),
            "JPEG エラー #" + std::to_string(JERR_NO_SOI));
  test::WriteBytes(dir_.File("really-jpeg.bmp"), EncodeJpeg(photo_, 85));
  EXPECT_THROW(ReadPhotoFile(dir_.File("really-jpeg.bmp")), Error);
}

TEST_F(PhotoFileTest, ReadErrorsAreClear) {
  const std::string missing = dir_.File("missing.jpg");
  EXPECT_EQ(MessageOf([&] { ReadPhotoFile(missing); }), "ファイル " + missing + " は開けません");
  const std::string text = dir_.File("notes.txt");
  test::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(MessageOf([&] { ReadPhotoFile(text); }), "ファイル " + text + " は JPEG でも BMP でもありません");
  const std::string empty = dir_.File("empty");
  test::WriteBytes(empty, {});
  EXPECT_EQ(MessageOf([&] { ReadPhotoFile(empty); }), "ファイル " + empty + " は JPEG でも BMP でもありません");
}

// The reader's or writer's own message stays as it was; the file is attached to it in one
// place each for reading and writing, and named once when the message is shown with it.
TEST_F(PhotoFileTest, EveryReadAndWriteErrorCarriesItsFile) {
  test::WriteBytes(dir_.File("damaged.jpg"), EncodeBmp(photo_));
  std::vector<std::uint8_t> bmp = EncodeBmp(photo_);
  bmp[0] = 'X';
  test::WriteBytes(dir_.File("damaged.bmp"), bmp);
  test::WriteBytes(dir_.File("notes.txt"), {'h', 'e', 'l', 'l', 'o'});
  const std::string too_long_recipe(2 * 1024 * 1024 + 1, 'a');
  const struct {
    std::string file;
    std::function<void(const std::string&)> action;
    std::string shown;  // by MessageNamingFile
  } cases[] = {
      {dir_.File("missing.jpg"), [](const std::string& f) { ReadPhotoFile(f); }, "ファイル " + dir_.File("missing.jpg") + " は開けません"},
      {dir_.File("damaged.jpg"), [](const std::string& f) { ReadPhotoFile(f); },
       "ファイル " + dir_.File("damaged.jpg") + ": JPEG エラー #" + std::to_string(JERR_NO_SOI)},
      {dir_.File("damaged.bmp"), [](const std::string& f) { ReadPhotoFile(f); },
       "ファイル " + dir_.File("damaged.bmp") + ": ビットマップイメージが不正です"},
      {dir_.File("notes.txt"), [](const std::string& f) { ReadPhotoFile(f); },
       "ファイル " + dir_.File("notes.txt") + " は JPEG でも BMP でもありません"},
      {dir_.File("no-such-folder/x.bmp"), [&](const std::string& f) { WritePhotoFile(photo_, f, SaveFormat::Bmp); },
       "ファイル " + dir_.File("no-such-folder/x.bmp") + " を作成できません"},
      {dir_.File("x.png"),
       [&](const std::string& f) {
         OutputSettings settings;
         settings.recipe = too_long_recipe;
         WriteOutputFile(photo_, f, SaveFormat::Png, settings);
       },
       "ファイル " + dir_.File("x.png") + ": 写真に入れるレシピが大きすぎます（2048 KB まで）"},
  };
  for (const auto& c : cases) {
    try {
      c.action(c.file);
      ADD_FAILURE() << c.file << ": no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.File(), c.file);
      EXPECT_EQ(MessageNamingFile(error), c.shown);
    }
  }
  EXPECT_EQ(MessageNamingFile(Error("メモリが足りません")), "メモリが足りません");  // no file attached
}

// A FIFO would keep a plain open waiting for a writer forever; a device or a folder holds
// no photo. Each is refused at once, whatever its name announces.
TEST_F(PhotoFileTest, FilesThatAreNoPhotosAreRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(dir_.File("pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir_.File("folder.jpg"));
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {{dir_.File("pipe"), "FIFO（名前付きパイプ）です"},
               {dir_.File("folder.jpg"), ""},
               {"/dev/null", "デバイスファイルです"},
               {"/dev/zero", "デバイスファイルです"}};
  ::alarm(20);  // a read that blocks ends the test instead of hanging it
  for (const auto& c : cases) {
    // The same file under each routing: by extension as JPEG and BMP, and by content.
    const std::string link_base = dir_.File("link" + std::to_string(&c - cases));
    for (const char* extension : {".jpg", ".bmp", ""}) {
      const std::string name = link_base + extension;
      std::filesystem::create_symlink(c.path, name);
      const std::string reason = *c.reason ? std::string("（") + c.reason + "）" : "";
      EXPECT_EQ(MessageOf([&] { ReadPhotoFile(name); }), "ファイル " + name + " は開けません" + reason);
    }
  }
  ::alarm(0);
}

TEST_F(PhotoFileTest, NarrowScreenTakesQuantisedColours) {
  test::WriteBytes(dir_.File("c.jpg"), EncodeJpeg(test::RandomBitmap(64, 64, 2), 95));
  JpegDecodeOptions quantised;
  quantised.quantize = true;
  const Bitmap eight = ReadPhotoFile(dir_.File("c.jpg"), 8);
  EXPECT_TRUE(SamePixels(eight, DecodeJpeg(test::ReadBytes(dir_.File("c.jpg")), quantised)));
  std::set<std::uint32_t> colours;
  for (int y = 0; y < eight.Height(); ++y)
    for (int x = 0; x < eight.Width(); ++x) {
      const std::uint8_t* p = eight.ScanLine(y) + 3 * x;
      colours.insert(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  EXPECT_LE(colours.size(), 236u);
  EXPECT_FALSE(SamePixels(eight, ReadPhotoFile(dir_.File("c.jpg"), 16)));
}

TEST_F(PhotoFileTest, WritesEitherFormatAndReplacesExistingFiles) {
  const std::string path = dir_.File("out.BMP");
  test::WriteBytes(path, std::vector<std::uint8_t>(5000, 7));  // an older, longer file
  WritePhotoFile(photo_, path, SaveFormat::Jpeg, 80);           // the name's extension is not consulted
  EXPECT_EQ(test::ReadBytes(path), EncodeJpeg(photo_, 80));
  WritePhotoFile(photo_, path, SaveFormat::Bmp);
  EXPECT_EQ(test::ReadBytes(path), EncodeBmp(photo_));
  EXPECT_TRUE(SamePixels(ReadPhotoFile(path), photo_));
}

TEST_F(PhotoFileTest, FailedWritesLeaveFilesAsTheyWere) {
  const std::string existing = dir_.File("keep.jpg");
  test::WriteBytes(existing, {9, 8, 7});
  for (SaveFormat format : {SaveFormat::Jpeg, SaveFormat::Bmp}) {
    // Empty pictures are refused: nothing written, nothing replaced.
    EXPECT_THROW(WritePhotoFile(Bitmap(), existing, format), Error);
    EXPECT_THROW(WritePhotoFile(Bitmap(0, 3), dir_.File("new.jpg"), format), Error);
    EXPECT_EQ(test::ReadBytes(existing), (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("new.jpg")));
    // A folder that does not exist.
    const std::string bad = dir_.File("no-such-folder/x.jpg");
    EXPECT_EQ(MessageOf([&] { WritePhotoFile(photo_, bad, format); }), "ファイル " + bad + " を作成できません");
  }
  // Bad quality: refused before anything is written.
  EXPECT_THROW(WritePhotoFile(photo_, existing, SaveFormat::Jpeg, 0), Error);
  EXPECT_EQ(test::ReadBytes(existing), (std::vector<std::uint8_t>{9, 8, 7}));
  // Only the one file we made is left in the folder: no temporary files behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++entries;
  EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace zumo
