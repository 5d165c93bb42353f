#pragma once

// The conversion kernel of SrgbConverter for matrix/shaper profiles (platform-internal).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Simd.h"

namespace zumo::detail {

// The kernel's fixed point, as lcms2's 8-bit matrix/shaper pipeline has it: linear light in
// 1.14 (1.0 = 16384), so that our results are lcms2's results, not merely close to them.
inline constexpr int kLinearBits = 14;
inline constexpr int kLinearOne = 1 << kLinearBits;

// Linear light in 1.14, clamped to 0..1, to an 8-bit sRGB level.
using SrgbEncoding = std::array<std::uint8_t, kLinearOne + 1>;

// part[c][v] holds, for source byte c (B, G, R) at level v, what it adds to each target byte's
// linear value (lanes B, G, R and a spare 0): one matrix coefficient times the channel's
// linear value, both in 1.14, with the rounding term of the 1.14 product already added into
// the blue byte's table. A pixel is then three lookups and two additions of four lanes, a
// shift, a clamp to 0..1 and the encoding table.
struct SrgbTables {
  alignas(64) std::int32_t part[3][256][4];
  alignas(64) std::uint8_t encode[kLinearOne + 1];
#if ZUMO_SIMD
  // The same numbers for the wide kernel (AVX-512 with VBMI, 64 pixels at a time), when they
  // fit its 16-bit lanes: each source byte's linear values as low and high bytes, the matrix
  // as pairs of 16-bit coefficients per target byte (B with G, R with the rounding term, whose
  // partner is a lane of ones), and the encoding as a binary search for the level: search[k]
  // holds, for each level prefix of k bits, the first index of level (2 * prefix + 1) << (7 - k).
  bool wide = false;
  alignas(64) std::uint8_t linear_low[3][256];
  alignas(64) std::uint8_t linear_high[3][256];
  std::int32_t pair_bg[3];
  std::int32_t pair_r[3];
  alignas(64) std::uint16_t search[8][128];
#endif
};

// The tables for a matrix from linear source RGB to linear sRGB (rows and columns in the order
// R, G, B) and the linear value of each source channel at each 8-bit level, all in 1.14; null
// when a sum of a pixel could leave 32 bits (no real profile comes near).
std::unique_ptr<const SrgbTables> MakeSrgbTables(const std::int64_t (&matrix)[3][3],
                                                 const std::int64_t (&linear)[3][256], const SrgbEncoding& encoding);

// Converts `count` rows of `width` pixels, `stride` bytes apart, in place. Target byte t of a
// pixel is encoding[clamp((sum over sources s of matrix[t][s] * linear[s][level of s] + 8192) >> 14)],
// with the bytes' order B, G, R: exactly lcms2's 8-bit arithmetic.
void ConvertRows(const SrgbTables& tables, std::uint8_t* rows, std::ptrdiff_t stride, int width, int count) noexcept;

}  // namespace zumo::detail
