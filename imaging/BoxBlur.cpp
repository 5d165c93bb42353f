// The in-place box blur. Every window reads the already blurred pixels above it and to
// its left, so the result is a recurrence in raster order; it is computed exactly, but
// without summing each window anew:
//  - for every column a sum over the window's rows except the current one: new values
//    of the rows above, old values of the rows below, stepped from the row above's.
//  - along the row a running sum of those column sums plus the current row, whose left
//    part is new and right part still old.
// Cost therefore does not depend on the radius. The three channels are independent
// chains of dependent multiplies (with AVX2 the three lanes of one register); two rows go
// through them side by side, the lower one a few runs behind the upper, so that twice the
// chains keep the processor busy. With two threads each pair is cut in two: the right part
// of a pair runs beside the left part of the next (a wavefront, imaging/detail/RowWavefront).
//
// The same recurrence can read the unfiltered picture from one buffer and write the
// blurred one to another: old values (the current row from x on, the rows below) come
// from the input rows, new values (the rows above, the pixels to the left) from the
// output rows. In place both row tables are the same.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "imaging/detail/RowWavefront.h"
#include "platform/Simd.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo {
namespace detail {
namespace {

// floor(s / n) == (s * Reciprocal(n)) >> kShift for all 0 <= s < 2^23 and 1 <= n <= 2^15:
// with m * n = 2^38 + e and 0 < e <= n, s * m / 2^38 = s / n + s * e / (n * 2^38), and
// s * e < 2^38 keeps the excess below 1 / n, too small to reach the next integer.
// Window sums are at most 255 * 32761 < 2^23.
constexpr int kShift = 38;
std::uint64_t Reciprocal(int n) { return (std::uint64_t{1} << kShift) / static_cast<std::uint64_t>(n) + 1; }

constexpr int kRun = 64;  // pixels per run: the vectorised parts work a run at a time

// The vector recurrence (AVX2) takes the three channels of a pixel as the lanes of one
// register, and multiplies 32 by 32 bits: floor(s / n) == (s * m) >> shift with
// shift = 23 + bit length of n and m = floor(2^shift / n) + 1 < 2^25, by the same argument
// as above (s * e < 2^23 * n < 2^shift).
struct LaneReciprocal {
  std::uint64_t m;
  std::uint64_t shift;
};
LaneReciprocal LaneReciprocalOf(int n) {
  int bits = 0;
  while ((1 << bits) <= n) ++bits;
  const int shift = 23 + bits;
  return {(std::uint64_t{1} << shift) / static_cast<std::uint64_t>(n) + 1, static_cast<std::uint64_t>(shift)};
}

// Per pair under way, per row of the pair: each on its own cache lines.
struct alignas(64) RowState {
  std::vector<std::uint64_t> reciprocal;  // by x, for the row count below
  std::vector<LaneReciprocal> lane_reciprocal;  // the same for the vector recurrence
  int rows_in_window = -1;
  // The row's new values, 3 per pixel (4 for the vector recurrence, the last unused), with
  // r pixels of zeros before pixel 0: the pixel leaving a window on the left is read from
  // here. Kept as 32-bit words, so that the recurrence reads them as it subtracts and never
  // waits on a narrow store.
  std::vector<std::uint32_t> fresh;
};

// One pixel of one channel: n, the new value, is (a * m) >> kShift; the running sum a then
// takes the change d known beforehand, loses l, the pixel leaving on the left, and takes n.
// The sums stay below 2^32; 32-bit arithmetic keeps the upper half zero for the 64-bit
// multiply.
__attribute__((always_inline)) inline std::uint32_t Step(std::uint64_t& a, std::uint64_t m, const std::int32_t* d,
                                                         const std::uint32_t* l) noexcept {
  const auto n = static_cast<std::uint32_t>((a * m) >> kShift);
  a = static_cast<std::uint32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(*d) - *l + n);
  return n;
}

struct BlurJob {
  int width = 0;
  int height = 0;
  int radius = 0;
  int pad = 0;  // zero columns on either side of the padded arrays
  const std::uint8_t* const* in = nullptr;  // the old values
  std::uint8_t* const* out = nullptr;       // the new values (the same rows in place)
  std::vector<std::uint64_t> reciprocal;     // by pixel count n
  std::vector<LaneReciprocal> lane_reciprocal;  // the same for the vector recurrence
  std::vector<int> columns_in_window;        // by x
  std::vector<std::uint8_t> zero_row;        // stands in for rows outside the picture
  // Padded, 3 per column, by row parity: a row steps the row above's sums into its own
  // array. A row reads the sums of the row above only where that row is final, and
  // overwrites the sums of two rows up only where the row between has read them (it is
  // final there) and the row two up has used them (it is further ahead still). At most
  // 2 * 90 rows of 255: 16 bits suffice, and the vectorised updates then take eight
  // columns at a time.
  std::vector<std::uint16_t> column_sums[2];
  // By pair (p mod 3: on two threads the parts of up to three pairs are under way), and
  // upper or lower row.
  RowState state[3][2];
  // A row needs the row above final r + 1 columns past its last pixel; the cut is where
  // the helper's record puts it.
  BandCuts cuts;

  BlurJob(int w, int h, int r, const std::uint8_t* const* in_rows, std::uint8_t* const* out_rows, int caller_share)
      : width(w), height(h), radius(r), pad(r + 1), in(in_rows), out(out_rows),
        cuts(w, 2, BandCuts::SplitFor(w, 2, r + 1, caller_share), r + 1) {
    const int side = 2 * r + 1;
    reciprocal.assign(static_cast<std::size_t>(side) * side + 1, 0);
    for (std::size_t n = 1; n < reciprocal.size(); ++n) reciprocal[n] = Reciprocal(static_cast<int>(n));
    lane_reciprocal.resize(reciprocal.size());
    for (std::size_t n = 1; n < reciprocal.size(); ++n) lane_reciprocal[n] = LaneReciprocalOf(static_cast<int>(n));
    columns_in_window.resize(w);
    for (int x = 0; x < w; ++x) columns_in_window[x] = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
    zero_row.assign(3 * static_cast<std::size_t>(w), 0);
    const std::size_t padded = 3 * (static_cast<std::size_t>(w) + 2 * pad);
    for (auto& sums : column_sums) sums.assign(padded, 0);
    for (auto& pair : state) {
      for (RowState& st : pair) {
        st.reciprocal.resize(w);
        st.lane_reciprocal.resize(w);
        st.fresh.assign(4 * (static_cast<std::size_t>(w) + r + 1), 0);
      }
    }
    // The sums of row -1, which row 0 steps from: the old rows 0..r - 1 below it.
    std::uint16_t* const above_first = column_sums[1].data() + 3 * pad;
    for (int k = 0; k <= std::min(h - 1, r - 1); ++k) {
      const std::uint8_t* const old = in[k];
      for (int i = 0; i < 3 * w; ++i) above_first[i] = static_cast<std::uint16_t>(above_first[i] + old[i]);
    }
  }

  const std::uint8_t* OldOrZero(int y) const noexcept { return y >= 0 && y < height ? in[y] : zero_row.data(); }
  const std::uint8_t* NewOrZero(int y) const noexcept { return y >= 0 && y < height ? out[y] : zero_row.data(); }

  // The rows one row's step reads and writes. From the row above's sums, row y - 1 comes
  // in at the top (new), row y - 1 - r leaves there and row y + r enters at the bottom
  // (old); the current row y leaves the sum. In place the current row's old values are
  // still there ahead of the pixels already written, and the rows below are untouched.
  struct RowStep {
    const std::uint8_t* row_old;
    std::uint8_t* row;
    const std::uint16_t* sums_above;  // the row above's column sums, at column 0
    std::uint16_t* sums;              // this row's, at column 0 of the padded array
    const std::uint8_t *new_above, *leaving, *entering;
  };

  // One row on its way through its runs.
  struct Cursor {
    RowStep step;
    const std::uint64_t* recip;  // by x
    const LaneReciprocal* lane_recip;
    std::uint32_t* fresh;        // the row's new values, at pixel 0 (3 or 4 words a pixel)
    std::int32_t* changes;       // the next run's, 3 per pixel
    int x0 = 0;                  // the next run's first pixel
    int end = 0;                 // the pixel after the last one this cursor computes
    std::uint64_t a0 = 0, a1 = 0, a2 = 0;  // the running sums
  };

  RowStep StepFor(int y) noexcept;

  // 2^38 / n for each pixel's window size n on row y (and the lanes' reciprocals), kept in
  // `st` while the row count of the windows stays the same.
  const std::uint64_t* RowReciprocals(RowState& st, int y) noexcept;

  Cursor Begin(int y, RowState& st, std::int32_t* changes, int fresh_stride, int first, int end) noexcept;
  int RunEnd(const Cursor& c) const noexcept { return std::min(c.x0 + kRun, c.end); }
  // The column up to which the row above must be final for the cursor's next run.
  int NeedsAbove(const Cursor& c) const noexcept { return std::min(width, RunEnd(c) + radius + 1); }
  void Prepare(Cursor& c) noexcept;
  template <int kStride>
  void Finish(Cursor& c) noexcept;

  void Pair(BandPart& part) noexcept;
  template <bool kLanes>
  void PairBody(BandPart& part) noexcept;
#if ZUMO_SIMD
  void PairLanes(BandPart& part) noexcept;
  const bool lanes = HaveAvx2();
#endif
};

BlurJob::RowStep BlurJob::StepFor(int y) noexcept {
  const int r = radius;
  RowStep step;
  step.row_old = in[y];
  step.row = out[y];
  step.sums_above = column_sums[(y + 1) & 1].data() + 3 * pad;
  step.sums = column_sums[y & 1].data() + 3 * pad;
  step.new_above = NewOrZero(y - 1);
  step.leaving = NewOrZero(y - 1 - r);
  step.entering = OldOrZero(y + r);
  return step;
}

const std::uint64_t* BlurJob::RowReciprocals(RowState& st, int y) noexcept {
  const int rows_in_window = std::min(height - 1, y + radius) - std::max(0, y - radius) + 1;
  if (st.rows_in_window != rows_in_window) {
    st.rows_in_window = rows_in_window;
    for (int x = 0; x < width; ++x) {
      st.reciprocal[x] = reciprocal[rows_in_window * columns_in_window[x]];
      st.lane_reciprocal[x] = lane_reciprocal[rows_in_window * columns_in_window[x]];
    }
  }
  return st.reciprocal.data();
}

// Makes sums[c] the row's column sum (rows above new, rows below old) for c in [c0, c1),
// and stores sum plus the current row's old value, the amount the column brings into a
// window, at entering[c - c0]. Row y - 1 must be final up to c1. The arithmetic wraps in
// 16 bits and every result fits.
__attribute__((always_inline)) inline void ComputeColumns(const BlurJob::RowStep& s, int c0, int c1,
                                                          std::uint16_t* entering) noexcept {
  // Each element reads and writes its own column only (the arrays are distinct).
#pragma GCC ivdep
  for (int i = 3 * c0; i < 3 * c1; ++i) {
    const auto brings =
        static_cast<std::uint16_t>(s.sums_above[i] + s.new_above[i] - s.leaving[i] + s.entering[i]);
    s.sums[i] = static_cast<std::uint16_t>(brings - s.row_old[i]);
    entering[i - 3 * c0] = brings;
  }
}

// The window of pixel `first` of row y into the running sums, for a cursor that computes
// the row's pixels first..end - 1. From the row's start (columns 0..r), row y - 1 must be
// final up to column r + 1. From further on, the pixels before `first` are final and the
// column sums up to column first + r are the row's own already: they were computed on the
// way to `first`.
BlurJob::Cursor BlurJob::Begin(int y, RowState& st, std::int32_t* changes, int fresh_stride, int first,
                               int end) noexcept {
  Cursor c;
  c.step = StepFor(y);
  c.recip = RowReciprocals(st, y);
  c.lane_recip = st.lane_reciprocal.data();
  c.fresh = st.fresh.data() + fresh_stride * radius;
  c.changes = changes;
  c.x0 = first;
  c.end = end;
  std::uint64_t a[3] = {0, 0, 0};
  const int last_column = std::min(width, first + radius + 1);
  if (first == 0) {
    alignas(64) std::uint16_t entering[3 * (kMaxBlurRadius + 1)];
    ComputeColumns(c.step, 0, last_column, entering);
    for (int i = 0; i < 3 * last_column; ++i) a[i % 3] += entering[i];
  } else {
    // Columns first - r .. first - 1 bring their new pixel of this row (which the
    // recurrence also reads back as it leaves the window), the rest its old one.
    for (int x = std::max(0, first - radius); x < first; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        const std::uint8_t value = c.step.row[3 * x + ch];
        c.fresh[fresh_stride * x + ch] = value;
        a[ch] += static_cast<std::uint64_t>(c.step.sums[3 * x + ch]) + value;
      }
    }
    for (int i = 3 * first; i < 3 * last_column; ++i) {
      a[i % 3] += static_cast<std::uint64_t>(c.step.sums[i]) + c.step.row_old[i];
    }
  }
  c.a0 = a[0], c.a1 = a[1], c.a2 = a[2];
  return c;
}

// What the running sum gains and loses at each pixel of the next run, apart from the new
// value of the pixel itself and of the one leaving on the left (not known yet): the column
// entering on the right (nothing past the edge), the pixel's old value, the column sum
// leaving on the left (zero before the edge: the arrays are padded).
void BlurJob::Prepare(Cursor& c) noexcept {
  const int x0 = c.x0;
  const int x1 = RunEnd(c);
  const int c0 = x0 + radius + 1;
  const int c1 = std::min(width, x1 + radius + 1);
  const int count = 3 * (x1 - x0);
  const int inside = c1 > c0 ? 3 * (c1 - c0) : 0;
  alignas(64) std::uint16_t entering[3 * kRun];
  if (inside > 0) ComputeColumns(c.step, c0, c1, entering);
  std::fill(entering + inside, entering + count, std::uint16_t{0});
  const std::uint16_t* const rem = c.step.sums + 3 * (x0 - radius);
  const std::uint8_t* const old = c.step.row_old + 3 * x0;
  for (int k = 0; k < count; ++k) c.changes[k] = entering[k] - old[k] - rem[k];
}

// The portable recurrence of pixels k0..k1 - 1 of one row's run, or of two rows' runs side
// by side (their chains independent, so the processor overlaps them).
template <int kRows>
__attribute__((always_inline)) inline void PortableRecurrence(BlurJob::Cursor* const rows[], std::ptrdiff_t back,
                                                              int k0, int k1) noexcept {
  std::uint64_t a[kRows][3];
  const std::uint64_t* m[kRows];
  std::uint32_t* f[kRows];
  const std::int32_t* d[kRows];
  for (int i = 0; i < kRows; ++i) {
    const BlurJob::Cursor& c = *rows[i];
    a[i][0] = c.a0, a[i][1] = c.a1, a[i][2] = c.a2;
    m[i] = c.recip + c.x0 + k0;
    f[i] = c.fresh + 3 * (c.x0 + k0);
    d[i] = c.changes + 3 * k0;
  }
  for (int k = k0; k < k1; ++k) {
    for (int i = 0; i < kRows; ++i) {
      for (int ch = 0; ch < 3; ++ch) f[i][ch] = Step(a[i][ch], *m[i], d[i] + ch, f[i] + ch - back);
      ++m[i];
      f[i] += 3;
      d[i] += 3;
    }
  }
  for (int i = 0; i < kRows; ++i) rows[i]->a0 = a[i][0], rows[i]->a1 = a[i][1], rows[i]->a2 = a[i][2];
}

#if ZUMO_SIMD
// A pixel's three new values (and the unused fourth word) as 64-bit lanes.
__attribute__((always_inline, target("avx2"))) inline __m256i LaneWords(const std::uint32_t* p) noexcept {
  return _mm256_cvtepu32_epi64(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
}

// The vector recurrence of pixels k0..k1 - 1 of one row's run, or of two rows' runs side by
// side: the running sums of a row in the lanes of one register, 64 bits each, so they are
// exact without wrapping; the new values go out 4 words per pixel, one aligned store. The
// pixel leaving r = kNear pixels back (1 or 2) is kept in registers: read back from memory
// so soon after its store, it would wait for the store. kNear = 0 reads it from memory.

template <int kNear, int kRows>
__attribute__((target("avx2"))) void LaneRecurrence(BlurJob::Cursor* const rows[], std::ptrdiff_t back, int k0,
                                                    int k1) noexcept {
  const __m256i low_words = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  __m256i a[kRows], near1[kRows], near2[kRows];
  std::uint32_t* f[kRows];
  const LaneReciprocal* m[kRows];
  const std::int32_t* d[kRows];
  for (int i = 0; i < kRows; ++i) {
    BlurJob::Cursor& c = *rows[i];
    a[i] = _mm256_setr_epi64x(static_cast<long long>(c.a0), static_cast<long long>(c.a1),
                              static_cast<long long>(c.a2), 0);
    f[i] = c.fresh + 4 * (c.x0 + k0);
    m[i] = c.lane_recip + c.x0 + k0;
    d[i] = c.changes + 3 * k0;
    if constexpr (kNear >= 1) near1[i] = LaneWords(f[i] - 4);
    if constexpr (kNear >= 2) near2[i] = LaneWords(f[i] - 8);
  }
  for (int k = k0; k < k1; ++k) {
    for (int i = 0; i < kRows; ++i) {
      const __m256i mult = _mm256_set1_epi64x(static_cast<long long>(m[i]->m));
      const __m128i shift = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&m[i]->shift));
      const __m256i change = _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d[i])));
      __m256i leaving;
      if constexpr (kNear == 1) leaving = near1[i];
      else if constexpr (kNear == 2) leaving = near2[i];
      else leaving = LaneWords(f[i] - 4 * back / 3);
      const __m256i n = _mm256_srl_epi64(_mm256_mul_epu32(a[i], mult), shift);
      a[i] = _mm256_add_epi64(_mm256_add_epi64(a[i], _mm256_sub_epi64(change, leaving)), n);
      if constexpr (kNear >= 2) near2[i] = near1[i];
      if constexpr (kNear >= 1) near1[i] = n;
      _mm_store_si128(reinterpret_cast<__m128i*>(f[i]), _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(n, low_words)));
      f[i] += 4;
      ++m[i];
      d[i] += 3;
    }
  }
  for (int i = 0; i < kRows; ++i) {
    alignas(32) std::uint64_t sums[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), a[i]);
    rows[i]->a0 = sums[0], rows[i]->a1 = sums[1], rows[i]->a2 = sums[2];
  }
}

template <int kRows>
void LaneRecur(BlurJob::Cursor* const rows[], std::ptrdiff_t back, int k0, int k1) noexcept {
  if (back == 3) return LaneRecurrence<1, kRows>(rows, back, k0, k1);
  if (back == 6) return LaneRecurrence<2, kRows>(rows, back, k0, k1);
  LaneRecurrence<0, kRows>(rows, back, k0, k1);
}
#endif

// Pixels k0..k1 - 1 of one row's run, or of two rows' runs (v not null) side by side.
template <bool kLanes>
__attribute__((always_inline)) inline void RecurRows(BlurJob::Cursor* u, BlurJob::Cursor* v, std::ptrdiff_t back,
                                                     int k0, int k1) noexcept {
  BlurJob::Cursor* const rows[2] = {u, v};
#if ZUMO_SIMD
  if constexpr (kLanes) {
    if (v != nullptr) return LaneRecur<2>(rows, back, k0, k1);
    return LaneRecur<1>(rows, back, k0, k1);
  }
#endif
  if (v != nullptr) return PortableRecurrence<2>(rows, back, k0, k1);
  PortableRecurrence<1>(rows, back, k0, k1);
}

#if ZUMO_SIMD
// Four pixels' new values (16 words, every fourth unused) to their 12 bytes.
__attribute__((target("avx2"))) void PackLanes(const std::uint32_t* fresh, std::uint8_t* row, int pixels) noexcept {
  const __m128i keep = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int x = 0;
  for (; x + 4 <= pixels; x += 4) {
    const __m128i* p = reinterpret_cast<const __m128i*>(fresh + 4 * x);
    const __m128i words = _mm_packs_epi32(_mm_load_si128(p), _mm_load_si128(p + 1));
    const __m128i more = _mm_packs_epi32(_mm_load_si128(p + 2), _mm_load_si128(p + 3));
    const __m128i bytes = _mm_shuffle_epi8(_mm_packus_epi16(words, more), keep);
    // Exactly the 12 bytes: the row goes on with old values still to be read.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 3 * x), bytes);
    const int last = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
    std::memcpy(row + 3 * x + 8, &last, 4);
  }
  for (; x < pixels; ++x)
    for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<std::uint8_t>(fresh[4 * x + c]);
}
#endif

// The run's new values into the row; the cursor moves to the next run.
template <int kStride>
void BlurJob::Finish(Cursor& c) noexcept {
  const int x1 = RunEnd(c);
  std::uint8_t* const row = c.step.row;
#if ZUMO_SIMD
  if constexpr (kStride == 4) {
    PackLanes(c.fresh + 4 * c.x0, row + 3 * c.x0, x1 - c.x0);
    c.x0 = x1;
    return;
  }
#endif
  for (int i = 3 * c.x0; i < 3 * x1; ++i) row[i] = static_cast<std::uint8_t>(c.fresh[i]);
  c.x0 = x1;
}

// Rows 2p and 2p + 1 (p = part.Band()), or the columns of them that `part` covers. The
// upper row waits for the pair above (on the other thread, if there are two); the lower
// one follows the upper `lag` runs behind, where the upper row is final far enough for the
// lower row's columns. The pair tells the pair below how far its lower row is final.
template <bool kLanes>
__attribute__((always_inline)) inline void BlurJob::PairBody(BandPart& part) noexcept {
  constexpr int kStride = kLanes ? 4 : 3;
  const int p = part.Band();
  const int y = 2 * p;
  const bool two_rows = y + 1 < height;
  const std::ptrdiff_t back = 3 * radius;
  // The upper row's run, then the lower row's; the vector recurrence reads one word past.
  alignas(64) std::int32_t changes[2 * 3 * kRun + 4];
  // A row with no columns in this part gets a cursor that never runs.
  const auto begin_row = [&](int k) {
    if (part.First(k) >= part.End(k)) return Cursor{};
    return Begin(y + k, state[p % 3][k], changes + 3 * kRun * k, kStride, part.First(k), part.End(k));
  };

  if (part.First(0) == 0) part.NeedAbove(std::min(width, radius + 1));
  Cursor upper = begin_row(0);
  if (!two_rows) {
    while (upper.x0 < upper.end) {
      part.NeedAbove(NeedsAbove(upper));
      Prepare(upper);
      RecurRows<kLanes>(&upper, nullptr, back, 0, RunEnd(upper) - upper.x0);
      Finish<kStride>(upper);
      part.Finished(upper.x0);
    }
    return;
  }
  // When the upper row has finished run t, the lower row's run t - lag + 1 has all its
  // columns: (t + 1 - lag + 1) * kRun + r + 1 <= (t + 1) * kRun. The lower row's part
  // starts r + 1 columns left of the upper row's, or at the row's start, so this holds
  // for a part too.
  const int lag = 1 + (radius + 1 + kRun - 1) / kRun;
  Cursor lower{};
  for (int t = 0; upper.x0 < upper.end || t <= lag || lower.x0 < lower.end; ++t) {
    const bool upper_runs = upper.x0 < upper.end;
    if (upper_runs) {
      part.NeedAbove(NeedsAbove(upper));
      Prepare(upper);
    }
    if (t == lag) lower = begin_row(1);
    const bool lower_runs = t >= lag && lower.x0 < lower.end;
    if (lower_runs) Prepare(lower);
    const int nu = upper_runs ? RunEnd(upper) - upper.x0 : 0;
    const int nl = lower_runs ? RunEnd(lower) - lower.x0 : 0;
    const int both = std::min(nu, nl);
    if (both > 0) RecurRows<kLanes>(&upper, &lower, back, 0, both);
    if (nu > both) RecurRows<kLanes>(&upper, nullptr, back, both, nu);
    if (nl > both) RecurRows<kLanes>(&lower, nullptr, back, both, nl);
    if (upper_runs) Finish<kStride>(upper);
    if (lower_runs) {
      Finish<kStride>(lower);
      part.Finished(lower.x0);
    }
  }
}

#if ZUMO_SIMD
__attribute__((target("avx2"))) void BlurJob::PairLanes(BandPart& part) noexcept { PairBody<true>(part); }
#endif

void BlurJob::Pair(BandPart& part) noexcept {
  part.Start();
#if ZUMO_SIMD
  if (lanes) {
    PairLanes(part);
    part.Done();
    return;
  }
#endif
  PairBody<false>(part);
  part.Done();
}

// What the helper has paid on the blur lately.
HelperPays blur_pays;

void RunPairs(BlurJob& job, bool two_threads) {
  RunBandParts((job.height + 1) / 2, two_threads, job.cuts, [&job](BandPart& part) { job.Pair(part); }, blur_pays,
               3 * static_cast<std::size_t>(job.width) * static_cast<std::size_t>(job.height));
}

}  // namespace

void BoxBlurInPlace(int radius, Bitmap& target, bool two_threads) {
  if (radius <= 0 || target.Empty()) return;
  const auto rows = TABitmap::ScanlineTable(target);
  BlurJob job(target.Width(), target.Height(), radius, rows.get(), rows.get(), blur_pays.CallerShare());
  RunPairs(job, two_threads);
}

void BoxBlurInto(int radius, const Bitmap& source, Bitmap& target, bool two_threads) {
  if (radius <= 0 || source.Empty()) {
    target.Assign(source);
    return;
  }
  // Filled row by row, then handed over whole: should anything fail before, target is
  // as it was. The source is only read and the result is a buffer of its own, so the
  // source may share its pixels with the target, or be the target.
  Bitmap result(source.Width(), source.Height(), Bitmap::Uninitialized{});
  const auto out_rows = TABitmap::ScanlineTable(result);
  const auto in_rows = SourceRows(source);
  BlurJob job(source.Width(), source.Height(), radius, in_rows.get(), out_rows.get(), blur_pays.CallerShare());
  RunPairs(job, two_threads);
  target.Assign(result);
}

}  // namespace detail

void TABitmap::BoxBlur(int R, Bitmap& Target) {
  // The system passes 0..10. A negative radius would leave the window empty (nothing to
  // average): it changes nothing, like 0. Above 90 the pixel count no longer fits the
  // 16-bit counter the blur is defined with, so larger radii blur as 90.
  const int radius = std::clamp(R, 0, detail::kMaxBlurRadius);
  if (radius == 0 || Target.Empty()) return;
  detail::BoxBlurInPlace(radius, Target, detail::WorthTwoThreads(Target.Width(), Target.Height(), detail::blur_pays));
}

void TABitmap::BoxBlur(int R, const Bitmap& Source, Bitmap& Target) {
  const int radius = std::clamp(R, 0, detail::kMaxBlurRadius);
  detail::BoxBlurInto(radius, Source, Target, detail::WorthTwoThreads(Source.Width(), Source.Height(), detail::blur_pays));
}

}  // namespace zumo
