#pragma once

#include <cstdint>

namespace zumo {

// A colour byte c of opacity a (0 transparent .. 255 opaque) laid over white:
//   out = (a * c + (255 - a) * 255 + 127) / 255   (integer division)
// the exact blend a/255 * c + (1 - a/255) * 255 rounded to the nearest integer (a tie cannot
// occur: the denominator is odd). a = 255 gives c, a = 0 gives 255.
constexpr std::uint8_t OverWhite(unsigned c, unsigned a) noexcept {
  return static_cast<std::uint8_t>((a * c + (255 - a) * 255 + 127) / 255);
}

// Rows of `width` pixels in the byte order R, G, B, A (or B, G, R, A when bgr_input) to our
// B, G, R rows, laid over white.
inline void RowOverWhite(std::uint8_t* bgr, const std::uint8_t* rgba, int width, bool bgr_input) noexcept {
  const int r = bgr_input ? 2 : 0, b = bgr_input ? 0 : 2;
  for (int x = 0; x < width; ++x, rgba += 4, bgr += 3) {
    const unsigned a = rgba[3];
    bgr[0] = OverWhite(rgba[b], a);
    bgr[1] = OverWhite(rgba[1], a);
    bgr[2] = OverWhite(rgba[r], a);
  }
}

}  // namespace zumo
