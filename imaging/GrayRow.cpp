#include "imaging/detail/GrayRow.h"

#include "imaging/detail/GrayLevel.h"
#include "imaging/detail/PixelPlanes.h"
#include "platform/Simd.h"

namespace zumo::detail {
namespace {

void GrayPixels(std::uint8_t* p, int count) noexcept {
  for (int x = 0; x < count; ++x, p += 3) {
    const auto y = static_cast<std::uint8_t>(GrayLevel(p[0], p[1], p[2]));
    p[0] = y;
    p[1] = y;
    p[2] = y;
  }
}

#if ZUMO_SIMD
// s = 299 red + 587 green + 114 blue + 500 for four pixels, in 32-bit lanes, from 16-bit
// lanes of the three planes.
inline __m128i WeightedSum(__m128i red_green, __m128i blue_one) noexcept {
  const __m128i w_rg = _mm_set1_epi32(299 | (587 << 16));
  const __m128i w_b1 = _mm_set1_epi32(114 | (500 << 16));
  return _mm_add_epi32(_mm_madd_epi16(red_green, w_rg), _mm_madd_epi16(blue_one, w_b1));
}

// floor(s / 1000) for eight sums given as s >> 3 and s & 7 (16-bit lanes); ties (s a
// multiple of 1000) are flagged, as their level is left to the extended-precision formula.
inline __m128i Levels(__m128i s0, __m128i s1, __m128i& tie) noexcept {
  const __m128i eighths = _mm_packs_epi32(_mm_srli_epi32(s0, 3), _mm_srli_epi32(s1, 3));  // <= 31937
  const __m128i seven = _mm_set1_epi32(7);
  const __m128i rest = _mm_packs_epi32(_mm_and_si128(s0, seven), _mm_and_si128(s1, seven));
  // floor(x / 125) = (x * 33555) >> 22 for x < 32768.
  const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(eighths, _mm_set1_epi16(static_cast<short>(33555))), 6);
  const __m128i exact = _mm_cmpeq_epi16(eighths, _mm_mullo_epi16(q, _mm_set1_epi16(125)));
  tie = _mm_or_si128(tie, _mm_and_si128(exact, _mm_cmpeq_epi16(rest, _mm_setzero_si128())));
  return q;
}

// Grey levels of 16 pixels; false when one of them is a tie.
inline bool Levels16(const std::uint8_t* p, __m128i& levels) noexcept {
  __m128i blue = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i green = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  __m128i red = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  SplitPlanes(blue, green, red);

  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i b_lo = _mm_unpacklo_epi8(blue, zero), b_hi = _mm_unpackhi_epi8(blue, zero);
  const __m128i g_lo = _mm_unpacklo_epi8(green, zero), g_hi = _mm_unpackhi_epi8(green, zero);
  const __m128i r_lo = _mm_unpacklo_epi8(red, zero), r_hi = _mm_unpackhi_epi8(red, zero);
  const __m128i s0 = WeightedSum(_mm_unpacklo_epi16(r_lo, g_lo), _mm_unpacklo_epi16(b_lo, one));
  const __m128i s1 = WeightedSum(_mm_unpackhi_epi16(r_lo, g_lo), _mm_unpackhi_epi16(b_lo, one));
  const __m128i s2 = WeightedSum(_mm_unpacklo_epi16(r_hi, g_hi), _mm_unpacklo_epi16(b_hi, one));
  const __m128i s3 = WeightedSum(_mm_unpackhi_epi16(r_hi, g_hi), _mm_unpackhi_epi16(b_hi, one));
  __m128i tie = zero;
  const __m128i q_lo = Levels(s0, s1, tie);
  const __m128i q_hi = Levels(s2, s3, tie);
  if (_mm_movemask_epi8(tie) != 0) return false;
  levels = _mm_packus_epi16(q_lo, q_hi);
  return true;
}
#endif

}  // namespace

void GrayRow(std::uint8_t* row, int width) noexcept {
  int x = 0;
#if ZUMO_SIMD
  for (; x + 16 <= width; x += 16) {
    std::uint8_t* p = row + 3 * x;
    // Much work per byte: the hardware prefetcher falls behind without a hint.
    _mm_prefetch(reinterpret_cast<const char*>(p) + 1024, _MM_HINT_T0);
    __m128i levels;
    if (!Levels16(p, levels)) {
      GrayPixels(p, 16);
      continue;
    }
    __m128i a = levels, b = levels, c = levels;
    JoinPlanes(a, b, c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), c);
  }
#endif
  GrayPixels(row + 3 * x, width - x);
}

}  // namespace zumo::detail
