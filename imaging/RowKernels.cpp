#include "imaging/detail/RowKernels.h"

#include <algorithm>
#include <cstring>

#include "platform/Simd.h"

#if ZUMO_SIMD
#include <emmintrin.h>
#endif

namespace zumo::detail {

ChannelOffsets::ChannelOffsets(int blue, int green, int red) noexcept {
  const int given[3] = {blue, green, red};
  zero_ = true;
  for (int c = 0; c < 3; ++c) {
    // Beyond +-255 every byte saturates anyway; clamping keeps the sums inside int.
    offset_[c] = std::clamp(given[c], -255, 255);
    if (offset_[c] != 0) zero_ = false;
  }
  for (int i = 0; i < 48; ++i) {
    const int d = offset_[i % 3];
    raise_[i] = static_cast<std::uint8_t>(d > 0 ? d : 0);
    lower_[i] = static_cast<std::uint8_t>(d < 0 ? -d : 0);
  }
}

void ChannelOffsets::Apply(std::uint8_t* row, std::size_t n) const noexcept {
  std::size_t i = 0;
#if ZUMO_SIMD
  // Only one of raise/lower is non-zero per byte, so add-then-subtract, each saturating,
  // is Clip(v + d).
  const __m128i r0 = _mm_load_si128(reinterpret_cast<const __m128i*>(raise_));
  const __m128i r1 = _mm_load_si128(reinterpret_cast<const __m128i*>(raise_ + 16));
  const __m128i r2 = _mm_load_si128(reinterpret_cast<const __m128i*>(raise_ + 32));
  const __m128i l0 = _mm_load_si128(reinterpret_cast<const __m128i*>(lower_));
  const __m128i l1 = _mm_load_si128(reinterpret_cast<const __m128i*>(lower_ + 16));
  const __m128i l2 = _mm_load_si128(reinterpret_cast<const __m128i*>(lower_ + 32));
  for (; i + 48 <= n; i += 48) {
    __m128i* p = reinterpret_cast<__m128i*>(row + i);
    const __m128i v0 = _mm_loadu_si128(p);
    const __m128i v1 = _mm_loadu_si128(p + 1);
    const __m128i v2 = _mm_loadu_si128(p + 2);
    _mm_storeu_si128(p, _mm_subs_epu8(_mm_adds_epu8(v0, r0), l0));
    _mm_storeu_si128(p + 1, _mm_subs_epu8(_mm_adds_epu8(v1, r1), l1));
    _mm_storeu_si128(p + 2, _mm_subs_epu8(_mm_adds_epu8(v2, r2), l2));
  }
#endif
  // The tail (or the whole row without SSE2) starts at a multiple of 3: channel 0.
  for (int c = 0; i < n; ++i) {
    const int v = row[i] + offset_[c];
    row[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    c = c == 2 ? 0 : c + 1;
  }
}

void MapBytes(std::uint8_t* row, std::size_t n, const std::uint8_t (&table)[256]) noexcept {
  std::size_t i = 0;
  // Eight bytes per load and store; the lookups themselves stay byte-wise.
  for (; i + 8 <= n; i += 8) {
    std::uint64_t in;
    std::memcpy(&in, row + i, 8);
    std::uint64_t out = 0;
    for (int k = 0; k < 8; ++k) out |= std::uint64_t{table[(in >> (8 * k)) & 0xFF]} << (8 * k);
    std::memcpy(row + i, &out, 8);
  }
  for (; i < n; ++i) row[i] = table[row[i]];
}

void BlendBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t n, int a) noexcept {
  const int b = 256 - a;
  std::size_t i = 0;
#if ZUMO_SIMD
  // 8-bit by 8-bit products summed in 16 bits: at most 255 * 256, no overflow.
  const __m128i zero = _mm_setzero_si128();
  const __m128i wa = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wb = _mm_set1_epi16(static_cast<short>(b));
  for (; i + 16 <= n; i += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(source + i) + 512, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(target + i) + 512, _MM_HINT_T0);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i));
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wa), _mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), wb)), 8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wa), _mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), wb)), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) target[i] = static_cast<std::uint8_t>((source[i] * a + target[i] * b) >> 8);
}

}  // namespace zumo::detail
