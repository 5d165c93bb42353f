#include "Lib/recipe/Recipe.h"
#include "Lib/recipe/SliderSteps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"
#include "platform/Error.h"
#include "support/ErrorMessage.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using test::MessageOf;

// One step of every kind, with values at the ends of their ranges.
Recipe EveryKind() {
  Recipe recipe{SizePreset::Long1024, {}, Framing{1, true, true, -25, CropRect{10, 20, 300, 200, 4000, 3000}}};
  recipe.steps = {steps::ShiftRgb{-255, 0, 255},
                  steps::Contrast{-100},
                  steps::Brightness{255},
                  steps::Grayscale{},
                  steps::Desaturate{0},
                  steps::Noise{255, std::nullopt},
                  steps::Noise{3, 18446744073709551615u},
                  steps::Gamma{1.2},
                  steps::BoxBlur{90},
                  steps::Sharpen{255},
                  steps::Rank{1},
                  steps::Edge{},
                  steps::Resample{10922, 32767},
                  steps::Zumo{},
                  steps::TechniqueChain{Technique::Yarisugi, std::nullopt},
                  steps::TechniqueChain{Technique::Furusugi, 0}};
  return recipe;
}

TEST(Recipe, EveryStepAndSizeReadsBackAsWritten) {
  Recipe recipe = EveryKind();
  for (const auto& [preset, name] : SizePresetNames()) {
    recipe.size = preset;
    const std::string text = FormatRecipe(recipe);
    EXPECT_EQ(ParseRecipe(text, "r.zumo"), recipe) << text;
  }
  EXPECT_EQ(FormatRecipe(Recipe{}), "zumo-recipe 1\nsize as-loaded\n");
  // What a person may write by hand: a byte-order mark, CRLF, comments, blank lines, tabs,
  // parameters in any order, no size line.
  const Recipe by_hand = ParseRecipe("\xEF\xBB\xBF# my look\r\n\r\nzumo-recipe 1\r\n  shift-rgb\tblue=3 red=1 green=2\n# end\n",
                                     "r.zumo");
  EXPECT_EQ(by_hand, (Recipe{SizePreset::AsLoaded, {steps::ShiftRgb{1, 2, 3}}, {}}));
}

TEST(Recipe, RefusalsNameTheLineAndTheReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "レシピ r.zumo は空です"},
      {"size 800\n", "1 行目: 最初に \"zumo-recipe 1\" の行が必要です"},
      {"zumo-recipe 2\n", "1 行目: 版 2 のレシピには対応していません"},
      {"zumo-recipe 1\nblur radius=3\n", "2 行目: 不明な処理です: blur"},
      {"zumo-recipe 1\n\nbox-blur\n", "3 行目: box-blur には radius=… が必要です"},
      {"zumo-recipe 1\nbox-blur radius=91\n", "2 行目: box-blur の radius の値 91 は範囲外です (0〜90)"},
      {"zumo-recipe 1\nbox-blur radius=3 size=2\n", "2 行目: box-blur に size=2 という値はありません"},
      {"zumo-recipe 1\nbox-blur radius=3 radius=4\n", "2 行目: box-blur の radius が二度あります"},
      {"zumo-recipe 1\ncontrast percent=1.5\n", "2 行目: contrast の percent の値 \"1.5\" は整数ではありません"},
      {"zumo-recipe 1\ngamma gamma=nan\n", "2 行目: gamma の gamma の値 \"nan\" は数値ではありません"},
      {"zumo-recipe 1\ntechnique name=Omakase\n", "2 行目: technique の name の値 \"Omakase\" は不明です"},
      {"zumo-recipe 1\nzumo\nsize 800\n", "3 行目: size は処理より前に書いてください"},
      {"zumo-recipe 1\nsize 800\nsize 800\n", "3 行目: size が二度あります"},
      {"zumo-recipe 1\nsize 640\n", "2 行目: size の値は as-loaded, 1600, 1024, 800 のいずれかです"},
      {"zumo-recipe 1\n# \xFF\n", "レシピ r.zumo は UTF-8 の文字として読めません"},
      {"zumo-recipe 1\nsize 800\nturn 90\n", "3 行目: turn は size と処理より前に書いてください"},
      {"zumo-recipe 1\nstraighten 45.5\n", "2 行目: straighten の値 45.5 は範囲外です (-45〜45)"},
      {"zumo-recipe 1\ncrop-ratio 4:3\ncrop x=0 y=0 width=1 height=1\n", "3 行目: 切り抜き (crop か crop-ratio) が二度あります"},
      {"zumo-recipe 1\ncrop x=0 y=0 width=0 height=1\n", "2 行目: 切り抜きの幅と高さは 1 以上にしてください"},
      {"zumo-recipe 1\nrank rank=123456789012345678901234567890123456789012345\n",
       "rank の値 \"1234567890123456789012345678901234567890…\" は整数ではありません"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = MessageOf([&] { ParseRecipe(text, "r.zumo"); });
    EXPECT_NE(message.find(expected), std::string::npos) << text << "\n-> " << message;
  }
  const std::string huge = "zumo-recipe 1\n" + std::string(kMaxRecipeBytes, '#');
  EXPECT_EQ(MessageOf([&] { ParseRecipe(huge, "r.zumo"); }), "レシピ r.zumo は大きすぎます（1024 KB まで）");
}

TEST(Recipe, StepsLeftOutAsChangingNothingChangeNothing) {
  const Bitmap picture = test::RandomBitmap(67, 23, 5);
  const Step cases[] = {steps::ShiftRgb{0, 0, 0}, steps::Contrast{0},   steps::Brightness{0},
                        steps::BoxBlur{0},        steps::Desaturate{0}, steps::ShiftRgb{0, 1, 0}};
  for (const Step& step : cases) {
    TABitmap work;
    const bool unchanged = SamePixels(RunStep(work, picture, step), picture);
    EXPECT_EQ(ChangesNothing(step), unchanged) << InfoOf(step).name;
  }
}

TEST(Recipe, ALongRecipeTravelsInAJpegsCommentsWithoutChangingItsPixels) {
  Recipe recipe{SizePreset::Long800, {}, {}};
  for (int i = 0; i < 4000; ++i) recipe.steps.push_back(steps::ShiftRgb{i % 255, -(i % 7), 3});
  const std::string text = FormatRecipe(recipe);
  ASSERT_GT(text.size(), 2u * 65533) << "more than two markers";
  const Bitmap picture = test::PhotoLikeBitmap(40, 30);
  const std::vector<std::uint8_t> with = EncodeJpeg(picture, 85, text);
  const std::vector<std::string> comments = ReadJpegComments(with, text.size());
  ASSERT_EQ(comments.size(), (text.size() + kMaxJpegCommentBytes - 1) / kMaxJpegCommentBytes);
  std::string joined;
  for (const std::string& part : comments) joined += part;
  EXPECT_EQ(joined, text);
  EXPECT_EQ(ReadJpegComments(with, 100).front().size(), 100u) << "the bound cuts the comments";
  EXPECT_TRUE(SamePixels(DecodeJpeg(with), DecodeJpeg(EncodeJpeg(picture, 85))));
  EXPECT_TRUE(ReadJpegComments(EncodeJpeg(picture, 85), 1000).empty());

  test::TempDir dir;
  const std::string plain = dir.File("plain.jpg");
  WritePhotoFile(picture, plain, SaveFormat::Jpeg, 85, "a comment of somebody else");
  EXPECT_EQ(MessageOf([&] { ReadRecipeFromPhoto(plain); }), "写真 " + plain + " にはレシピがありません");
  const std::string carried = dir.File("carried.jpg");
  WritePhotoFile(picture, carried, SaveFormat::Jpeg, 85, text);
  EXPECT_EQ(ReadRecipeFromPhoto(carried), recipe);
  // Another program's comments before and after ours are passed over.
  std::vector<std::uint8_t> bytes = EncodeJpeg(picture, 85, "zumo-recipe 1\nzumo\n");
  const std::uint8_t foreign[] = {0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c'};
  bytes.insert(bytes.begin() + 2, std::begin(foreign), std::end(foreign));
  const std::uint8_t tables[] = {0xFF, 0xDB};  // the first segment after our comment
  bytes.insert(std::search(bytes.begin(), bytes.end(), std::begin(tables), std::end(tables)), std::begin(foreign),
               std::end(foreign));
  const std::string mixed = dir.File("mixed.jpg");
  std::ofstream(mixed, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(ReadRecipeFromPhoto(mixed), (Recipe{SizePreset::AsLoaded, {steps::Zumo{}}, {}}));
}

// Every kind that carries a recipe gives it back; BMP carries none.
TEST(Recipe, EveryKindThatCarriesARecipeGivesItBack) {
  const Recipe recipe = EveryKind();
  const std::string text = FormatRecipe(recipe);
  const Bitmap picture = test::PhotoLikeBitmap(23, 17);
  test::TempDir dir;
  for (const OutputKind& kind : OutputKinds()) {
    SCOPED_TRACE(kind.name);
    const std::string path = dir.File("photo" + std::string(kind.Extension()));
    OutputSettings settings;
    settings.recipe = text;
    WriteOutputFile(picture, path, kind.format, settings);
    if (kind.format == SaveFormat::Bmp)
      EXPECT_THROW(ReadRecipeFromPhoto(path), Error);
    else
      EXPECT_EQ(ReadRecipeFromPhoto(path), recipe);
  }
}

// A recorded seed fixes the noise whatever the generator's own choice; another seed draws
// other noise.
TEST(Recipe, ANoiseStepWithItsSeedReplaysItsPicture) {
  const Bitmap picture = test::RandomBitmap(31, 9, 2);
  const Step steps[] = {steps::Noise{60, 7}, steps::TechniqueChain{Technique::Furusugi, 7}};
  for (const Step& step : steps) {
    TABitmap work;
    TABitmap::FixNoiseSeed(1);
    const Bitmap first = RunStep(work, picture, step);
    TABitmap::FixNoiseSeed(2);
    EXPECT_TRUE(SamePixels(RunStep(work, picture, step), first)) << InfoOf(step).name;
    Step reseeded = step;
    std::visit([](auto& kind) {
      if constexpr (requires { kind.seed; }) kind.seed = 8;
    }, reseeded);
    EXPECT_FALSE(SamePixels(RunStep(work, picture, reseeded), first)) << InfoOf(step).name;
    TABitmap::FixNoiseSeed(std::nullopt);
  }
}

// Each slider's position becomes the step of its kind (the arithmetic is the engine's).
TEST(SliderSteps, EachSliderGivesItsKindOfStep) {
  const std::pair<Step, Step> cases[] = {
      {slider_steps::Colour(-5, 0, 7), steps::ShiftRgb{10, 0, -14}},
      {slider_steps::Contrast(37), steps::Contrast{-37}},
      {slider_steps::Sharpness(-30), steps::Sharpen{30}},
      {slider_steps::Sharpness(45), steps::BoxBlur{2}},
      {slider_steps::Sharpness(0), steps::BoxBlur{0}},
      {slider_steps::Brightness(-100), steps::Brightness{100}},
      {slider_steps::Monochrome(255), steps::Desaturate{255}},
  };
  for (const auto& [made, expected] : cases) EXPECT_EQ(made, expected) << InfoOf(expected).name;
}

}  // namespace
}  // namespace zumo
