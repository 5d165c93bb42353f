#pragma once

#include <cmath>
#include <cstdint>

namespace zumo::detail {

// The grey level of a pixel: Round(0.299 * red + 0.587 * green + 0.114 * blue), the weights
// being the extended-precision values nearest to those decimals and the sum evaluated in
// extended precision, left to right.
inline int ExactGrayLevel(int blue, int green, int red) noexcept {
  return static_cast<int>(std::rint(0.299L * red + 0.587L * green + 0.114L * blue));
}

// The same value, computed in integers. The exact weighted sum is K / 1000 with
// K = 299 red + 587 green + 114 blue. The extended-precision sum differs from it by less
// than 1e-15 (three products and two sums, each rounded to a 64-bit significand, of values
// below 256), while K / 1000 is at least 0.001 away from the nearest half-integer unless K
// ends in 500. So outside those ties the rounded sum is floor((K + 500) / 1000), and the
// ties (about one colour in a thousand) are left to the extended-precision formula, whose
// own rounding errors decide them.
inline int GrayLevel(int blue, int green, int red) noexcept {
  const std::uint32_t s = 299u * static_cast<std::uint32_t>(red) + 587u * static_cast<std::uint32_t>(green) +
                          114u * static_cast<std::uint32_t>(blue) + 500u;
  // floor(s / 1000) for s <= 255500: 4294968 = ceil(2^32 / 1000), error below 1 / 1000.
  const std::uint32_t q = static_cast<std::uint32_t>((std::uint64_t{s} * 4294968u) >> 32);
  if (s != q * 1000u) return static_cast<int>(q);
  return ExactGrayLevel(blue, green, red);
}

}  // namespace zumo::detail
