#include "batch/BatchRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Lib/common/BitmapUtils.h"
#include "Lib/common/SizeStep.h"
#include "imaging/Framing.h"
#include "imaging/Techniques.h"
#include "photofiles/BmpWriter.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace zumo::batch {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code;
  std::string out, err;
};

Outcome RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = Run(args, out, err);
  return {code, out.str(), err.str()};
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    photo_ = test::PhotoLikeBitmap(61, 37, 4);
    input_ = dir_.File("photo.bmp");
    WriteBmpFile(photo_, input_);
  }
  void TearDown() override { TABitmap::FixNoiseSeed(std::nullopt); }

  // Files in the folder other than the input.
  std::vector<std::string> OtherFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path()))
      if (entry.path().filename() != "photo.bmp") names.push_back(entry.path().filename().string());
    return names;
  }

  test::TempDir dir_;
  Bitmap photo_;
  std::string input_;
};

TEST_F(BatchRun, OutputFolderRunsEveryPhotoLikeOnePhotoRunsAndReportsFailures) {
  // Photos of different kinds and sizes; one broken; one whose result is already there.
  const std::vector<std::string> steps = {"--size", "800", "--seed", "7", "--noise", "20", "--technique", "omakase"};
  std::vector<std::string> inputs = {input_};
  for (int i = 0; i < 4; ++i) {
    inputs.push_back(dir_.File("p" + std::to_string(i) + (i % 2 ? ".bmp" : ".jpg")));
    WritePhotoFile(test::PhotoLikeBitmap(900 + 37 * i, 300 + 11 * i, 20 + i), inputs.back(),
                   i % 2 ? SaveFormat::Bmp : SaveFormat::Jpeg, 90);
  }
  inputs.push_back(dir_.File("broken.jpg"));
  std::ofstream(inputs.back()) << "not a photo";
  const std::string folder = dir_.File("out");
  fs::create_directory(folder);
  std::ofstream(folder + "/p2.jpg") << "kept";

  auto many = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = steps;
    args.insert(args.end(), {"--output-folder", folder});
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), inputs.begin(), inputs.end());
    return RunTool(args);
  };
  const Outcome first = many({});
  EXPECT_EQ(first.code, kExitFileError);
  EXPECT_NE(first.err.find("broken.jpg"), std::string::npos) << first.err;
  EXPECT_NE(first.err.find("--overwrite"), std::string::npos) << first.err;
  EXPECT_EQ(FileBytes(folder + "/p2.jpg"), "kept");
  EXPECT_FALSE(fs::exists(folder + "/broken.jpg"));

  const Outcome second = many({"--overwrite", "--format", "bmp"});
  EXPECT_EQ(second.code, kExitFileError);  // the broken photo still fails
  for (const std::string& input : inputs) {
    if (input.find("broken") != std::string::npos) continue;
    const std::string stem = fs::path(input).stem().string();
    std::vector<std::string> one = steps;
    one.insert(one.end(), {input, dir_.File("single-" + stem + ".bmp")});
    ASSERT_EQ(RunTool(one).code, kExitSuccess);
    EXPECT_EQ(FileBytes(folder + "/" + stem + ".bmp"), FileBytes(dir_.File("single-" + stem + ".bmp"))) << stem;
    if (stem != "p2") {
      EXPECT_EQ(ReadPhotoFile(folder + "/" + stem + ".jpg").Width(), ReadPhotoFile(folder + "/" + stem + ".bmp").Width());
    }
  }
}

TEST(ParseManyPhotos, FolderFormatAndTheirErrors) {
  const Options options = ParseArguments({"--output-folder", "d", "--format", "bmp", "--overwrite", "a.jpg", "b.png"});
  EXPECT_EQ(options.output_folder, "d");
  EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.jpg", "b.png"}));
  EXPECT_EQ(options.format, SaveFormat::Bmp);
  EXPECT_TRUE(options.overwrite);
  EXPECT_EQ(ParseArguments({"--output-folder", "d", "a.jpg"}).format, SaveFormat::Jpeg);
  EXPECT_TRUE(ParseArguments({"--version"}).version);
  EXPECT_THROW(ParseArguments({"--output-folder", "d"}), UsageError);
  EXPECT_THROW(ParseArguments({"--output-folder", "d", "--format", "tiff", "a.jpg"}), UsageError);
  EXPECT_THROW(ParseArguments({"--format", "bmp", "a.jpg", "b.bmp"}), UsageError);
}

TEST_F(BatchRun, BmpOutputEqualsTheEngineAppliedDirectly) {
  const std::string output = dir_.File("out.bmp");
  const Outcome r = RunTool({"--contrast", "20", "--shift-rgb", "-10,5,30", "--box-blur", "2", "--sharpen", "60",
                             "--rank", "5", "--edge", "--brightness", "40", "--desaturate", "100", "--gamma", "1.2",
                             "--grayscale", input_, output});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  EXPECT_TRUE(r.err.empty());

  TABitmap work(photo_);
  work.Contrast(20, work);
  work.ShiftRGB(-10, 5, 30, work);
  work.BoxBlur(2, work);
  work.Sharpen(60, work);
  work.RankFilter(work, 5);
  work.EdgeFilter(work);
  work.Brightness(work, 40);
  work.Desaturate(work, 100);
  work.Gamma(work, 1.2);
  work.Grayscale(work);
  EXPECT_TRUE(SamePixels(ReadPhotoFile(output), work));
  EXPECT_TRUE(SamePixels(ReadPhotoFile(input_), photo_)) << "the input is not changed";
}

TEST_F(BatchRun, FramingRunsFirstWhereverItStands) {
  const std::string output = dir_.File("out.bmp");
  const Outcome r = RunTool({"--contrast", "20", "--straighten", "-3.5", "--flip", "horizontal", "--turn", "90",
                             "--crop-ratio", "1:1", input_, output});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  TABitmap work(Frame(photo_, {.quarter_turns = 1, .flip_horizontal = true, .straighten_tenths = -35,
                               .crop = CropRatio{1, 1}}));
  work.Contrast(20, work);
  EXPECT_TRUE(SamePixels(ReadPhotoFile(output), work));
}

TEST_F(BatchRun, GlowTechniqueAndResampleMatchTheEngine) {
  const std::string output = dir_.File("out.bmp");
  const Outcome r = RunTool({"--zumo", "--technique", "yarisugi", "--resample", "30x20", input_, output});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;

  TABitmap work;
  const Bitmap glow = ApplyGlow(work, photo_, 5).result;
  const Bitmap overdone = ApplyTechnique(work, glow, Technique::Yarisugi).result;
  const auto expected = ResampleBitmap(overdone, 30, 20);
  EXPECT_TRUE(SamePixels(ReadPhotoFile(output), *expected));
}

TEST_F(BatchRun, SizePresetAndJpegOutput) {
  const Bitmap wide = test::PhotoLikeBitmap(1000, 50, 2);
  const std::string wide_input = dir_.File("wide.BMP");
  WriteBmpFile(wide, wide_input);
  const std::string output = dir_.File("out.JPEG");
  const Outcome r = RunTool({"--size", "800", "--quality", "80", wide_input, output});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const Bitmap decoded = ReadPhotoFile(output);
  EXPECT_EQ(decoded.Width(), 800);
  EXPECT_EQ(decoded.Height(), 40);
}

// A camera photo keeps its date, camera, place and keywords, upright with orientation 1, its
// real size and no stale thumbnail; the two privacy options remove what they say. Read back
// by exiftool.
TEST_F(BatchRun, ACameraPhotosMetadataTravelsCorrectedAndTheStripOptionsRemoveWhatTheySay) {
  const std::string camera = dir_.File("camera.jpg");
  WriteBmpFile(test::PhotoLikeBitmap(16, 12, 6), dir_.File("thumb.bmp"));
  ASSERT_EQ(RunTool({dir_.File("thumb.bmp"), dir_.File("thumb.jpg")}).code, kExitSuccess);
  ASSERT_EQ(RunTool({"--as-stored", input_, camera}).code, kExitSuccess);
  ASSERT_EQ(std::system(("exiftool -q -overwrite_original -Make=TestCam -Model='T 1' "
                         "-DateTimeOriginal='2024:05:01 10:20:30' -Orientation#=6 -XMP-tiff:Orientation#=6 "
                         "-GPSLatitude=35.68 -GPSLatitudeRef=N -XMP-exif:GPSLatitude=35.68N -Keywords=holiday "
                         "-XMP-dc:Title=Tokyo -ExifImageWidth=61 -ExifImageHeight=37 '-ThumbnailImage<=" +
                         dir_.File("thumb.jpg") + "' " + camera)
                            .c_str()),
            0);
  struct Case {
    std::vector<std::string> options;
    const char* expected;  // orientation (EXIF, XMP) | date | make | model | GPS (EXIF, XMP) | keywords | title | size | thumbnail
  };
  const Case cases[] = {
      {{}, "1|1|2024:05:01 10:20:30|TestCam|T 1|35.68|35.68|holiday|Tokyo|37|61|-"},
      {{"--strip-location"}, "1|1|2024:05:01 10:20:30|TestCam|T 1|-|-|holiday|Tokyo|37|61|-"},
      {{"--strip-metadata"}, "-|-|-|-|-|-|-|-|-|-|-|-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string output = dir_.File("out.jpg"), tags = dir_.File("tags.txt");
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--size", "800", "--contrast", "10", camera, output});
    fs::remove(output);
    const Outcome r = RunTool(args);
    ASSERT_EQ(r.code, kExitSuccess) << r.err;
    EXPECT_EQ(ReadPhotoFile(output).Width(), 37);  // turned upright once, never again
    ASSERT_EQ(std::system(("exiftool -f -m -q -p '$Orientation#|$XMP:Orientation#|$DateTimeOriginal|$Make|$Model|"
                           "$GPSLatitude#|$XMP:GPSLatitude#|$Keywords|$XMP:Title|$ExifImageWidth|$ExifImageHeight|"
                           "$ThumbnailLength' " + output + " > " + tags)
                              .c_str()),
              0);
    EXPECT_EQ(FileBytes(tags), std::string(c.expected) + "\n");
  }
  // The other kinds that carry metadata: the keywords, which only IPTC held, travel in XMP.
  for (const char* name : {"out.png", "out.webp", "out.avif"}) {
    SCOPED_TRACE(name);
    const std::string output = dir_.File(name), tags = dir_.File("tags.txt");
    ASSERT_EQ(RunTool({camera, output}).code, kExitSuccess);
    ASSERT_EQ(std::system(("exiftool -f -m -q -p '$Orientation#|$DateTimeOriginal|$Make|$GPSLatitude#|$XMP:Subject|"
                           "$XMP:Title' " + output + " > " + tags).c_str()),
              0);
    EXPECT_EQ(FileBytes(tags), "1|2024:05:01 10:20:30|TestCam|35.68|holiday|Tokyo\n");
  }
}

TEST_F(BatchRun, InputWithAnUnknownExtensionIsReadByItsContent) {
  const std::string odd = dir_.File("photo.data");
  fs::copy_file(input_, odd);
  const std::string output = dir_.File("out.bmp");
  ASSERT_EQ(RunTool({odd, output}).code, kExitSuccess);
  EXPECT_TRUE(SamePixels(ReadPhotoFile(output), photo_));
}

TEST_F(BatchRun, SeedMakesTheNoiseRepeatable) {
  const std::string a = dir_.File("a.bmp"), b = dir_.File("b.bmp"), c = dir_.File("c.bmp");
  ASSERT_EQ(RunTool({"--seed", "7", "--technique", "furusugi", input_, a}).code, kExitSuccess);
  ASSERT_EQ(RunTool({"--seed", "7", "--technique", "furusugi", input_, b}).code, kExitSuccess);
  ASSERT_EQ(RunTool({"--seed", "8", "--technique", "furusugi", input_, c}).code, kExitSuccess);
  EXPECT_EQ(FileBytes(a), FileBytes(b));
  EXPECT_NE(FileBytes(a), FileBytes(c));
}

TEST_F(BatchRun, HelpGoesToStandardOutput) {
  const Outcome r = RunTool({"--help"});
  EXPECT_EQ(r.code, kExitSuccess);
  EXPECT_NE(r.out.find("zumo-batch"), std::string::npos);
  EXPECT_TRUE(r.err.empty());
}

TEST_F(BatchRun, BadArgumentsExitWithUsageAndWriteNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--contrast", "150", input_, dir_.File("out.bmp")},
        std::vector<std::string>{"--crop", "0,0,62,10", input_, dir_.File("out.bmp")},  // the photo is 61 x 37
        std::vector<std::string>{"--turn", "90", "--crop", "0,0,61,10", input_, dir_.File("out.bmp")},
        std::vector<std::string>{"--straighten", "-45.5", input_, dir_.File("out.bmp")},
        std::vector<std::string>{"--unknown", input_, dir_.File("out.bmp")},
        std::vector<std::string>{input_, dir_.File("out.tiff")},
        std::vector<std::string>{"--quality", "90", input_, dir_.File("out.png")},
        std::vector<std::string>{"--lossless", input_, dir_.File("out.avif")},
        std::vector<std::string>{input_}}) {
    const Outcome r = RunTool(args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    EXPECT_TRUE(OtherFiles().empty());
  }
}

// Every kind the extension picks, in any letter case: the lossless ones give the picture's
// exact pixels, the lossy ones the picture within their loss; --format does the same for a
// folder.
TEST_F(BatchRun, TheOutputsExtensionOrFormatPicksTheKind) {
  struct Case {
    std::vector<std::string> options;
    const char* name;
    int max_difference;
  };
  const Case cases[] = {{{}, "out.PNG", 0},
                        {{"--lossless"}, "out.webp", 0},
                        {{"--quality", "90"}, "out.WebP", 40},
                        {{"--quality", "60"}, "out.avif", 60},
                        {{"--quality", "37"}, "out.jpeg", 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {input_, dir_.File(c.name)});
    const Outcome r = RunTool(args);
    ASSERT_EQ(r.code, kExitSuccess) << r.err;
    const Bitmap read = ReadPhotoFile(dir_.File(c.name));
    ASSERT_EQ(read.Width(), photo_.Width());
    int worst = 0;
    for (int y = 0; y < read.Height(); ++y)
      for (int x = 0; x < 3 * read.Width(); ++x)
        worst = std::max(worst, std::abs(read.ScanLine(y)[x] - photo_.ScanLine(y)[x]));
    EXPECT_LE(worst, c.max_difference);
  }
  ASSERT_EQ(RunTool({"--format", "png", "--output-folder", dir_.File("many"), input_}).code, kExitSuccess);
  EXPECT_TRUE(SamePixels(ReadPhotoFile(dir_.File("many/photo.png")), photo_));
}

TEST_F(BatchRun, ARecipeRunsFirstAndFurtherStepsAfterIt) {
  const std::string recipe = dir_.File("look.zumo");
  std::ofstream(recipe) << "zumo-recipe 1\nsize 800\ncontrast percent=30\nzumo\n";
  WritePhotoFile(test::PhotoLikeBitmap(1000, 500, 3), input_, SaveFormat::Bmp);
  const std::string by_recipe = dir_.File("by-recipe.bmp"), by_steps = dir_.File("by-steps.bmp");
  ASSERT_EQ(RunTool({"--recipe", recipe, "--brightness", "-9", input_, by_recipe}).code, kExitSuccess);
  ASSERT_EQ(RunTool({"--size", "800", "--contrast", "30", "--zumo", "--brightness", "-9", input_, by_steps}).code,
            kExitSuccess);
  EXPECT_EQ(FileBytes(by_recipe), FileBytes(by_steps));

  // Many photos with a recipe: each result is the one-photo run's.
  const std::string folder = dir_.File("out");
  ASSERT_EQ(RunTool({"--recipe", recipe, "--brightness", "-9", "--format", "bmp", "--output-folder", folder, input_}).code,
            kExitSuccess);
  EXPECT_EQ(FileBytes(folder + "/photo.bmp"), FileBytes(by_steps));

  // A JPEG carries the recipe it was made with; one without a recipe is refused.
  const std::string carrier = dir_.File("carrier.jpg");
  WritePhotoFile(photo_, carrier, SaveFormat::Jpeg, 90, FileBytes(recipe));
  const Outcome printed = RunTool({"--print-recipe", carrier});
  EXPECT_EQ(printed.code, kExitSuccess);
  EXPECT_EQ(printed.out, "zumo-recipe 1\nsize 800\ncontrast percent=30\nzumo\n");
  const std::string by_photo = dir_.File("by-photo.bmp");
  ASSERT_EQ(RunTool({"--recipe-from", carrier, "--brightness", "-9", input_, by_photo}).code, kExitSuccess);
  EXPECT_EQ(FileBytes(by_photo), FileBytes(by_steps));

  const std::string plain = dir_.File("plain.jpg");
  WritePhotoFile(photo_, plain, SaveFormat::Jpeg, 90);
  const std::string bad = dir_.File("bad.zumo");
  std::ofstream(bad) << "zumo-recipe 1\nnoise amount=300\n";
  const std::pair<std::vector<std::string>, int> refusals[] = {
      {{"--recipe-from", plain, input_, dir_.File("x.bmp")}, kExitFileError},
      {{"--print-recipe", plain}, kExitFileError},
      {{"--recipe", bad, input_, dir_.File("x.bmp")}, kExitFileError},
      {{"--recipe", dir_.File("missing.zumo"), input_, dir_.File("x.bmp")}, kExitFileError},
      {{"--recipe", recipe, "--size", "800", input_, dir_.File("x.bmp")}, kExitUsage},
      {{"--recipe", recipe, "--as-stored", input_, dir_.File("x.bmp")}, kExitUsage},
      {{"--recipe", recipe, "--recipe-from", carrier, input_, dir_.File("x.bmp")}, kExitUsage},
      {{"--print-recipe", carrier, "extra"}, kExitUsage},
  };
  for (const auto& [args, code] : refusals) {
    const Outcome r = RunTool(args);
    EXPECT_EQ(r.code, code) << args[0] << " " << args[1] << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("x.bmp")));
  }
  EXPECT_NE(RunTool({"--recipe", bad, input_, dir_.File("x.bmp")}).err.find("2 行目"), std::string::npos);
}

// A recipe written from the command line alone (framing included) replays that command line.
TEST_F(BatchRun, WriteRecipeMakesARecipeWithoutAWindow) {
  const std::string recipe = dir_.File("made.zumo");
  const std::vector<std::string> look = {"--turn", "270", "--straighten", "2.5", "--crop-ratio", "3:2", "--size", "800",
                                         "--contrast", "15", "--technique", "furusugi"};
  std::vector<std::string> write = look;
  write.insert(write.end(), {"--write-recipe", recipe});
  ASSERT_EQ(RunTool(write).code, kExitSuccess);
  EXPECT_EQ(FileBytes(recipe), "zumo-recipe 1\nturn 270\nstraighten 2.5\ncrop-ratio 3:2\nsize 800\n"
                               "contrast percent=15\ntechnique name=furusugi\n");
  const std::string by_recipe = dir_.File("by-recipe.bmp"), by_steps = dir_.File("by-steps.bmp");
  std::vector<std::string> direct = look;
  direct.insert(direct.end(), {"--seed", "5", input_, by_steps});
  ASSERT_EQ(RunTool(direct).code, kExitSuccess);
  ASSERT_EQ(RunTool({"--seed", "5", "--recipe", recipe, input_, by_recipe}).code, kExitSuccess);
  EXPECT_EQ(FileBytes(by_recipe), FileBytes(by_steps));
  EXPECT_EQ(RunTool({"--recipe", recipe, "--turn", "90", input_, dir_.File("x.bmp")}).code, kExitUsage)
      << "the recipe decides the framing";
}

TEST_F(BatchRun, MissingInputFailsAndKeepsAnExistingOutput) {
  const std::string output = dir_.File("out.bmp");
  { std::ofstream(output, std::ios::binary) << "keep me"; }
  const Outcome r = RunTool({"--edge", dir_.File("missing.jpg"), output});
  EXPECT_EQ(r.code, kExitFileError);
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(FileBytes(output), "keep me");
  EXPECT_EQ(OtherFiles(), std::vector<std::string>{"out.bmp"});
}

TEST_F(BatchRun, BrokenInputFailsWithoutOutput) {
  const std::string broken = dir_.File("broken.jpg");
  { std::ofstream(broken, std::ios::binary) << "not a photo at all"; }
  const Outcome r = RunTool({broken, dir_.File("out.jpg")});
  EXPECT_EQ(r.code, kExitFileError);
  EXPECT_NE(r.err.find("ファイル " + broken + ": JPEG エラー"), std::string::npos) << "the JPEG error names its file: " << r.err;
  EXPECT_FALSE(fs::exists(dir_.File("out.jpg")));
}

TEST_F(BatchRun, UnwritableOutputFailsAndLeavesNothingBehind) {
  const Outcome missing_folder = RunTool({input_, dir_.File("no-such-folder/out.bmp")});
  EXPECT_EQ(missing_folder.code, kExitFileError);
  EXPECT_FALSE(missing_folder.err.empty());

  fs::create_directory(dir_.File("taken.jpg"));
  EXPECT_EQ(RunTool({input_, dir_.File("taken.jpg")}).code, kExitFileError);
  EXPECT_TRUE(fs::is_directory(dir_.File("taken.jpg")));
  EXPECT_EQ(OtherFiles(), std::vector<std::string>{"taken.jpg"});
  EXPECT_TRUE(SamePixels(ReadPhotoFile(input_), photo_));
}

TEST_F(BatchRun, RefusesToOverwriteItsInput) {
  const std::string before = FileBytes(input_);
  const Outcome r = RunTool({"--edge", input_, (dir_.path() / "." / "photo.bmp").string()});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_EQ(FileBytes(input_), before);
}

#ifdef ZUMO_BATCH_PROGRAM
// The real program: exit codes and streams as a shell sees them.
int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(BatchRun, TheProgramReportsThroughItsExitCode) {
  const std::string program = ZUMO_BATCH_PROGRAM;
  const std::string out = dir_.File("stdout.txt"), err = dir_.File("stderr.txt");
  EXPECT_EQ(Shell(program + " --help >" + out + " 2>" + err), 0);
  EXPECT_NE(FileBytes(out).find("--size"), std::string::npos);
  EXPECT_EQ(Shell(program + " --rank 10 " + input_ + " " + dir_.File("x.bmp") + " 2>" + err), 2);
  EXPECT_FALSE(FileBytes(err).empty());
  EXPECT_EQ(Shell(program + " " + dir_.File("none.bmp") + " " + dir_.File("x.bmp") + " 2>" + err), 1);
  EXPECT_EQ(Shell(program + " --technique omakase " + input_ + " " + dir_.File("x.jpg") + " 2>" + err), 0);
  EXPECT_EQ(ReadPhotoFile(dir_.File("x.jpg")).Width(), photo_.Width());
  EXPECT_EQ(Shell(program + " --version >" + out), 0);
  EXPECT_EQ(FileBytes(out).rfind("zumo-batch ", 0), 0u);
}
#endif

}  // namespace
}  // namespace zumo::batch
