#include "Lib/recipe/Steps.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <type_traits>
#include <variant>

#include "Lib/common/BitmapUtils.h"
#include "platform/Bitmap.h"

namespace zumo {
namespace {

template <class Kind>
constexpr std::size_t IndexOf() {
  return Step(Kind{}).index();
}

// The one table of the steps. Ranges are what the engine's argument types and meanings
// allow: colour offsets and brightness within a channel's span, weights and amounts of one
// byte, the blur radius up to the largest the engine distinguishes (90), and a resample to
// any size a bitmap may have.
constexpr StepParameter kSeed{"seed", 0, 0, true};
constexpr StepInfo kSteps[] = {
    {IndexOf<steps::ShiftRgb>(), "shift-rgb", StepValue::Triple, "R,G,B",
     {{{"red", -255, 255}, {"green", -255, 255}, {"blue", -255, 255}}}, 3, "色のずらし", "add to red, green, blue"},
    {IndexOf<steps::Contrast>(), "contrast", StepValue::Integer, "P", {{{"percent", -100, 100}}}, 1, "コントラスト %",
     "contrast in percent"},
    {IndexOf<steps::Brightness>(), "brightness", StepValue::Integer, "D", {{{"amount", -255, 255}}}, 1, "明るさ",
     "brightness"},
    {IndexOf<steps::Grayscale>(), "grayscale", StepValue::None, "", {}, 0, "モノクロ", "grey"},
    {IndexOf<steps::Desaturate>(), "desaturate", StepValue::Integer, "A", {{{"amount", 0, 255}}}, 1, "彩度を下げる",
     "mix towards grey"},
    {IndexOf<steps::Noise>(), "noise", StepValue::Integer, "N", {{{"amount", 0, 255}, kSeed}}, 2, "ノイズ", "noise"},
    {IndexOf<steps::Gamma>(), "gamma", StepValue::Real, "G", {{{"gamma", 0.75, 3.0}}}, 1, "トーンカーブ", "tone curve"},
    {IndexOf<steps::BoxBlur>(), "box-blur", StepValue::Integer, "R", {{{"radius", 0, 90}}}, 1, "ぼかし、半径 R",
     "box blur of radius R"},
    {IndexOf<steps::Sharpen>(), "sharpen", StepValue::Integer, "A", {{{"weight", 0, 255}}}, 1, "シャープ、強さ A",
     "sharpen with weight A"},
    {IndexOf<steps::Rank>(), "rank", StepValue::Integer, "K", {{{"rank", 1, 9}}}, 1, "3x3 の K 番目、5 でメディアン",
     "3x3 rank filter (5: median)"},
    {IndexOf<steps::Edge>(), "edge", StepValue::None, "", {}, 0, "エッジ抽出", "edge map"},
    {IndexOf<steps::Resample>(), "resample", StepValue::Size, "WxH",
     {{{"width", 1, Bitmap::kMaxWidth}, {"height", 1, Bitmap::kMaxHeight}}}, 2, "幅 W、高さ H に縮小・拡大",
     "area-averaging resize to W x H"},
    {IndexOf<steps::Zumo>(), "zumo", StepValue::None, "", {}, 0, "Zumoフィルタ", "the Zumo glow filter"},
    {IndexOf<steps::TechniqueChain>(), "technique", StepValue::Technique, "T", {{{"name", 0, 0}, kSeed}}, 2, "丼勘定技",
     "the preset techniques"},
};

// Row k of the table describes alternative k of Step, with one parameter for each field.
constexpr bool TableFollowsSteps() {
  if (std::size(kSteps) != std::variant_size_v<Step>) return false;
  for (std::size_t k = 0; k < std::size(kSteps); ++k)
    if (kSteps[k].index != k) return false;
  return true;
}
static_assert(TableFollowsSteps());

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

// Calls `visit(field)` with field `index` of the step's kind.
template <class StepRef, class Visit>
void WithField(StepRef& step, int index, Visit&& visit) {
  std::visit(
      [&](auto& kind) {
        auto fields = std::remove_cvref_t<decltype(kind)>::Fields(kind);
        std::apply(
            [&](auto&... field) {
              int k = 0;
              ((k++ == index ? visit(field) : void()), ...);
            },
            fields);
      },
      step);
}

// The readers of one field's text, by the field's type.
void ReadField(int& field, std::string_view text, const StepParameter& parameter, const std::string& label) {
  const std::string shown = Quoted(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    Refuse(label + " の値 \"" + shown + "\" は整数ではありません");
  if (value < parameter.min || value > parameter.max)
    Refuse(label + " の値 " + shown + " は範囲外です (" + RangeText(parameter) + ")");
  field = static_cast<int>(value);
}

void ReadField(double& field, std::string_view text, const StepParameter& parameter, const std::string& label) {
  const std::string shown = Quoted(text);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    Refuse(label + " の値 \"" + shown + "\" は数値ではありません");
  if (value < parameter.min || value > parameter.max)
    Refuse(label + " の値 " + shown + " は範囲外です (" + RangeText(parameter, true) + ")");
  field = value;
}

void ReadField(std::optional<std::uint64_t>& field, std::string_view text, const StepParameter&,
               const std::string& label) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    Refuse(label + " の値 \"" + Quoted(text) + "\" は 0 以上の整数ではありません");
  field = value;
}

void ReadField(Technique& field, std::string_view text, const StepParameter&, const std::string& label);

// The writers of one field, by its type.
std::optional<std::string> FieldText(int value) { return std::to_string(value); }
std::optional<std::string> FieldText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}
std::optional<std::string> FieldText(const std::optional<std::uint64_t>& seed) {
  if (!seed) return std::nullopt;
  return std::to_string(*seed);
}
std::optional<std::string> FieldText(Technique technique);

}  // namespace

std::string Quoted(std::string_view word) {
  constexpr std::size_t kShown = 40;
  if (word.size() <= kShown) return std::string(word);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
  return std::string(word.substr(0, cut)) + "…";
}

std::span<const StepInfo> StepTable() noexcept { return kSteps; }

int StepInfo::RequiredCount() const noexcept {
  int count = 0;
  for (int p = 0; p < parameter_count; ++p) count += parameters[static_cast<std::size_t>(p)].optional ? 0 : 1;
  return count;
}

const StepInfo& InfoOf(const Step& step) noexcept { return kSteps[step.index()]; }

const StepInfo* FindStep(std::string_view name) noexcept {
  for (const StepInfo& info : kSteps)
    if (info.name == name) return &info;
  return nullptr;
}

Step DefaultStep(const StepInfo& info) {
  Step step;
  // Every alternative default-constructs: step through them to the row's.
  [&]<std::size_t... k>(std::index_sequence<k...>) {
    ((k == info.index ? void(step.emplace<k>()) : void()), ...);
  }(std::make_index_sequence<std::variant_size_v<Step>>());
  return step;
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

namespace {

void ReadField(Technique& field, std::string_view text, const StepParameter&, const std::string& label) {
  const std::optional<Technique> technique = TechniqueByName(text);
  if (!technique) {
    std::string names;
    for (const TechniqueName& t : kTechniques) names += (names.empty() ? "" : ", ") + std::string(t.name);
    Refuse(label + " の値 \"" + Quoted(text) + "\" は不明です (" + names + ")");
  }
  field = *technique;
}

std::optional<std::string> FieldText(Technique technique) { return std::string(NameOf(technique)); }

}  // namespace

void ReadParameter(Step& step, int index, std::string_view text, const std::string& label) {
  const StepParameter& parameter = InfoOf(step).parameters.at(static_cast<std::size_t>(index));
  WithField(step, index, [&](auto& field) { ReadField(field, text, parameter, label); });
}

std::optional<std::string> ParameterText(const Step& step, int index) {
  std::optional<std::string> text;
  WithField(step, index, [&](const auto& field) { text = FieldText(field); });
  return text;
}

std::string RangeOf(const StepInfo& info) {
  if (info.value == StepValue::Technique) {
    std::string names;
    for (const TechniqueName& t : kTechniques)
      names += (names.empty() ? "" : ", ") + std::string(t.name) + " (" + std::string(t.caption) + ")";
    return names;
  }
  std::string range;
  for (int i = 0; i < info.RequiredCount(); ++i) {
    const std::string one = RangeText(info.parameters[static_cast<std::size_t>(i)], info.value == StepValue::Real);
    if (i > 0 && info.value == StepValue::Triple) break;  // the three share their range
    range += (i > 0 ? " x " : "") + one;
  }
  return info.value == StepValue::Triple ? "各 " + range : range;
}

bool ChangesNothing(const Step& step) noexcept {
  if (const auto* shift = std::get_if<steps::ShiftRgb>(&step))
    return shift->red == 0 && shift->green == 0 && shift->blue == 0;
  if (const auto* contrast = std::get_if<steps::Contrast>(&step)) return contrast->percent == 0;
  if (const auto* brightness = std::get_if<steps::Brightness>(&step)) return brightness->amount == 0;
  if (const auto* blur = std::get_if<steps::BoxBlur>(&step)) return blur->radius == 0;
  return false;
}

namespace {

template <class... Kinds>
struct Overloaded : Kinds... {
  using Kinds::operator()...;
};
template <class... Kinds>
Overloaded(Kinds...) -> Overloaded<Kinds...>;  // clang before 17 deduces no aggregate's arguments

}  // namespace

Bitmap RunStep(TABitmap& work, const Bitmap& picture, const Step& step, std::optional<Bitmap>* scratch) {
  // The point operations and the filters without a from-source form change a copy of the
  // picture in place; the copy shares its pixels until the operation's first write.
  auto in_place = [&](auto operation) {
    work.Assign(picture);
    operation();
    return Bitmap(work);
  };
  auto chain = [&](Bitmap result, std::optional<Bitmap> sharpened) {
    if (scratch && sharpened) *scratch = std::move(*sharpened);
    return result;
  };
  return std::visit(
      Overloaded{
          [&](const steps::ShiftRgb& s) { return in_place([&] { work.ShiftRGB(s.red, s.green, s.blue, work); }); },
          [&](const steps::Contrast& s) { return in_place([&] { work.Contrast(s.percent, work); }); },
          [&](const steps::Brightness& s) {
            return in_place([&] { work.Brightness(work, static_cast<std::int16_t>(s.amount)); });
          },
          [&](const steps::Grayscale&) { return in_place([&] { work.Grayscale(work); }); },
          [&](const steps::Desaturate& s) {
            return in_place([&] { work.Desaturate(work, static_cast<std::uint8_t>(s.amount)); });
          },
          [&](const steps::Noise& s) {
            return in_place([&] { work.AddNoise(work, static_cast<std::uint8_t>(s.amount), s.seed); });
          },
          [&](const steps::Gamma& s) { return in_place([&] { work.Gamma(work, s.gamma); }); },
          // The filters take the picture straight into `work`, as the in-place form would filter it.
          [&](const steps::BoxBlur& s) {
            work.BoxBlur(s.radius, picture, work);
            return Bitmap(work);
          },
          [&](const steps::Sharpen& s) {
            work.Sharpen(s.weight, picture, work);
            return Bitmap(work);
          },
          [&](const steps::Rank& s) {
            return in_place([&] { work.RankFilter(work, static_cast<std::uint8_t>(s.rank)); });
          },
          [&](const steps::Edge&) { return in_place([&] { work.EdgeFilter(work); }); },
          [&](const steps::Resample& s) {
            work.Assign(*ResampleBitmap(picture, s.width, s.height));
            return Bitmap(work);
          },
          [&](const steps::Zumo&) {
            GlowResult glow = ApplyGlow(work, picture, kGlowSmallestRadius);
            return chain(std::move(glow.result), std::move(glow.sharpened));
          },
          [&](const steps::TechniqueChain& s) {
            TechniqueResult made = ApplyTechnique(work, picture, s.technique, s.seed);
            return chain(std::move(made.result), std::move(made.scratch));
          },
      },
      step);
}

Bitmap RunSteps(TABitmap& work, const Bitmap& picture, const std::vector<Step>& steps) {
  Bitmap result = picture;
  for (const Step& step : steps) result = RunStep(work, result, step);
  work.Assign(result);
  return result;
}

}  // namespace zumo
