#include "Lib/recipe/Steps.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "Lib/common/BitmapUtils.h"
#include "platform/Bitmap.h"

namespace zumo {
namespace {

// The one table of the steps. Ranges are what the engine's argument types and meanings
// allow: colour offsets and brightness within a channel's span, weights and amounts of one
// byte, the blur radius up to the largest the engine distinguishes (90), and a resample to
// any size a bitmap may have.
constexpr StepInfo kSteps[] = {
    {StepKind::ShiftRgb, "shift-rgb", StepValue::Triple, "R,G,B",
     {{{"red", -255, 255}, {"green", -255, 255}, {"blue", -255, 255}}}, 3, "色のずらし", "add to red, green, blue"},
    {StepKind::Contrast, "contrast", StepValue::Integer, "P", {{{"percent", -100, 100}}}, 1, "コントラスト %",
     "contrast in percent"},
    {StepKind::Brightness, "brightness", StepValue::Integer, "D", {{{"amount", -255, 255}}}, 1, "明るさ",
     "brightness"},
    {StepKind::Grayscale, "grayscale", StepValue::None, "", {}, 0, "モノクロ", "grey"},
    {StepKind::Desaturate, "desaturate", StepValue::Integer, "A", {{{"amount", 0, 255}}}, 1, "彩度を下げる",
     "mix towards grey"},
    {StepKind::Noise, "noise", StepValue::Integer, "N", {{{"amount", 0, 255}}}, 1, "ノイズ", "noise"},
    {StepKind::Gamma, "gamma", StepValue::Real, "G", {{{"gamma", 0.75, 3.0}}}, 1, "トーンカーブ", "tone curve"},
    {StepKind::BoxBlur, "box-blur", StepValue::Integer, "R", {{{"radius", 0, 90}}}, 1, "ぼかし、半径 R",
     "box blur of radius R"},
    {StepKind::Sharpen, "sharpen", StepValue::Integer, "A", {{{"weight", 0, 255}}}, 1, "シャープ、強さ A",
     "sharpen with weight A"},
    {StepKind::Rank, "rank", StepValue::Integer, "K", {{{"rank", 1, 9}}}, 1, "3x3 の K 番目、5 でメディアン",
     "3x3 rank filter (5: median)"},
    {StepKind::Edge, "edge", StepValue::None, "", {}, 0, "エッジ抽出", "edge map"},
    {StepKind::Resample, "resample", StepValue::Size, "WxH",
     {{{"width", 1, Bitmap::kMaxWidth}, {"height", 1, Bitmap::kMaxHeight}}}, 2, "幅 W、高さ H に縮小・拡大",
     "area-averaging resize to W x H"},
    {StepKind::Zumo, "zumo", StepValue::None, "", {}, 0, "Zumoフィルタ", "the Zumo glow filter"},
    {StepKind::Technique, "technique", StepValue::Technique, "T", {{{"name", 0, 0}}}, 1, "丼勘定技",
     "the preset techniques"},
};

constexpr TechniqueName kTechniques[] = {{Technique::Omakase, "omakase", "おまかせ！"},
                                         {Technique::Furusugi, "furusugi", "古杉"},
                                         {Technique::Hadesugi, "hadesugi", "派手杉"},
                                         {Technique::Yarisugi, "yarisugi", "槍杉"}};

constexpr std::pair<SizePreset, std::string_view> kSizes[] = {{SizePreset::AsLoaded, "as-loaded"},
                                                              {SizePreset::Long1600, "1600"},
                                                              {SizePreset::Long1024, "1024"},
                                                              {SizePreset::Long800, "800"}};

// "min〜max"; real bounds keep one decimal at least ("3.0").
std::string RangeText(const StepParameter& p, bool real = false) {
  auto text = [real](double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s += real ? "0" : "";
    if (s.back() == '.') s.pop_back();
    return s;
  };
  return text(p.min) + "〜" + text(p.max);
}

[[noreturn]] void Refuse(const std::string& message) { throw StepValueError(message); }

}  // namespace

std::string Quoted(std::string_view word) {
  constexpr std::size_t kShown = 40;
  if (word.size() <= kShown) return std::string(word);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
  return std::string(word.substr(0, cut)) + "…";
}

std::span<const StepInfo> StepTable() noexcept { return kSteps; }

const StepInfo& InfoOf(StepKind kind) noexcept {
  for (const StepInfo& info : kSteps)
    if (info.kind == kind) return info;
  return kSteps[0];  // not reached: every kind has its row
}

const StepInfo* FindStep(std::string_view name) noexcept {
  for (const StepInfo& info : kSteps)
    if (info.name == name) return &info;
  return nullptr;
}

std::span<const TechniqueName> TechniqueNames() noexcept { return kTechniques; }

std::optional<Technique> TechniqueByName(std::string_view name) noexcept {
  for (const TechniqueName& t : kTechniques)
    if (t.name == name) return t.technique;
  return std::nullopt;
}

std::string_view NameOf(Technique technique) noexcept {
  for (const TechniqueName& t : kTechniques)
    if (t.technique == technique) return t.name;
  return {};
}

std::span<const std::pair<SizePreset, std::string_view>> SizePresetNames() noexcept { return kSizes; }

std::optional<SizePreset> SizePresetByName(std::string_view name) noexcept {
  for (const auto& [preset, text] : kSizes)
    if (text == name) return preset;
  return std::nullopt;
}

std::string_view NameOf(SizePreset preset) noexcept {
  for (const auto& [p, text] : kSizes)
    if (p == preset) return text;
  return {};
}

void ReadParameter(Step& step, int index, std::string_view text, const std::string& label) {
  const StepInfo& info = InfoOf(step.kind);
  const std::string shown = Quoted(text);
  if (info.value == StepValue::Technique) {
    const std::optional<Technique> technique = TechniqueByName(text);
    if (!technique) {
      std::string names;
      for (const TechniqueName& t : kTechniques) names += (names.empty() ? "" : ", ") + std::string(t.name);
      Refuse(label + " の値 \"" + shown + "\" は不明です (" + names + ")");
    }
    step.technique = *technique;
    return;
  }
  const StepParameter& parameter = info.parameters.at(static_cast<std::size_t>(index));
  const char* const first = text.data();
  const char* const last = text.data() + text.size();
  if (info.value == StepValue::Real) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(value))
      Refuse(label + " の値 \"" + shown + "\" は数値ではありません");
    if (value < parameter.min || value > parameter.max)
      Refuse(label + " の値 " + shown + " は範囲外です (" + RangeText(parameter, true) + ")");
    step.real = value;
    return;
  }
  long long value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (text.empty() || error != std::errc() || end != last)
    Refuse(label + " の値 \"" + shown + "\" は整数ではありません");
  if (value < parameter.min || value > parameter.max)
    Refuse(label + " の値 " + shown + " は範囲外です (" + RangeText(parameter) + ")");
  step.ints.at(static_cast<std::size_t>(index)) = static_cast<int>(value);
}

std::string ParameterText(const Step& step, int index) {
  switch (InfoOf(step.kind).value) {
    case StepValue::Technique:
      return std::string(NameOf(step.technique));
    case StepValue::Real: {
      char text[32];
      const auto result = std::to_chars(text, text + sizeof text, step.real);
      return std::string(text, result.ptr);
    }
    default:
      return std::to_string(step.ints.at(static_cast<std::size_t>(index)));
  }
}

std::string RangeOf(const StepInfo& info) {
  if (info.value == StepValue::Technique) {
    std::string names;
    for (const TechniqueName& t : kTechniques)
      names += (names.empty() ? "" : ", ") + std::string(t.name) + " (" + std::string(t.caption) + ")";
    return names;
  }
  std::string range;
  for (int i = 0; i < info.parameter_count; ++i) {
    const std::string one = RangeText(info.parameters[static_cast<std::size_t>(i)], info.value == StepValue::Real);
    if (i > 0 && info.value == StepValue::Triple) break;  // the three share their range
    range += (i > 0 ? " x " : "") + one;
  }
  return info.value == StepValue::Triple ? "各 " + range : range;
}

bool ChangesNothing(const Step& step) noexcept {
  switch (step.kind) {
    case StepKind::ShiftRgb:
      return step.ints[0] == 0 && step.ints[1] == 0 && step.ints[2] == 0;
    case StepKind::Contrast:
    case StepKind::Brightness:
    case StepKind::BoxBlur:
      return step.ints[0] == 0;
    default:
      return false;
  }
}

void ApplyStep(TABitmap& work, const Step& step) {
  const auto& v = step.ints;
  switch (step.kind) {
    case StepKind::ShiftRgb:
      work.ShiftRGB(v[0], v[1], v[2], work);
      break;
    case StepKind::Contrast:
      work.Contrast(v[0], work);
      break;
    case StepKind::Brightness:
      work.Brightness(work, static_cast<std::int16_t>(v[0]));
      break;
    case StepKind::Grayscale:
      work.Grayscale(work);
      break;
    case StepKind::Desaturate:
      work.Desaturate(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Noise:
      work.AddNoise(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Gamma:
      work.Gamma(work, step.real);
      break;
    case StepKind::BoxBlur:
      work.BoxBlur(v[0], work);
      break;
    case StepKind::Sharpen:
      work.Sharpen(v[0], work);
      break;
    case StepKind::Rank:
      work.RankFilter(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Edge:
      work.EdgeFilter(work);
      break;
    case StepKind::Resample: {
      const std::unique_ptr<Bitmap> resized = ResampleBitmap(work, v[0], v[1]);
      work.Assign(*resized);
      break;
    }
    case StepKind::Zumo: {
      const Bitmap current(work);
      work.Assign(ApplyGlow(work, current, kGlowSmallestRadius).result);
      break;
    }
    case StepKind::Technique: {
      const Bitmap current(work);
      work.Assign(ApplyTechnique(work, current, step.technique).result);
      break;
    }
  }
}

Bitmap ApplySteps(TABitmap& work, const Bitmap& picture, const std::vector<Step>& steps) {
  work.Assign(picture);
  for (const Step& step : steps) ApplyStep(work, step);
  return Bitmap(work);
}

}  // namespace zumo
