#pragma once

#include "platform/Simd.h"

// Moving 16 pixels (48 interleaved bytes blue, green, red) to and from three planes of 16
// bytes each, with SSE2 unpacks and packs only.
#if ZUMO_SIMD
#include <emmintrin.h>

namespace zumo::detail {

// One riffle of the 48 bytes held in (a, b, c): byte j of the first half and byte j of the
// second half become neighbours (bytes 2j and 2j + 1).
inline void Riffle(__m128i& a, __m128i& b, __m128i& c) noexcept {
  const __m128i t0 = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(b, b));
  const __m128i t1 = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a, a), c);
  const __m128i t2 = _mm_unpacklo_epi8(b, _mm_unpackhi_epi64(c, c));
  a = t0;
  b = t1;
  c = t2;
}

// The inverse: even bytes to the first half, odd bytes to the second.
inline void Unriffle(__m128i& a, __m128i& b, __m128i& c) noexcept {
  const __m128i low = _mm_set1_epi16(0x00FF);
  const __m128i zero = _mm_setzero_si128();
  const __m128i even_ab = _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low));
  const __m128i even_c = _mm_packus_epi16(_mm_and_si128(c, low), zero);
  const __m128i odd_ab = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
  const __m128i odd_c = _mm_packus_epi16(_mm_srli_epi16(c, 8), zero);
  a = even_ab;
  b = _mm_unpacklo_epi64(even_c, odd_ab);
  c = _mm_unpacklo_epi64(_mm_unpackhi_epi64(odd_ab, odd_ab), odd_c);
}

// 48 interleaved bytes in, the blue, green and red planes out (four riffles).
inline void SplitPlanes(__m128i& a, __m128i& b, __m128i& c) noexcept {
  for (int round = 0; round < 4; ++round) Riffle(a, b, c);
}

// Three planes in, 48 interleaved bytes out.
inline void JoinPlanes(__m128i& a, __m128i& b, __m128i& c) noexcept {
  for (int round = 0; round < 4; ++round) Unriffle(a, b, c);
}

}  // namespace zumo::detail
#endif
