#include "imaging/detail/ByteCurve.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "imaging/detail/RowKernels.h"
#include "platform/Simd.h"

#if ZUMO_SIMD
#include <emmintrin.h>
#endif

namespace zumo::detail {
namespace {

#if ZUMO_SIMD
// Four vectors of 32-bit lanes holding 16 bytes, widened without sign.
struct Widened {
  __m128i q[4];
};

inline Widened Widen(__m128i v) noexcept {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_unpacklo_epi8(v, zero);
  const __m128i hi = _mm_unpackhi_epi8(v, zero);
  return {{_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero), _mm_unpacklo_epi16(hi, zero),
           _mm_unpackhi_epi16(hi, zero)}};
}
#endif

void ApplyLinear(std::uint8_t* row, std::size_t n, int slope, int offset, int shift) noexcept {
  std::size_t i = 0;
#if ZUMO_SIMD
  // pmaddwd multiplies the low 16 bits of each lane by the slope (the high halves are 0);
  // the two saturating packs then clip to 0..255.
  const __m128i m = _mm_set1_epi32(slope & 0xFFFF);
  const __m128i b = _mm_set1_epi32(offset);
  const __m128i s = _mm_cvtsi32_si128(shift);
  for (; i + 16 <= n; i += 16) {
    const Widened w = Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
    __m128i r[4];
    for (int k = 0; k < 4; ++k) r[k] = _mm_sra_epi32(_mm_add_epi32(_mm_madd_epi16(w.q[k], m), b), s);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(r[0], r[1]), _mm_packs_epi32(r[2], r[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), packed);
  }
#endif
  for (; i < n; ++i) {
    const int v = (row[i] * slope + offset) >> shift;  // arithmetic shift: floor
    row[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

void ApplyShortLine(std::uint8_t* row, std::size_t n, int slope, int offset, int shift) noexcept {
  std::size_t i = 0;
#if ZUMO_SIMD
  // Unpacking below a zero byte gives old << 8; the high half of its product with the
  // slope is (old * slope) >> 8. FitShortLine picks offsets with which no sum leaves 16 bits.
  const __m128i zero = _mm_setzero_si128();
  const __m128i m = _mm_set1_epi16(static_cast<short>(slope));
  const __m128i b = _mm_set1_epi16(static_cast<short>(offset));
  const __m128i s = _mm_cvtsi32_si128(shift);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i lo = _mm_sra_epi16(_mm_adds_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, v), m), b), s);
    const __m128i hi = _mm_sra_epi16(_mm_adds_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, v), m), b), s);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    const int v = (((row[i] << 8) * slope >> 16) + offset) >> shift;
    row[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

// floor((v * v + 127) / 255), the division done as (x + 1 + (x >> 8)) >> 8 in 16 bits.
void ApplySquare(std::uint8_t* row, std::size_t n) noexcept {
  std::size_t i = 0;
#if ZUMO_SIMD
  const __m128i zero = _mm_setzero_si128();
  const __m128i c127 = _mm_set1_epi16(127);
  const __m128i one = _mm_set1_epi16(1);
  for (; i + 16 <= n; i += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(row + i) + 512, _MM_HINT_T0);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    __m128i half[2] = {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)};
    for (__m128i& h : half) {
      const __m128i x = _mm_add_epi16(_mm_mullo_epi16(h, h), c127);
      h = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_packus_epi16(half[0], half[1]));
  }
#endif
  for (; i < n; ++i) {
    const unsigned x = row[i] * row[i] + 127u;
    row[i] = static_cast<std::uint8_t>((x + 1 + (x >> 8)) >> 8);
  }
}

}  // namespace

ByteCurve::ByteCurve(const std::uint8_t (&table)[256]) noexcept {
  std::copy(std::begin(table), std::end(table), table_);
  bool identity = true;
  for (int v = 0; v < 256; ++v) identity = identity && table_[v] == v;
  if (identity) {
    kind_ = Kind::kIdentity;
  } else if (FitShortLine() && Reproduces(Kind::kShortLine)) {
    kind_ = Kind::kShortLine;
  } else if (FitLine() && Reproduces(Kind::kLinear)) {
    kind_ = Kind::kLinear;
  } else if (Reproduces(Kind::kSquare)) {
    kind_ = Kind::kSquare;
  } else {
    kind_ = Kind::kTable;
  }
}

// Looks for a slope and offset with clip((v * slope + offset) >> kShift) = table[v] for every
// v. Each byte bounds the offset to an interval; slopes near the table's own are tried and
// the first with a non-empty intersection is kept.
bool ByteCurve::FitLine() noexcept {
  constexpr long long unit = 1LL << kShift;
  const long long rise = static_cast<long long>(table_[255]) - table_[0];
  // Only the unclipped part of the table tells the slope.
  int first = 0, last = 255;
  while (first < 255 && (table_[first] == 0 || table_[first] == 255)) ++first;
  while (last > 0 && (table_[last] == 0 || table_[last] == 255)) --last;
  long long guess = rise * unit / 255;
  if (last > first) guess = (static_cast<long long>(table_[last]) - table_[first]) * unit / (last - first);
  constexpr long long kLimit = 1LL << 24;  // keeps every intermediate well inside 32 bits
  for (long long delta = 0; delta <= 64; delta = delta <= 0 ? 1 - delta : -delta) {
    const long long slope = guess + delta;
    if (slope < -32767 || slope > 32767) continue;
    long long low = -kLimit, high = kLimit;
    for (int v = 0; v < 256 && low <= high; ++v) {
      const long long t = table_[v];
      const long long base = v * slope;
      if (t > 0) low = std::max(low, t * unit - base);
      if (t < 255) high = std::min(high, (t + 1) * unit - 1 - base);
    }
    if (low <= high) {
      slope_ = static_cast<int>(slope);
      offset_ = static_cast<int>(low);
      return true;
    }
  }
  return false;
}

// The same search for the 16-bit form: the product term is (v * slope) >> 8 for a slope in
// 0..32767, exactly as the kernel computes it, and the offset must fit 16 bits.
bool ByteCurve::FitShortLine() noexcept {
  constexpr long long unit = 1LL << kShortShift;
  int first = 0, last = 255;
  while (first < 255 && (table_[first] == 0 || table_[first] == 255)) ++first;
  while (last > 0 && (table_[last] == 0 || table_[last] == 255)) --last;
  if (last <= first) return false;
  const long long guess = (static_cast<long long>(table_[last]) - table_[first]) * unit * 256 / (last - first);
  for (long long delta = 0; delta <= 64; delta = delta <= 0 ? 1 - delta : -delta) {
    const long long slope = guess + delta;
    if (slope < 0 || slope > 32767) continue;
    long long low = -32768, high = 32767 - 255 * slope / 256;  // no saturation inside the range
    for (int v = 0; v < 256 && low <= high; ++v) {
      const long long t = table_[v];
      const long long product = (v * 256 * slope) >> 16;
      if (t > 0) low = std::max(low, t * unit - product);
      if (t < 255) high = std::min(high, (t + 1) * unit - 1 - product);
    }
    if (low <= high) {
      short_slope_ = static_cast<int>(slope);
      short_offset_ = static_cast<int>(low);
      return true;
    }
  }
  return false;
}

bool ByteCurve::Reproduces(Kind kind) const noexcept {
  // Each byte value twice over, so that both the vector body and the scalar tail are tried.
  std::uint8_t ramp[512 + 7];
  for (int i = 0; i < 512 + 7; ++i) ramp[i] = static_cast<std::uint8_t>(i);
  ApplyWith(kind, ramp, 512);
  ApplyWith(kind, ramp + 512, 7);
  for (int i = 0; i < 512; ++i)
    if (ramp[i] != table_[i & 255]) return false;
  for (int i = 0; i < 7; ++i)
    if (ramp[512 + i] != table_[i]) return false;
  // The tail alone covers few values: run every value through the scalar path as well.
  for (int v = 0; v < 256; ++v) {
    std::uint8_t one = static_cast<std::uint8_t>(v);
    ApplyWith(kind, &one, 1);
    if (one != table_[v]) return false;
  }
  return true;
}

void ByteCurve::ApplyWith(Kind kind, std::uint8_t* row, std::size_t n) const noexcept {
  switch (kind) {
    case Kind::kIdentity:
      return;
    case Kind::kShortLine:
      ApplyShortLine(row, n, short_slope_, short_offset_, kShortShift);
      return;
    case Kind::kLinear:
      ApplyLinear(row, n, slope_, offset_, kShift);
      return;
    case Kind::kSquare:
      ApplySquare(row, n);
      return;
    case Kind::kTable:
      MapBytes(row, n, table_);
      return;
  }
}

void ByteCurve::Apply(std::uint8_t* row, std::size_t n) const noexcept { ApplyWith(kind_, row, n); }

}  // namespace zumo::detail
