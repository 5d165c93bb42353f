#include "platform/ColourKernel.h"

#include <algorithm>
#include <limits>

#include "platform/Simd.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo::detail {

std::unique_ptr<const SrgbTables> MakeSrgbTables(const std::int64_t (&matrix)[3][3],
                                                 const std::int64_t (&linear)[3][256], const SrgbEncoding& encoding) {
  auto tables = std::make_unique<SrgbTables>();
  // Byte c of a pixel is channel 2 - c; so is lane t of the sums. Every sum a pixel can make
  // must fit an int32: the extremes of the three parts of a lane, added.
  std::int64_t highest[3] = {kLinearOne / 2, kLinearOne / 2, kLinearOne / 2};
  std::int64_t lowest[3] = {kLinearOne / 2, kLinearOne / 2, kLinearOne / 2};
  for (int c = 0; c < 3; ++c)
    for (int t = 0; t < 3; ++t) {
      std::int64_t high = std::numeric_limits<std::int64_t>::min(), low = std::numeric_limits<std::int64_t>::max();
      for (int v = 0; v < 256; ++v) {
        const std::int64_t part = matrix[2 - t][2 - c] * linear[2 - c][v];
        if (part > std::numeric_limits<std::int32_t>::max() / 2 || part < std::numeric_limits<std::int32_t>::min() / 2)
          return nullptr;
        high = std::max(high, part);
        low = std::min(low, part);
        tables->part[c][v][t] = static_cast<std::int32_t>(part + (c == 0 ? kLinearOne / 2 : 0));
      }
      highest[t] += high;
      lowest[t] += low;
    }
  for (int t = 0; t < 3; ++t)
    if (highest[t] > std::numeric_limits<std::int32_t>::max() || lowest[t] < std::numeric_limits<std::int32_t>::min())
      return nullptr;
  for (auto& level : tables->part)
    for (auto& lanes : level) lanes[3] = 0;
  std::copy(encoding.begin(), encoding.end(), tables->encode);
  return tables;
}

namespace {

// The linear 1.14 sum of one target byte, clamped to 0..1.
inline int Clamped(std::int32_t sum) noexcept { return std::clamp(sum >> kLinearBits, 0, kLinearOne); }

void ConvertPixel(const SrgbTables& k, std::uint8_t* p) noexcept {
  const std::int32_t* b = k.part[0][p[0]];
  const std::int32_t* g = k.part[1][p[1]];
  const std::int32_t* r = k.part[2][p[2]];
  const std::uint8_t out0 = k.encode[Clamped(b[0] + g[0] + r[0])];
  const std::uint8_t out1 = k.encode[Clamped(b[1] + g[1] + r[1])];
  const std::uint8_t out2 = k.encode[Clamped(b[2] + g[2] + r[2])];
  p[0] = out0;
  p[1] = out1;
  p[2] = out2;
}

#if ZUMO_SIMD
// Two pixels at a time: the four-lane sums of both are packed to 16 bits with saturation
// and clamped together, which gives what Clamped does.
void ConvertRow(const SrgbTables& k, std::uint8_t* p, int width) noexcept {
  const auto* part = reinterpret_cast<const __m128i*>(&k.part[0][0][0]);
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(kLinearOne);
  int x = 0;
  for (; x + 2 <= width; x += 2, p += 6) {
    __m128i a = _mm_add_epi32(_mm_load_si128(part + p[0]), _mm_load_si128(part + 256 + p[1]));
    __m128i b = _mm_add_epi32(_mm_load_si128(part + p[3]), _mm_load_si128(part + 256 + p[4]));
    a = _mm_add_epi32(a, _mm_load_si128(part + 512 + p[2]));
    b = _mm_add_epi32(b, _mm_load_si128(part + 512 + p[5]));
    const __m128i both = _mm_min_epi16(
        _mm_max_epi16(_mm_packs_epi32(_mm_srai_epi32(a, kLinearBits), _mm_srai_epi32(b, kLinearBits)), zero), one);
    const auto lo = static_cast<std::uint64_t>(_mm_cvtsi128_si64(both));
    const auto hi = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(both, both)));
    const std::uint8_t o0 = k.encode[lo & 0xffff], o1 = k.encode[(lo >> 16) & 0xffff], o2 = k.encode[(lo >> 32) & 0xffff];
    const std::uint8_t o3 = k.encode[hi & 0xffff], o4 = k.encode[(hi >> 16) & 0xffff], o5 = k.encode[(hi >> 32) & 0xffff];
    p[0] = o0;
    p[1] = o1;
    p[2] = o2;
    p[3] = o3;
    p[4] = o4;
    p[5] = o5;
  }
  if (x < width) ConvertPixel(k, p);
}
#else
void ConvertRow(const SrgbTables& k, std::uint8_t* p, int width) noexcept {
  for (int x = 0; x < width; ++x, p += 3) ConvertPixel(k, p);
}
#endif

}  // namespace

void ConvertRows(const SrgbTables& tables, std::uint8_t* rows, std::ptrdiff_t stride, int width, int count) noexcept {
  for (int y = 0; y < count; ++y, rows += stride) ConvertRow(tables, rows, width);
}

}  // namespace zumo::detail
