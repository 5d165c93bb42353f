#include "imaging/detail/DesaturateRow.h"

#include "imaging/detail/PixelPlanes.h"
#include "platform/Simd.h"

namespace zumo::detail {
namespace {

#if ZUMO_SIMD
// The block loop computes long enough per byte that the hardware prefetcher falls behind
// on pictures larger than the cache: ask for the bytes a few blocks ahead.
constexpr int kPrefetchAhead = 1024;
#endif

void DesaturatePixels(std::uint8_t* p, int count, int a) noexcept {
  for (int x = 0; x < count; ++x, p += 3) {
    const int mean_part = (((p[0] + p[1] + p[2]) / 3) * a) >> 8;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(((p[c] * (255 - a)) >> 8) + mean_part);
  }
}

}  // namespace

void DesaturateRow(std::uint8_t* row, int width, std::uint8_t A) noexcept {
  int x = 0;
#if ZUMO_SIMD
  // Every product fits 16 bits (255 * 255); m = s div 3 = (s * 43691) >> 17, exact for
  // s <= 765 (43691 = (2^17 + 1) / 3).
  const __m128i zero = _mm_setzero_si128();
  const __m128i own_weight = _mm_set1_epi16(static_cast<short>(255 - A));
  const __m128i mean_weight = _mm_set1_epi16(static_cast<short>(A));
  const __m128i third = _mm_set1_epi16(static_cast<short>(43691));
  for (; x + 16 <= width; x += 16) {
    __m128i* p = reinterpret_cast<__m128i*>(row + 3 * x);
    _mm_prefetch(reinterpret_cast<const char*>(p) + kPrefetchAhead, _MM_HINT_T0);
    __m128i plane[3] = {_mm_loadu_si128(p), _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2)};
    SplitPlanes(plane[0], plane[1], plane[2]);
    __m128i lo[3], hi[3];
    for (int c = 0; c < 3; ++c) {
      lo[c] = _mm_unpacklo_epi8(plane[c], zero);
      hi[c] = _mm_unpackhi_epi8(plane[c], zero);
    }
    const __m128i sum_lo = _mm_add_epi16(_mm_add_epi16(lo[0], lo[1]), lo[2]);
    const __m128i sum_hi = _mm_add_epi16(_mm_add_epi16(hi[0], hi[1]), hi[2]);
    const __m128i mean_lo = _mm_srli_epi16(_mm_mulhi_epu16(sum_lo, third), 1);
    const __m128i mean_hi = _mm_srli_epi16(_mm_mulhi_epu16(sum_hi, third), 1);
    const __m128i part_lo = _mm_srli_epi16(_mm_mullo_epi16(mean_lo, mean_weight), 8);
    const __m128i part_hi = _mm_srli_epi16(_mm_mullo_epi16(mean_hi, mean_weight), 8);
    for (int c = 0; c < 3; ++c) {
      const __m128i new_lo = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(lo[c], own_weight), 8), part_lo);
      const __m128i new_hi = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(hi[c], own_weight), 8), part_hi);
      plane[c] = _mm_packus_epi16(new_lo, new_hi);
    }
    JoinPlanes(plane[0], plane[1], plane[2]);
    for (int k = 0; k < 3; ++k) _mm_storeu_si128(p + k, plane[k]);
  }
#endif
  DesaturatePixels(row + 3 * x, width - x, A);
}

}  // namespace zumo::detail
