#include "Lib/recipe/Recipe.h"

#include <cstdint>
#include <optional>
#include <span>

#include "Lib/recipe/FramingText.h"
#include "photofiles/AvifWriter.h"
#include "photofiles/HeifFile.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PngFile.h"
#include "photofiles/PngWriter.h"
#include "photofiles/SafeFile.h"
#include "photofiles/WebpFile.h"
#include "photofiles/WebpWriter.h"
#include "platform/Error.h"
#include "platform/InputFile.h"
#include "platform/Utf8.h"

namespace zumo {
namespace {

constexpr std::string_view kVersionWord = "zumo-recipe";
constexpr std::string_view kSizeWord = "size";

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// Reads one step line; `where` starts every message.
Step ParseStepLine(const std::vector<std::string_view>& words, const std::string& where) {
  const StepInfo* const info = FindStep(words[0]);
  if (info == nullptr) throw Error(where + "不明な処理です: " + Quoted(words[0]));
  Step step = DefaultStep(*info);
  std::vector<bool> seen(static_cast<std::size_t>(info->parameter_count), false);
  for (std::size_t w = 1; w < words.size(); ++w) {
    const std::string_view word = words[w];
    const std::size_t equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    int index = -1;
    for (int p = 0; p < info->parameter_count; ++p)
      if (info->parameters[static_cast<std::size_t>(p)].name == key) index = p;
    if (index < 0 || equals == std::string_view::npos)
      throw Error(where + std::string(info->name) + " に " + Quoted(word) + " という値はありません");
    if (seen[static_cast<std::size_t>(index)])
      throw Error(where + std::string(info->name) + " の " + std::string(key) + " が二度あります");
    seen[static_cast<std::size_t>(index)] = true;
    try {
      ReadParameter(step, index, word.substr(equals + 1), where + std::string(info->name) + " の " + std::string(key));
    } catch (const StepValueError& error) {
      throw Error(error.what());
    }
  }
  for (int p = 0; p < info->parameter_count; ++p)
    if (!seen[static_cast<std::size_t>(p)] && !info->parameters[static_cast<std::size_t>(p)].optional)
      throw Error(where + std::string(info->name) + " には " +
                  std::string(info->parameters[static_cast<std::size_t>(p)].name) + "=… が必要です");
  return step;
}

}  // namespace

std::string FormatRecipe(const Recipe& recipe) {
  std::string text = std::string(kVersionWord) + " " + std::to_string(kRecipeVersion) + "\n";
  for (const std::string& line : FramingLines(recipe.framing)) text += line + "\n";
  text += std::string(kSizeWord) + " " + std::string(NameOf(recipe.size)) + "\n";
  for (const Step& step : recipe.steps) {
    const StepInfo& info = InfoOf(step);
    text += info.name;
    for (int p = 0; p < info.parameter_count; ++p)
      if (const std::optional<std::string> value = ParameterText(step, p))
        text.append(" ").append(info.parameters[static_cast<std::size_t>(p)].name).append("=").append(*value);
    text += "\n";
  }
  return text;
}

Recipe ParseRecipe(std::string_view text, const std::string& source) {
  const std::string name = "レシピ " + source;
  if (text.size() > kMaxRecipeBytes)
    throw Error(name + " は大きすぎます（" + std::to_string(kMaxRecipeBytes / 1024) + " KB まで）");
  if (!IsValidUtf8(text)) throw Error(name + " は UTF-8 の文字として読めません");
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  Recipe recipe;
  bool versioned = false, sized = false;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::vector<std::string_view> words = Words(line);
    if (words.empty() || words[0].starts_with('#')) continue;
    const std::string where = name + " の " + std::to_string(number) + " 行目: ";
    if (!versioned) {
      if (words[0] != kVersionWord || words.size() != 2)
        throw Error(where + "最初に \"" + std::string(kVersionWord) + " " + std::to_string(kRecipeVersion) +
                    "\" の行が必要です");
      if (words[1] != std::to_string(kRecipeVersion))
        throw Error(where + "版 " + Quoted(words[1]) + " のレシピには対応していません (対応は " +
                    std::to_string(kRecipeVersion) + ")");
      versioned = true;
      continue;
    }
    if (ReadFramingLine(words, recipe.framing, where)) {
      if (sized || !recipe.steps.empty()) throw Error(where + std::string(words[0]) + " は size と処理より前に書いてください");
      continue;
    }
    if (words[0] == kSizeWord) {
      if (sized) throw Error(where + "size が二度あります");
      if (!recipe.steps.empty()) throw Error(where + "size は処理より前に書いてください");
      const std::optional<SizePreset> preset = words.size() == 2 ? SizePresetByName(words[1]) : std::nullopt;
      if (!preset) throw Error(where + "size の値は as-loaded, 1600, 1024, 800 のいずれかです");
      recipe.size = *preset;
      sized = true;
      continue;
    }
    recipe.steps.push_back(ParseStepLine(words, where));
  }
  if (!versioned) throw Error(name + " は空です (\"" + std::string(kVersionWord) + " 1\" の行がありません)");
  return recipe;
}

Recipe ReadRecipeFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path, kMaxRecipeBytes);
  return ParseRecipe(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

void WriteRecipeFile(const Recipe& recipe, const std::string& path) {
  const std::string text = FormatRecipe(recipe);
  WriteFileReplacing(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

namespace {

// The recipe text a PNG, WebP or AVIF file carries in its own place ("" for none), or nothing
// when the file is none of these (a JPEG, or no photo at all: the JPEG reading says which).
std::optional<std::string> RecipeOfOtherKinds(std::span<const std::uint8_t> bytes) {
  if (LooksLikePng(bytes)) return ReadPngRecipe(bytes);
  if (LooksLikeWebp(bytes)) return ReadWebpRecipe(bytes);
  if (LooksLikeHeif(bytes)) return ReadAvifRecipe(bytes);
  return std::nullopt;
}

}  // namespace

Recipe ReadRecipeFromPhoto(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  if (const std::optional<std::string> text = RecipeOfOtherKinds(bytes)) {
    if (!text->starts_with(kVersionWord)) throw Error("写真 " + path + " にはレシピがありません");
    return ParseRecipe(*text, path);
  }
  const std::vector<std::string> comments = ReadJpegComments(bytes, kMaxRecipeBytes + 1);
  auto first = comments.begin();
  while (first != comments.end() && !first->starts_with(kVersionWord)) ++first;
  if (first == comments.end()) throw Error("写真 " + path + " にはレシピがありません");
  std::string text = *first;
  for (auto part = first; part + 1 != comments.end() && part->size() == kMaxJpegCommentBytes; ++part)
    text += part[1];
  return ParseRecipe(text, path);
}

}  // namespace zumo
