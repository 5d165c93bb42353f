#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "Lib/common/SizeStep.h"
#include "imaging/ABitmap.h"
#include "imaging/Techniques.h"

namespace zumo {

// The engine's operations as values: one step run on the whole picture. The window's
// handlers take one, zumo-batch reads them from its command line and from recipes; all of
// them run a step through RunStep, so a replay gives the bytes the window showed.
//
// Each kind lists its fields once, in Fields(): the order in which recipes and the command
// line write them, and the order of its row's parameters in the step table.
namespace steps {

struct ShiftRgb {
  int red = 0, green = 0, blue = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.red, s.green, s.blue); }
  friend bool operator==(const ShiftRgb&, const ShiftRgb&) = default;
};
struct Contrast {
  int percent = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.percent); }
  friend bool operator==(const Contrast&, const Contrast&) = default;
};
struct Brightness {
  int amount = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.amount); }
  friend bool operator==(const Brightness&, const Brightness&) = default;
};
struct Grayscale {
  template <class Self> static auto Fields(Self&) { return std::tie(); }
  friend bool operator==(const Grayscale&, const Grayscale&) = default;
};
struct Desaturate {
  int amount = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.amount); }
  friend bool operator==(const Desaturate&, const Desaturate&) = default;
};
// The generator's seed the noise was drawn with; none: a fresh one (or zumo-batch's --seed).
struct Noise {
  int amount = 0;
  std::optional<std::uint64_t> seed;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.amount, s.seed); }
  friend bool operator==(const Noise&, const Noise&) = default;
};
struct Gamma {
  double gamma = 1.0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.gamma); }
  friend bool operator==(const Gamma&, const Gamma&) = default;
};
struct BoxBlur {
  int radius = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.radius); }
  friend bool operator==(const BoxBlur&, const BoxBlur&) = default;
};
struct Sharpen {
  int weight = 0;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.weight); }
  friend bool operator==(const Sharpen&, const Sharpen&) = default;
};
struct Rank {
  int rank = 5;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.rank); }
  friend bool operator==(const Rank&, const Rank&) = default;
};
struct Edge {
  template <class Self> static auto Fields(Self&) { return std::tie(); }
  friend bool operator==(const Edge&, const Edge&) = default;
};
struct Resample {
  int width = 1, height = 1;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.width, s.height); }
  friend bool operator==(const Resample&, const Resample&) = default;
};
struct Zumo {  // the one-button glow
  template <class Self> static auto Fields(Self&) { return std::tie(); }
  friend bool operator==(const Zumo&, const Zumo&) = default;
};
// A preset technique; `seed` is the noise's, for the techniques that add noise (古杉).
struct TechniqueChain {
  Technique technique = Technique::Omakase;
  std::optional<std::uint64_t> seed;
  template <class Self> static auto Fields(Self& s) { return std::tie(s.technique, s.seed); }
  friend bool operator==(const TechniqueChain&, const TechniqueChain&) = default;
};

}  // namespace steps

// In the order of the step table (and of the help).
using Step = std::variant<steps::ShiftRgb, steps::Contrast, steps::Brightness, steps::Grayscale, steps::Desaturate,
                          steps::Noise, steps::Gamma, steps::BoxBlur, steps::Sharpen, steps::Rank, steps::Edge,
                          steps::Resample, steps::Zumo, steps::TechniqueChain>;

// How a step's value is written on the command line: nothing, whole numbers (one, or three
// for R,G,B, or two for WxH), a real number, or a technique's name.
enum class StepValue { None, Integer, Triple, Size, Real, Technique };

// One field of a step: its name in a recipe line ("radius=3") and its range. An optional
// field (a seed) may be left out of a recipe line and is never given on the command line.
struct StepParameter {
  std::string_view name;
  double min = 0;
  double max = 0;
  bool optional = false;
};

// Everything the command line, its help, the recipes and their checks know of a step.
struct StepInfo {
  std::size_t index;      // the kind's alternative in Step
  std::string_view name;  // the recipe's word; the option is "--" + name
  StepValue value;
  std::string_view value_form;  // how the help writes the value: "R,G,B", "WxH", "P" ...
  std::array<StepParameter, 3> parameters;
  int parameter_count;  // the fields, optional ones included
  std::string_view help_ja;  // the help's description
  std::string_view help_en;
  // The fields the command line's value gives (the required ones).
  int RequiredCount() const noexcept;
};

std::span<const StepInfo> StepTable() noexcept;
// The values the step takes, as the help shows them: "-100〜100", "各 -255〜255" ...
std::string RangeOf(const StepInfo& info);
const StepInfo& InfoOf(const Step& step) noexcept;
const StepInfo* FindStep(std::string_view name) noexcept;
// A step of the row's kind with its fields at their defaults.
Step DefaultStep(const StepInfo& info);

// The techniques' names on the command line and in recipes, and their captions.
struct TechniqueName {
  Technique technique;
  std::string_view name;
  std::string_view caption;
};
std::span<const TechniqueName> TechniqueNames() noexcept;
std::optional<Technique> TechniqueByName(std::string_view name) noexcept;
std::string_view NameOf(Technique technique) noexcept;

// The size presets' names: "as-loaded", "1600", "1024", "800".
std::span<const std::pair<SizePreset, std::string_view>> SizePresetNames() noexcept;
std::optional<SizePreset> SizePresetByName(std::string_view name) noexcept;
std::string_view NameOf(SizePreset preset) noexcept;

// A value that is not a number, or one outside its parameter's range. The message says
// which, after `label` (the option or the recipe's step and parameter).
class StepValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A word of a command line or a recipe as a message quotes it: one of more than 40 bytes is
// cut there (on a character boundary) and marked with "…".
std::string Quoted(std::string_view word);

// Reads field `index` of the step from `text`: a whole number (for a gamma any finite
// number, for a seed any 64-bit unsigned number) in the parameter's range with nothing
// before or after it, or a technique's name. Raises StepValueError otherwise.
void ReadParameter(Step& step, int index, std::string_view text, const std::string& label);

// Field `index`'s value as the command line and recipes write it (the shortest form that
// reads back exactly, for reals); none for an optional field that is not set.
std::optional<std::string> ParameterText(const Step& step, int index);

// True for the steps that leave every picture as it was, whatever its bytes: no colour
// offset, a contrast or brightness of 0, a blur of radius 0. (A desaturation of 0 is not one:
// its two rounded shares darken.) Recipes may leave them out.
bool ChangesNothing(const Step& step) noexcept;

// The step run on `picture`: returns the result. `work` is the chain's working bitmap and is
// left holding what the step's chain leaves in it. `scratch`, when given, receives the
// chain's sharpened picture, for the glow and the techniques with a glow finish.
Bitmap RunStep(TABitmap& work, const Bitmap& picture, const Step& step, std::optional<Bitmap>* scratch = nullptr);

// The steps in order, each on the result of the one before; `work` is left holding the result.
Bitmap RunSteps(TABitmap& work, const Bitmap& picture, const std::vector<Step>& steps);

}  // namespace zumo
