#include "imaging/Techniques.h"

namespace zumo {

namespace {

// Constants shared by the chains.
constexpr int kSharpenWeight = 50;
constexpr std::uint16_t kOverlayAlpha = 100;
constexpr double kGamma = 1.2;
constexpr std::uint8_t kMedianRank = 5;

constexpr int kOmakaseSmallestRadius = 4;

}  // namespace

int GlowBlurRadius(int width, int height, int smallest) {
  if (width <= 800 && height <= 800) return smallest;
  if (width <= 1024 && height <= 1024) return 6;
  if (width <= 1600 && height <= 1600) return 8;
  return 10;
}

namespace {

// The glow on the picture `work` already holds. Every copy below is a copy-on-write share:
// a pixel buffer is duplicated only when an operation writes to a picture that still
// shares it. When nobody else holds `work`'s picture, the chain costs one whole copy (the
// blur's input, as the sharpened picture must survive) besides its three passes.
GlowResult GlowOnWork(TABitmap& work, int smallest_radius) {
  work.Sharpen(kSharpenWeight, work);
  Bitmap sharpened(work);

  work.Assign(sharpened);
  work.BoxBlur(GlowBlurRadius(sharpened.Width(), sharpened.Height(), smallest_radius), work);
  Bitmap blurred(work);

  // The sharpened picture goes back into `work` before the blend, which releases the
  // blurred buffer to `blurred` alone: the overlay then writes it without a copy.
  work.Assign(sharpened);
  work.Overlay(0, 0, sharpened.Width(), sharpened.Height(), blurred, kOverlayAlpha);

  return GlowResult{std::move(blurred), std::move(sharpened)};
}

// The glow finish of a technique: `work` holds the chain's intermediate picture, and no
// other picture shares it, so the sharpen writes it without a copy.
TechniqueResult FinishWithGlow(TABitmap& work, int smallest_radius) {
  GlowResult glow = GlowOnWork(work, smallest_radius);
  return TechniqueResult{std::move(glow.result), std::move(glow.sharpened)};
}

// Too old: a grey, grainy, softened picture tinted towards yellow.
TechniqueResult TooOld(TABitmap& work, const Bitmap& base, std::optional<std::uint64_t> noise_seed) {
  work.Assign(base);
  work.Contrast(10, work);
  work.Gamma(work, kGamma);
  work.AddNoise(work, 40, noise_seed);
  work.Brightness(work, 5);
  work.Grayscale(work);
  work.BoxBlur(1, work);
  work.ShiftRGB(5, 5, -5, work);
  return TechniqueResult{Bitmap(work), std::nullopt};
}

TechniqueResult TooFlashy(TABitmap& work, const Bitmap& base) {
  work.Assign(base);
  work.Gamma(work, kGamma);
  return FinishWithGlow(work, kGlowSmallestRadius);
}

TechniqueResult LeaveItToMe(TABitmap& work, const Bitmap& base) {
  work.Assign(base);
  work.Contrast(5, work);
  work.ShiftRGB(5, 0, 10, work);
  return FinishWithGlow(work, kOmakaseSmallestRadius);
}

// Overdone: the edge map laid over the median picture, then the glow.
TechniqueResult Overdone(TABitmap& work, const Bitmap& base) {
  work.Assign(base);
  work.RankFilter(work, kMedianRank);
  Bitmap median(work);

  work.Assign(base);
  work.EdgeFilter(work);
  const Bitmap edges(work);

  // The rectangle takes the edge map's width and the median picture's height; both are
  // the base's size.
  work.Overlay(0, 0, edges.Width(), median.Height(), median, kOverlayAlpha);

  // The glow starts from the blended median picture; handing its buffer over to `work`
  // alone spares the sharpen a copy.
  work.Assign(median);
  median = Bitmap();
  return FinishWithGlow(work, kGlowSmallestRadius);
}

}  // namespace

GlowResult ApplyGlow(TABitmap& work, const Bitmap& picture, int smallest_radius) {
  work.Assign(picture);
  return GlowOnWork(work, smallest_radius);
}

TechniqueResult ApplyTechnique(TABitmap& work, const Bitmap& base, Technique technique,
                               std::optional<std::uint64_t> noise_seed) {
  switch (technique) {
    case Technique::Furusugi:
      return TooOld(work, base, noise_seed);
    case Technique::Hadesugi:
      return TooFlashy(work, base);
    case Technique::Yarisugi:
      return Overdone(work, base);
    case Technique::Omakase:
      break;
  }
  return LeaveItToMe(work, base);
}

namespace sliders {

ColourShift ColourShiftFor(int red_position, int green_position, int blue_position) noexcept {
  return {-2 * red_position, -2 * green_position, -2 * blue_position};
}

int ContrastFor(int position) noexcept { return -position; }

Sharpness SharpnessFor(int position) noexcept {
  if (position < 0) return {true, -position};
  // The radius is the quotient as a real number, truncated toward zero.
  return {false, static_cast<int>(position / 20.0)};
}

std::int16_t BrightnessFor(int position) noexcept { return static_cast<std::int16_t>(-position); }

std::uint8_t DesaturationFor(int position) noexcept { return static_cast<std::uint8_t>(position); }

}  // namespace sliders

}  // namespace zumo
