// Straightening: bilinear samples of the turned picture, in the fixed point that Framing.h
// sets out. Along a target row the source position moves by a constant step, so each row is
// walked with two additions per pixel; the pixels whose four neighbours all lie inside the
// picture (one run, the picture being convex) skip the clamping.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imaging/Framing.h"
#include "imaging/detail/RowBands.h"
#include "platform/Simd.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo {
namespace {

constexpr int kPositionBits = 17;  // positions in units of 2^-17 pixel
constexpr int kWeightShift = 10;   // the 7 bits below the pixel: the bilinear weights
constexpr int kWeightMask = 127;
constexpr int kWeightOne = 128;
constexpr int kRound = 1 << 13;
constexpr int kResultShift = 14;

struct Source {
  const std::uint8_t* bits;
  std::ptrdiff_t stride;
  int width, height;
  std::int64_t max_x, max_y;  // the last pixel's position
  // The vector kernel works in 32-bit positions (a picture of at most 16384 rows) and reads
  // 8 bytes from each of the two rows, 2 bytes past a pixel pair: from no offset above this.
  bool vector_fits;
  std::int64_t last_vector_offset;
};

// One target pixel from the source position (px, py), clamped into the picture.
inline void SampleClamped(const Source& src, std::int64_t px, std::int64_t py, std::uint8_t* out) {
  px = std::clamp<std::int64_t>(px, 0, src.max_x);
  py = std::clamp<std::int64_t>(py, 0, src.max_y);
  const int x0 = static_cast<int>(px >> kPositionBits), y0 = static_cast<int>(py >> kPositionBits);
  const int fx = static_cast<int>(px >> kWeightShift) & kWeightMask;
  const int fy = static_cast<int>(py >> kWeightShift) & kWeightMask;
  const int x1 = std::min(x0 + 1, src.width - 1), y1 = std::min(y0 + 1, src.height - 1);
  const std::uint8_t* r0 = src.bits + src.stride * y0;
  const std::uint8_t* r1 = src.bits + src.stride * y1;
  for (int c = 0; c < 3; ++c) {
    const int a = r0[3 * x0 + c] * (kWeightOne - fx) + r0[3 * x1 + c] * fx;
    const int b = r1[3 * x0 + c] * (kWeightOne - fx) + r1[3 * x1 + c] * fx;
    out[c] = static_cast<std::uint8_t>((a * (kWeightOne - fy) + b * fy + kRound) >> kResultShift);
  }
}

inline bool Inside(const Source& src, std::int64_t px, std::int64_t py) {
  return px >= 0 && px < src.max_x && py >= 0 && py < src.max_y;
}

#if ZUMO_SIMD
// The 8 bytes at row + at[0..3], one 64-bit lane each.
__attribute__((target("avx2"))) inline __m256i LoadFour(const std::uint8_t* row, const std::int32_t* at) {
  std::int64_t q[4];
  for (int k = 0; k < 4; ++k) std::memcpy(&q[k], row + at[k], 8);
  const __m128i lo = _mm_insert_epi64(_mm_cvtsi64_si128(q[0]), q[1], 1);
  const __m128i hi = _mm_insert_epi64(_mm_cvtsi64_si128(q[2]), q[3], 1);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// SampleInside eight pixels at a time; returns how many were done. The 8 source bytes from
// each neighbour pair (of rows y0 and y0 + 1) are gathered per pixel; the horizontal blend is
// (127 - fx, fx) on byte pairs plus the left byte once, the vertical one word pairs with
// (128 - fy, fy): the rule's integers, exactly.
__attribute__((target("avx2"))) int SampleInsideAvx2(const Source& src, std::int64_t px, std::int64_t py,
                                                     std::int64_t dx, std::int64_t dy, int count,
                                                     std::uint8_t* out) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i vx = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(px)),
                                _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(dx))));
  __m256i vy = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(py)),
                                _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(dy))));
  const __m256i step_x = _mm256_set1_epi32(static_cast<int>(8 * dx));
  const __m256i step_y = _mm256_set1_epi32(static_cast<int>(8 * dy));
  const __m256i stride = _mm256_set1_epi32(static_cast<int>(src.stride));
  const __m256i last_offset = _mm256_set1_epi32(static_cast<int>(src.last_vector_offset));
  const __m256i weight_mask = _mm256_set1_epi32(kWeightMask);
  const __m256i w127 = _mm256_set1_epi32(kWeightOne - 1);
  const __m256i w128 = _mm256_set1_epi32(kWeightOne);
  const __m256i round = _mm256_set1_epi32(kRound);
  // Per gathered qword [b0 g0 r0 b1 g1 r1 . .]: the byte pairs (b0 b1)(g0 g1)(r0 r1)(0 0), and
  // b0 g0 r0 0 as words.
  const __m256i pairs = _mm256_setr_epi8(0, 3, 1, 4, 2, 5, -1, -1, 8, 11, 9, 12, 10, 13, -1, -1, 0, 3, 1, 4, 2, 5, -1,
                                         -1, 8, 11, 9, 12, 10, 13, -1, -1);
  const __m256i lefts = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 8, -1, 9, -1, 10, -1, -1, -1, 0, -1, 1, -1, 2, -1,
                                         -1, -1, 8, -1, 9, -1, 10, -1, -1, -1);
  const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                                           9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i in_order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
  const __m256i close_up = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  int i = 0;
  for (; i + 8 <= count; i += 8, out += 24) {
    const __m256i x0 = _mm256_srai_epi32(vx, kPositionBits);
    const __m256i y0 = _mm256_srai_epi32(vy, kPositionBits);
    const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(y0, stride), _mm256_add_epi32(x0, _mm256_add_epi32(x0, x0)));
    // Near the end of the picture the 8-byte reads could leave it: those pixels go one by one.
    if (!_mm256_testz_si256(_mm256_cmpgt_epi32(offset, last_offset), _mm256_set1_epi32(-1))) break;
    alignas(32) std::int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), offset);
    const __m256i fx = _mm256_and_si256(_mm256_srai_epi32(vx, kWeightShift), weight_mask);
    const __m256i fy = _mm256_and_si256(_mm256_srai_epi32(vy, kWeightShift), weight_mask);
    const __m256i wx_pair = _mm256_or_si256(_mm256_sub_epi32(w127, fx), _mm256_slli_epi32(fx, 8));
    const __m256i wx = _mm256_or_si256(wx_pair, _mm256_slli_epi32(wx_pair, 16));
    const __m256i wy = _mm256_or_si256(_mm256_sub_epi32(w128, fy), _mm256_slli_epi32(fy, 16));
    __m256i words[2];
    for (int h = 0; h < 2; ++h) {
      const int p = 4 * h;
      const __m256i r0 = LoadFour(src.bits, at + p);
      const __m256i r1 = LoadFour(src.bits + src.stride, at + p);
      const __m256i wx4 = _mm256_permutevar8x32_epi32(wx, _mm256_setr_epi32(p, p, p + 1, p + 1, p + 2, p + 2, p + 3, p + 3));
      const __m256i a = _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(r0, pairs), wx4),
                                         _mm256_shuffle_epi8(r0, lefts));
      const __m256i b = _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(r1, pairs), wx4),
                                         _mm256_shuffle_epi8(r1, lefts));
      // unpacklo: pixels p and p + 2, unpackhi: p + 1 and p + 3.
      const __m256i wy_lo = _mm256_permutevar8x32_epi32(wy, _mm256_setr_epi32(p, p, p, p, p + 2, p + 2, p + 2, p + 2));
      const __m256i wy_hi =
          _mm256_permutevar8x32_epi32(wy, _mm256_setr_epi32(p + 1, p + 1, p + 1, p + 1, p + 3, p + 3, p + 3, p + 3));
      const __m256i lo = _mm256_srai_epi32(
          _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), wy_lo), round), kResultShift);
      const __m256i hi = _mm256_srai_epi32(
          _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), wy_hi), round), kResultShift);
      words[h] = _mm256_packus_epi32(lo, hi);
    }
    // Pixels 0 1 4 5 | 2 3 6 7 as BGR0 dwords, put in order and closed up to 24 bytes.
    const __m256i bgr0 = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words[0], words[1]), in_order);
    const __m256i bgr = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(bgr0, compact), close_up);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bgr));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(bgr, 1));
    vx = _mm256_add_epi32(vx, step_x);
    vy = _mm256_add_epi32(vy, step_y);
  }
  return i;
}
#endif

// Pixels [0, count) of a target row whose samples all have their four neighbours inside.
void SampleInside(const Source& src, std::int64_t px, std::int64_t py, std::int64_t dx, std::int64_t dy, int count,
                  std::uint8_t* out) {
  int i = 0;
#if ZUMO_SIMD
  if (src.vector_fits && HaveAvx2()) {
    i = SampleInsideAvx2(src, px, py, dx, dy, count, out);
    px += i * dx;
    py += i * dy;
    out += 3 * i;
  }
#endif
  for (; i < count; ++i, px += dx, py += dy, out += 3) {
    const int x0 = static_cast<int>(px >> kPositionBits), y0 = static_cast<int>(py >> kPositionBits);
    const int fx = static_cast<int>(px >> kWeightShift) & kWeightMask;
    const int fy = static_cast<int>(py >> kWeightShift) & kWeightMask;
    const std::uint8_t* p = src.bits + src.stride * y0 + 3 * x0;
    const std::uint8_t* q = p + src.stride;
    for (int c = 0; c < 3; ++c) {
      const int a = p[c] * (kWeightOne - fx) + p[c + 3] * fx;
      const int b = q[c] * (kWeightOne - fx) + q[c + 3] * fx;
      out[c] = static_cast<std::uint8_t>((a * (kWeightOne - fy) + b * fy + kRound) >> kResultShift);
    }
  }
}

// One target row: canvas row `canvas_y`, canvas columns from `canvas_x`, `count` pixels.
void StraightenRow(const Source& src, StraightenRotation rotation, int canvas_x, int canvas_y, int count,
                   std::uint8_t* out) {
  const std::int64_t c = rotation.cos_q16, s = rotation.sin_q16;
  const std::int64_t u = 2 * std::int64_t{canvas_x} + 1 - src.width;
  const std::int64_t v = 2 * std::int64_t{canvas_y} + 1 - src.height;
  const std::int64_t px = u * c + v * s + (std::int64_t{src.width - 1} << 16);
  const std::int64_t py = v * c - u * s + (std::int64_t{src.height - 1} << 16);
  const std::int64_t dx = 2 * c, dy = -2 * s;
  int first = 0;
  while (first < count && !Inside(src, px + first * dx, py + first * dy)) {
    SampleClamped(src, px + first * dx, py + first * dy, out + 3 * first);
    ++first;
  }
  int last = count;
  while (last > first && !Inside(src, px + (last - 1) * dx, py + (last - 1) * dy)) {
    --last;
    SampleClamped(src, px + last * dx, py + last * dy, out + 3 * last);
  }
  SampleInside(src, px + first * dx, py + first * dy, dx, dy, last - first, out + 3 * first);
}

}  // namespace

Bitmap StraightenPart(const Bitmap& turned, int tenths, const CropRect& part) {
  const CropRect kept = StraightenedRect({turned.Width(), turned.Height()}, tenths);
  if (const std::string problem = CropProblem(part, {kept.width, kept.height}); !problem.empty()) throw Error(problem);
  if (tenths == 0) return CropBitmap(turned, part);
  const Source src{turned.Bits(),
                   turned.Stride(),
                   turned.Width(),
                   turned.Height(),
                   std::int64_t{turned.Width() - 1} << kPositionBits,
                   std::int64_t{turned.Height() - 1} << kPositionBits,
                   turned.Height() <= 16384,
                   turned.Stride() * (turned.Height() - 1) - 8};
  const StraightenRotation rotation = StraightenRotationOf(tenths);
  Bitmap result(part.width, part.height, Bitmap::Uninitialized{});
  std::uint8_t* const bits = result.MutableBits();
  const std::ptrdiff_t stride = result.Stride();
  const int canvas_x = kept.x + part.x, canvas_y = kept.y + part.y;
  detail::RunRowBands(part.height, static_cast<std::size_t>(stride) * part.height, [&](int first, int last) {
    for (int y = first; y < last; ++y) StraightenRow(src, rotation, canvas_x, canvas_y + y, part.width, bits + stride * y);
  });
  return result;
}

}  // namespace zumo
