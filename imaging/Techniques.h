#pragma once

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

// The chain of `technique` applied to `base` (the picture already at its size).
TechniqueResult ApplyTechnique(TABitmap& work, const Bitmap& base, Technique technique);

}  // namespace zumo
