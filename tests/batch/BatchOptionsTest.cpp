#include "batch/BatchOptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace zumo::batch {
namespace {

using Args = std::vector<std::string>;

TEST(ParseArguments, DefaultsWithOnlyTheTwoFiles) {
  const Options o = ParseArguments({"in.jpg", "out.BMP"});
  EXPECT_FALSE(o.help);
  EXPECT_EQ(o.size, SizePreset::AsLoaded);
  EXPECT_EQ(o.quality, 85);
  EXPECT_FALSE(o.seed.has_value());
  EXPECT_TRUE(o.steps.empty());
  EXPECT_EQ(o.input, "in.jpg");
  EXPECT_EQ(o.output, "out.BMP");
  EXPECT_EQ(o.format, SaveFormat::Bmp);
}

TEST(ParseArguments, SettingsAndStepsInTheirOrder) {
  const Options o = ParseArguments({"--size", "1024", "--quality", "90", "--seed", "18446744073709551615",
                                    "--shift-rgb", "-255,0,255", "--contrast", "-100", "--brightness", "-5",
                                    "--grayscale", "--desaturate", "255", "--noise", "40", "--gamma", "1.2",
                                    "--box-blur", "90", "--sharpen", "0", "--rank", "9", "--edge", "--resample",
                                    "10922X1", "--zumo", "--technique", "yarisugi", "a.bmp", "b.Jpeg"});
  EXPECT_EQ(o.size, SizePreset::Long1024);
  EXPECT_EQ(o.quality, 90);
  EXPECT_EQ(o.seed, 18446744073709551615ull);
  EXPECT_EQ(o.format, SaveFormat::Jpeg);
  const std::vector<Step> expected = {steps::ShiftRgb{-255, 0, 255},
                                      steps::Contrast{-100},
                                      steps::Brightness{-5},
                                      steps::Grayscale{},
                                      steps::Desaturate{255},
                                      steps::Noise{40, std::nullopt},
                                      steps::Gamma{1.2},
                                      steps::BoxBlur{90},
                                      steps::Sharpen{0},
                                      steps::Rank{9},
                                      steps::Edge{},
                                      steps::Resample{10922, 1},
                                      steps::Zumo{},
                                      steps::TechniqueChain{Technique::Yarisugi, std::nullopt}};
  EXPECT_EQ(o.steps, expected);
}

TEST(ParseArguments, NamesOfEveryPresetAndTechnique) {
  const std::pair<const char*, SizePreset> sizes[] = {{"as-loaded", SizePreset::AsLoaded},
                                                      {"1600", SizePreset::Long1600},
                                                      {"1024", SizePreset::Long1024},
                                                      {"800", SizePreset::Long800}};
  for (const auto& [name, preset] : sizes) EXPECT_EQ(ParseArguments({"--size", name, "a", "b.bmp"}).size, preset);
  const std::pair<const char*, Technique> techniques[] = {{"omakase", Technique::Omakase},
                                                          {"furusugi", Technique::Furusugi},
                                                          {"hadesugi", Technique::Hadesugi},
                                                          {"yarisugi", Technique::Yarisugi}};
  for (const auto& [name, t] : techniques)
    EXPECT_EQ(ParseArguments({"--technique", name, "a", "b.bmp"}).steps.at(0), Step(steps::TechniqueChain{t, std::nullopt}));
  for (const int q : {90, 85, 80})
    EXPECT_EQ(ParseArguments({"--quality", std::to_string(q), "a", "b.jpg"}).quality, q);
}

TEST(ParseArguments, FileNamesAfterDoubleDashMayStartWithADash) {
  const Options o = ParseArguments({"--edge", "--", "-in.bmp", "--out.jpg"});
  EXPECT_EQ(o.input, "-in.bmp");
  EXPECT_EQ(o.output, "--out.jpg");
  ASSERT_EQ(o.steps.size(), 1u);
}

TEST(ParseArguments, FramingOptionsMakeOneFramingWhereverTheyStand) {
  struct Case {
    Args args;
    Framing framing;
  };
  const Case cases[] = {
      {{"--turn", "270", "--flip", "vertical", "--flip", "horizontal"},
       {.quarter_turns = 3, .flip_horizontal = true, .flip_vertical = true, .crop = {}}},
      {{"--straighten", "-2", "--crop", "10,0,300,200"}, {.straighten_tenths = -20, .crop = CropRect{10, 0, 300, 200}}},
      {{"--contrast", "5", "--straighten", "45.0", "--crop-ratio", "3:4"},
       {.straighten_tenths = 450, .crop = CropRatio{3, 4}}},
      {{"--straighten", "-0.7", "--turn", "90"}, {.quarter_turns = 1, .straighten_tenths = -7, .crop = {}}},
      {{"--straighten", "+12.5"}, {.straighten_tenths = 125, .crop = {}}},
  };
  for (const Case& c : cases) {
    Args args = c.args;
    args.insert(args.end(), {"in.jpg", "out.jpg"});
    EXPECT_EQ(ParseArguments(args).framing, c.framing) << args[0] << " " << args[1];
  }
}

TEST(ParseArguments, HelpNeedsNothingElse) {
  EXPECT_TRUE(ParseArguments({"--help"}).help);
  EXPECT_TRUE(ParseArguments({"--contrast", "5", "-h", "--bogus"}).help);
  EXPECT_NE(UsageText().find("--technique"), std::string::npos);
}

TEST(ParseArguments, RejectsBadCommandLines) {
  const Args bad[] = {
      {},
      {"in.bmp"},
      {"in.bmp", "out.bmp", "extra.bmp"},
      {"in.bmp", "out.tiff"},
      {"in.bmp", "out"},
      {"in.bmp", "out.bmp.txt"},
      {"--blur", "3", "in.bmp", "out.bmp"},
      {"in.bmp", "out.bmp", "--contrast"},
      {"--contrast", "101", "in.bmp", "out.bmp"},
      {"--contrast", "10x", "in.bmp", "out.bmp"},
      {"--contrast", "", "in.bmp", "out.bmp"},
      {"--contrast", " 5", "in.bmp", "out.bmp"},
      {"--contrast", "1.5", "in.bmp", "out.bmp"},
      {"--contrast", "99999999999999999999", "in.bmp", "out.bmp"},
      {"--brightness", "-256", "in.bmp", "out.bmp"},
      {"--shift-rgb", "1,2", "in.bmp", "out.bmp"},
      {"--shift-rgb", "1,2,3,4", "in.bmp", "out.bmp"},
      {"--shift-rgb", "1,,3", "in.bmp", "out.bmp"},
      {"--shift-rgb", "0,256,0", "in.bmp", "out.bmp"},
      {"--desaturate", "-1", "in.bmp", "out.bmp"},
      {"--noise", "256", "in.bmp", "out.bmp"},
      {"--gamma", "0.7", "in.bmp", "out.bmp"},
      {"--gamma", "3.01", "in.bmp", "out.bmp"},
      {"--gamma", "nan", "in.bmp", "out.bmp"},
      {"--gamma", "1.2.3", "in.bmp", "out.bmp"},
      {"--box-blur", "91", "in.bmp", "out.bmp"},
      {"--sharpen", "256", "in.bmp", "out.bmp"},
      {"--rank", "0", "in.bmp", "out.bmp"},
      {"--rank", "10", "in.bmp", "out.bmp"},
      {"--resample", "0x10", "in.bmp", "out.bmp"},
      {"--resample", "10922x32768", "in.bmp", "out.bmp"},
      {"--resample", "10923x1", "in.bmp", "out.bmp"},
      {"--resample", "10", "in.bmp", "out.bmp"},
      {"--resample", "10x10x10", "in.bmp", "out.bmp"},
      {"--technique", "Omakase", "in.bmp", "out.bmp"},
      {"--size", "640", "in.bmp", "out.bmp"},
      {"--size", "1600", "--size", "800", "in.bmp", "out.bmp"},
      {"--quality", "0", "in.bmp", "out.jpg"},
      {"--quality", "101", "in.bmp", "out.jpg"},
      {"--quality", "085", "in.bmp", "out.jpg"},
      {"--seed", "-1", "in.bmp", "out.bmp"},
      {"--seed", "0x10", "in.bmp", "out.bmp"},
      {"--zumo=1", "in.bmp", "out.bmp"},
      {"--turn", "45", "in.bmp", "out.bmp"},
      {"--turn", "90", "--turn", "90", "in.bmp", "out.bmp"},
      {"--flip", "both", "in.bmp", "out.bmp"},
      {"--flip", "vertical", "--flip", "vertical", "in.bmp", "out.bmp"},
      {"--straighten", "45.1", "in.bmp", "out.bmp"},
      {"--straighten", "-46", "in.bmp", "out.bmp"},
      {"--straighten", "1.25", "in.bmp", "out.bmp"},
      {"--straighten", "1.", "in.bmp", "out.bmp"},
      {"--straighten", ".5", "in.bmp", "out.bmp"},
      {"--straighten", "1e1", "in.bmp", "out.bmp"},
      {"--crop", "0,0,0,10", "in.bmp", "out.bmp"},
      {"--crop", "-1,0,10,10", "in.bmp", "out.bmp"},
      {"--crop", "0,0,10", "in.bmp", "out.bmp"},
      {"--crop", "0,0,10,10", "--crop-ratio", "1:1", "in.bmp", "out.bmp"},
      {"--crop-ratio", "0:1", "in.bmp", "out.bmp"},
      {"--crop-ratio", "4x3", "in.bmp", "out.bmp"},
  };
  for (const Args& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += "[" + a + "] ";
    EXPECT_THROW(ParseArguments(args), UsageError) << joined;
  }
}

// The help is made from the output kinds' table; the man page is written by hand, so it is
// held to the same table here.
TEST(ParseArguments, HelpAndManualNameEveryOutputKindWithItsExtensionsAndQuality) {
  std::ifstream man(ZUMO_SOURCE_DIR "/docs/man/zumo-batch.1");
  const std::string manual{std::istreambuf_iterator<char>(man), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(manual.empty());
  const std::string help = UsageText();
  for (const OutputKind& kind : OutputKinds()) {
    SCOPED_TRACE(kind.name);
    EXPECT_NE(manual.find(std::string(kind.name)), std::string::npos);
    for (std::string_view extension : kind.extensions) {
      EXPECT_NE(help.find(extension), std::string::npos);
      EXPECT_NE(manual.find(extension), std::string::npos);
    }
    if (kind.TakesQuality())
      EXPECT_NE(manual.find("default " + std::to_string(kind.default_quality)), std::string::npos);
    else
      EXPECT_THROW(ParseArguments({"--quality", "50", "in.bmp", "out" + std::string(kind.Extension())}), UsageError);
  }
}

}  // namespace
}  // namespace zumo::batch
