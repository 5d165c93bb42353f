#include "photofiles/ColourKernel.h"

#include <algorithm>
#include <limits>

#include "platform/Simd.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo::detail {
namespace {

#if ZUMO_SIMD
// The wide kernel's forms of the tables, when every number fits a signed 16-bit lane and the
// encoding never goes down (then the binary search gives exactly the encoding table's level).
void MakeWideTables(SrgbTables& k, const std::int64_t (&matrix)[3][3], const std::int64_t (&linear)[3][256]) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int16_t>::max();
  for (const auto& row : matrix)
    for (const std::int64_t m : row)
      if (m > kMax || m < -kMax) return;
  for (const auto& channel : linear)
    for (const std::int64_t l : channel)
      if (l > kMax || l < -kMax) return;
  for (int i = 0; i < kLinearOne; ++i)
    if (k.encode[i] > k.encode[i + 1]) return;

  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) {
      const auto word = static_cast<std::uint16_t>(linear[2 - c][v]);
      k.linear_low[c][v] = static_cast<std::uint8_t>(word);
      k.linear_high[c][v] = static_cast<std::uint8_t>(word >> 8);
    }
  const auto pair = [](std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(static_cast<std::uint16_t>(low) |
                                     static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16);
  };
  for (int t = 0; t < 3; ++t) {
    k.pair_bg[t] = pair(matrix[2 - t][2], matrix[2 - t][1]);
    k.pair_r[t] = pair(matrix[2 - t][0], kLinearOne / 2);
  }
  // first[c]: the first index whose level is c or more (kLinearOne + 1 when none is).
  std::uint16_t first[256];
  int i = 0;
  for (int c = 0; c < 256; ++c) {
    while (i <= kLinearOne && k.encode[i] < c) ++i;
    first[c] = static_cast<std::uint16_t>(i);
  }
  for (int step = 0; step < 8; ++step)
    for (int prefix = 0; prefix < 128; ++prefix)
      k.search[step][prefix] = prefix < (1 << step) ? first[(2 * prefix + 1) << (7 - step)] : 0;
  k.wide = true;
}
#endif

}  // namespace

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
#if ZUMO_SIMD
  MakeWideTables(*tables, matrix, linear);
#endif
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
#define ZUMO_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// The byte shuffles between 64 pixels (192 bytes in three registers) and three planes of 64
// bytes (B, G, R): plane c's byte j is byte 3j + c; output register o's byte j is byte 64o + j.
struct Shuffles {
  // Plane c from the first two registers, then where split_mask says from the third.
  alignas(64) std::uint8_t split_low[3][64];
  alignas(64) std::uint8_t split_high[3][64];
  std::uint64_t split_mask[3];
  // Output register o from planes B (indices 0..63) and G (64..127), then where join_mask
  // says from plane R.
  alignas(64) std::uint8_t join_low[3][64];
  alignas(64) std::uint8_t join_high[3][64];
  std::uint64_t join_mask[3];
};

constexpr Shuffles MakeShuffles() {
  Shuffles s{};
  for (int c = 0; c < 3; ++c)
    for (int j = 0; j < 64; ++j) {
      const int byte = 3 * j + c;
      s.split_low[c][j] = static_cast<std::uint8_t>(byte & 127);
      s.split_high[c][j] = static_cast<std::uint8_t>(byte & 63);
      if (byte >= 128) s.split_mask[c] |= std::uint64_t{1} << j;
    }
  for (int o = 0; o < 3; ++o)
    for (int j = 0; j < 64; ++j) {
      const int byte = 64 * o + j, plane = byte % 3, pixel = byte / 3;
      s.join_low[o][j] = static_cast<std::uint8_t>(plane == 1 ? 64 + pixel : pixel);
      s.join_high[o][j] = static_cast<std::uint8_t>(pixel);
      if (plane == 2) s.join_mask[o] |= std::uint64_t{1} << j;
    }
  return s;
}

constexpr Shuffles kShuffles = MakeShuffles();

// 64 bytes looked up in a table of 256: two lookups of 128 entries, chosen by the top bit.
ZUMO_WIDE inline __m512i Lookup256(const std::uint8_t* table, __m512i index, __mmask64 top) noexcept {
  const __m512i low = _mm512_permutex2var_epi8(_mm512_load_si512(table), index, _mm512_load_si512(table + 64));
  const __m512i high = _mm512_permutex2var_epi8(_mm512_load_si512(table + 128), index, _mm512_load_si512(table + 192));
  return _mm512_mask_blend_epi8(top, low, high);
}

// The levels of six registers of 32 linear indices: eight steps of a binary search, each
// doubling the prefix found so far and adding 1 where the index reaches the first index of
// the level halfway up. The six searches go side by side, so that their steps overlap.
ZUMO_WIDE inline void EncodeSix(const SrgbTables& k, __m512i (&value)[6]) noexcept {
  const __m512i one = _mm512_set1_epi16(1);
  __m512i above[6], level[6];  // above: index + 1, so that "index >= first" is a saturating subtraction
  const auto reaches = [&](int j, __m512i first) ZUMO_WIDE {
    return _mm512_min_epu16(_mm512_subs_epu16(above[j], first), one);
  };
  const __m512i first_half = _mm512_set1_epi16(static_cast<short>(k.search[0][0]));
  for (int j = 0; j < 6; ++j) {
    above[j] = _mm512_add_epi16(value[j], one);
    level[j] = reaches(j, first_half);
  }
  for (int step = 1; step < 6; ++step) {  // prefixes of up to 5 bits: one register of 32
    const __m512i table = _mm512_load_si512(k.search[step]);
    for (int j = 0; j < 6; ++j)
      level[j] =
          _mm512_add_epi16(_mm512_add_epi16(level[j], level[j]), reaches(j, _mm512_permutexvar_epi16(level[j], table)));
  }
  {  // 6 bits: two registers
    const __m512i low = _mm512_load_si512(k.search[6]), high = _mm512_load_si512(k.search[6] + 32);
    for (int j = 0; j < 6; ++j)
      level[j] = _mm512_add_epi16(_mm512_add_epi16(level[j], level[j]),
                                  reaches(j, _mm512_permutex2var_epi16(low, level[j], high)));
  }
  {  // 7 bits: four registers, chosen by the prefix's top bit
    const __m512i t0 = _mm512_load_si512(k.search[7]), t1 = _mm512_load_si512(k.search[7] + 32);
    const __m512i t2 = _mm512_load_si512(k.search[7] + 64), t3 = _mm512_load_si512(k.search[7] + 96);
    const __m512i top = _mm512_set1_epi16(64);
    for (int j = 0; j < 6; ++j) {
      const __m512i first =
          _mm512_mask_blend_epi16(_mm512_test_epi16_mask(level[j], top), _mm512_permutex2var_epi16(t0, level[j], t1),
                                  _mm512_permutex2var_epi16(t2, level[j], t3));
      level[j] = _mm512_add_epi16(_mm512_add_epi16(level[j], level[j]), reaches(j, first));
    }
  }
  for (int j = 0; j < 6; ++j) value[j] = level[j];
}

// Whole blocks of 64 pixels of `count` rows; returns how many pixels of each row were done.
// The planes' bytes go to 16-bit lanes as unpacked low and high halves of each 128-bit lane,
// and the packs at the end put them back in order.
ZUMO_WIDE int ConvertRowsWide(const SrgbTables& k, std::uint8_t* rows, std::ptrdiff_t stride, int width,
                              int count) noexcept {
  const Shuffles& s = kShuffles;
  const __m512i ones = _mm512_set1_epi16(1), zero = _mm512_setzero_si512(), full = _mm512_set1_epi16(kLinearOne);
  const int blocks = width / 64;
  for (int y = 0; y < count; ++y, rows += stride) {
    std::uint8_t* p = rows;
    for (int b = 0; b < blocks; ++b, p += 192) {
      const __m512i in0 = _mm512_loadu_si512(p), in1 = _mm512_loadu_si512(p + 64), in2 = _mm512_loadu_si512(p + 128);
      __m512i linear[3][2];
      for (int c = 0; c < 3; ++c) {
        const __m512i plane =
            _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(in0, _mm512_load_si512(s.split_low[c]), in1),
                                         s.split_mask[c], _mm512_load_si512(s.split_high[c]), in2);
        const __mmask64 top = _mm512_movepi8_mask(plane);
        const __m512i low = Lookup256(k.linear_low[c], plane, top), high = Lookup256(k.linear_high[c], plane, top);
        linear[c][0] = _mm512_unpacklo_epi8(low, high);
        linear[c][1] = _mm512_unpackhi_epi8(low, high);
      }
      __m512i index[6];  // [2 * target + half]
      for (int h = 0; h < 2; ++h) {
        const __m512i bg0 = _mm512_unpacklo_epi16(linear[0][h], linear[1][h]);
        const __m512i bg1 = _mm512_unpackhi_epi16(linear[0][h], linear[1][h]);
        const __m512i r0 = _mm512_unpacklo_epi16(linear[2][h], ones), r1 = _mm512_unpackhi_epi16(linear[2][h], ones);
        for (int t = 0; t < 3; ++t) {
          const __m512i pair_bg = _mm512_set1_epi32(k.pair_bg[t]), pair_r = _mm512_set1_epi32(k.pair_r[t]);
          const __m512i sum0 = _mm512_add_epi32(_mm512_madd_epi16(bg0, pair_bg), _mm512_madd_epi16(r0, pair_r));
          const __m512i sum1 = _mm512_add_epi32(_mm512_madd_epi16(bg1, pair_bg), _mm512_madd_epi16(r1, pair_r));
          // (The zero-masking form of the shift, with every lane kept, is the same instruction;
          // GCC 12's plain form warns of an uninitialised variable inside its own header.)
          const __m512i packed = _mm512_packs_epi32(_mm512_maskz_srai_epi32(0xffff, sum0, kLinearBits),
                                                    _mm512_maskz_srai_epi32(0xffff, sum1, kLinearBits));
          index[2 * t + h] = _mm512_min_epi16(_mm512_max_epi16(packed, zero), full);
        }
      }
      EncodeSix(k, index);
      const __m512i out_b = _mm512_packus_epi16(index[0], index[1]);
      const __m512i out_g = _mm512_packus_epi16(index[2], index[3]);
      const __m512i out_r = _mm512_packus_epi16(index[4], index[5]);
      for (int o = 0; o < 3; ++o)
        _mm512_storeu_si512(p + 64 * o, _mm512_mask_permutexvar_epi8(
                                            _mm512_permutex2var_epi8(out_b, _mm512_load_si512(s.join_low[o]), out_g),
                                            s.join_mask[o], _mm512_load_si512(s.join_high[o]), out_r));
    }
  }
  return 64 * blocks;
}
#undef ZUMO_WIDE
#endif

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
    const std::uint8_t o0 = k.encode[lo & 0xffff], o1 = k.encode[(lo >> 16) & 0xffff],
                       o2 = k.encode[(lo >> 32) & 0xffff];
    const std::uint8_t o3 = k.encode[hi & 0xffff], o4 = k.encode[(hi >> 16) & 0xffff],
                       o5 = k.encode[(hi >> 32) & 0xffff];
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
  int done = 0;
#if ZUMO_SIMD
  if (tables.wide && HaveAvx512Vbmi()) done = ConvertRowsWide(tables, rows, stride, width, count);
#endif
  for (int y = 0; y < count; ++y, rows += stride) ConvertRow(tables, rows + 3 * done, width - done);
}

}  // namespace zumo::detail
