#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Bitmap.h"

namespace zumo {

// One pixel as it lies in memory.
struct BgrPixel {
  std::uint8_t b, g, r;
};

// The working bitmap: a 24-bit bitmap carrying the retouching operations.
//
// Apart from Overlay and SetSize the operations neither read nor write the object they are
// called on: they change the Target given to them, in place. The object is only their home
// and may itself be the target.
class TABitmap : public Bitmap {
 public:
  TABitmap();
  TABitmap(const TABitmap& other) = default;
  TABitmap& operator=(const TABitmap& other) = default;
  explicit TABitmap(const Bitmap& other);
  ~TABitmap() override;

  std::unique_ptr<Bitmap> NewInstance() const override;

  // Width first, then height.
  void SetSize(int W, int H);

  // V clamped to 0..255.
  static constexpr int Clip(int V) noexcept { return V < 0 ? 0 : (V > 255 ? 255 : V); }
  // X multiplied by itself N further times in extended precision: X^(N+1), or X for N <= 0.
  static long double Power(int N, long double X) noexcept;

  // --- point operations ---
  // Blends this bitmap's pixels over the rectangle (X, Y, W, H) of Target with weight
  // Alpha/256 (Alpha above 255 counts as 255; 0 changes nothing).
  void Overlay(int X, int Y, int W, int H, Bitmap& Target, std::uint16_t Alpha) const;
  void ShiftRGB(int R, int G, int B, Bitmap& Target);
  void Contrast(int P, Bitmap& Target);
  void Brightness(Bitmap& Target, std::int16_t D);
  void Grayscale(Bitmap& Target);
  void Desaturate(Bitmap& Target, std::uint8_t A);
  void AddNoise(Bitmap& Target, std::uint8_t N);
  // The same with the generator seeded by `seed`; none: as AddNoise(Target, N).
  void AddNoise(Bitmap& Target, std::uint8_t N, std::optional<std::uint64_t> seed);
  void Gamma(Bitmap& Target, double G);

  // Fixes the noise generator's seed for every later AddNoise (tests, the batch tool);
  // std::nullopt returns to a fresh seed from the clock on every call.
  static void FixNoiseSeed(std::optional<std::uint64_t> seed);
  // The seed the next AddNoise without a seed of its own would draw with: the fixed one, or
  // a fresh one from the clock. A caller that records how a picture was made takes its seed
  // here and passes it on.
  static std::uint64_t NewNoiseSeed() noexcept;

  // --- neighbourhood filters ---
  void BoxBlur(int R, Bitmap& Target);
  void Sharpen(int A, Bitmap& Target);
  // Target receives Source, filtered as the in-place form would filter it; Source is not changed.
  void BoxBlur(int R, const Bitmap& Source, Bitmap& Target);
  // Target receives Source, filtered as the in-place form would filter it; Source is not changed.
  void Sharpen(int A, const Bitmap& Source, Bitmap& Target);
  void RankFilter(Bitmap& Target, std::uint8_t K);
  void EdgeFilter(Bitmap& Target);

  // A table of the bitmap's row pointers, entry y for row y. Valid while the bitmap is
  // neither resized nor replaced.
  static std::unique_ptr<std::uint8_t*[]> ScanlineTable(Bitmap& bitmap);
};

// The pixel of rank K (1..9, 1 = smallest) among nine, as a packed colour
// blue + 256 * green + 65536 * red.
std::int32_t RankOf9(std::array<BgrPixel, 9> pixels, std::uint8_t K);

}  // namespace zumo
