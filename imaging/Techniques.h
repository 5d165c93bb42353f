#pragma once

#include <cstdint>
#include <optional>

#include "imaging/ABitmap.h"

namespace zumo {

// The pixel chains of the one-button Zumo filter and of the four preset techniques. The
// window and zumo-batch both run them, so the two can never disagree. Each takes the
// shared working bitmap `work` (left holding what the chain leaves in it) and returns new
// pictures; the caller's pictures are not changed.

// The glow's blur radius for pictures whose sides are both at most 800, in the one-button
// filter and the techniques that end with a glow (おまかせ！ uses a smaller one).
inline constexpr int kGlowSmallestRadius = 5;

// Blur radius of the glow by the picture's size: both sides at most 800 -> smallest,
// at most 1024 -> 6, at most 1600 -> 8, otherwise 10.
int GlowBlurRadius(int width, int height, int smallest = kGlowSmallestRadius);

struct GlowResult {
  Bitmap result;     // the blurred picture with 100/256 of the sharpened one laid over it
  Bitmap sharpened;  // the sharpened intermediate (the filter's scratch picture)
};

// Sharpen 50, box blur with GlowBlurRadius, overlay of the sharpened picture at alpha 100.
GlowResult ApplyGlow(TABitmap& work, const Bitmap& picture, int smallest_radius = kGlowSmallestRadius);

enum class Technique { Omakase, Furusugi, Hadesugi, Yarisugi };  // Leave it to me, Too old, Too flashy, Overdone

struct TechniqueResult {
  Bitmap result;
  std::optional<Bitmap> scratch;  // the sharpened intermediate, for the chains with a glow finish
};

// The chain of `technique` applied to `base` (the picture already at its size). A chain that
// adds noise draws it with `noise_seed`, or with a fresh seed when there is none.
TechniqueResult ApplyTechnique(TABitmap& work, const Bitmap& base, Technique technique,
                               std::optional<std::uint64_t> noise_seed = std::nullopt);

// Whether the chain of `technique` adds noise (and so takes a seed).
constexpr bool AddsNoise(Technique technique) noexcept { return technique == Technique::Furusugi; }

// What the sliders' positions ask of the engine. The sliders have their minimum at the top,
// so raising one (a negative position) strengthens what its label names.
namespace sliders {

struct ColourShift {
  int red, green, blue;
};
// The three colour sliders: ShiftRGB by -2 x each position.
ColourShift ColourShiftFor(int red_position, int green_position, int blue_position) noexcept;

// The contrast slider (-100..100): Contrast by -position.
int ContrastFor(int position) noexcept;

// The sharpness slider (-120..120): above the middle a sharpen of weight -position, at and
// below it a box blur whose radius is position / 20, truncated (0 for 0..19: no change).
struct Sharpness {
  bool sharpen;
  int amount;  // the sharpen's weight or the blur's radius
};
Sharpness SharpnessFor(int position) noexcept;

// The brightness slider (-100..100): Brightness by -position.
std::int16_t BrightnessFor(int position) noexcept;

// The colour/monochrome slider (0..255): Desaturate by the position.
std::uint8_t DesaturationFor(int position) noexcept;

}  // namespace sliders

}  // namespace zumo
