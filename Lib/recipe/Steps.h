#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Lib/common/SizeStep.h"
#include "imaging/ABitmap.h"
#include "imaging/Techniques.h"

namespace zumo {

// The engine's operations as data: one step run on the whole picture. zumo-batch reads them
// from its command line and from recipes, the window records them as it works; both run
// them with ApplySteps, so a replay gives the bytes the window showed.
enum class StepKind {
  ShiftRgb,    // ints = R, G, B
  Contrast,    // ints[0] = P
  Brightness,  // ints[0] = D
  Grayscale,
  Desaturate,  // ints[0] = A
  Noise,       // ints[0] = N
  Gamma,       // real = G
  BoxBlur,     // ints[0] = R
  Sharpen,     // ints[0] = A
  Rank,        // ints[0] = K
  Edge,
  Resample,    // ints = width, height
  Zumo,        // the one-button glow
  Technique,   // technique
};

struct Step {
  StepKind kind;
  std::array<int, 3> ints{};
  double real = 0.0;
  zumo::Technique technique = zumo::Technique::Omakase;
  friend bool operator==(const Step&, const Step&) = default;
};

// How a step's value is written: nothing, whole numbers (one, or three for R,G,B, or two
// for WxH), a real number, or a technique's name.
enum class StepValue { None, Integer, Triple, Size, Real, Technique };

// One argument of a step: its name in a recipe line ("radius=3") and its range.
struct StepParameter {
  std::string_view name;
  double min = 0;
  double max = 0;
};

// Everything the command line, its help, the recipes and their checks know of a step.
struct StepInfo {
  StepKind kind;
  std::string_view name;  // the recipe's word; the option is "--" + name
  StepValue value;
  std::string_view value_form;  // how the help writes the value: "R,G,B", "WxH", "P" ...
  std::array<StepParameter, 3> parameters;
  int parameter_count;
  std::string_view help_ja;  // the help's description
  std::string_view help_en;
};

std::span<const StepInfo> StepTable() noexcept;
// The values the step takes, as the help shows them: "-100〜100", "各 -255〜255" ...
std::string RangeOf(const StepInfo& info);
const StepInfo& InfoOf(StepKind kind) noexcept;
const StepInfo* FindStep(std::string_view name) noexcept;

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

// Reads parameter `index` of the step's kind from `text` into `step`: a whole number (for
// Gamma any finite number) in the parameter's range with nothing before or after it, or a
// technique's name. Raises StepValueError otherwise.
void ReadParameter(Step& step, int index, std::string_view text, const std::string& label);

// Parameter `index`'s value as the command line and recipes write it (the shortest form
// that reads back exactly, for reals).
std::string ParameterText(const Step& step, int index);

// True for the steps that leave every picture as it was, whatever its bytes: no colour
// offset, a contrast or brightness of 0, a blur of radius 0. (A desaturation of 0 is not one:
// its two rounded shares darken.) Recipes may leave them out.
bool ChangesNothing(const Step& step) noexcept;

// Runs one step on `work`, with `work` as the target.
void ApplyStep(TABitmap& work, const Step& step);

// Runs the steps in order on `picture`, each on `work` with `work` as the target, and
// returns the result. `work` is left holding whatever the last step left in it.
Bitmap ApplySteps(TABitmap& work, const Bitmap& picture, const std::vector<Step>& steps);

}  // namespace zumo
