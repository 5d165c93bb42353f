// The in-place box blur. Every window reads the already blurred pixels above it and to
// its left, so the result is a recurrence in raster order; it is computed exactly, but
// without summing each window anew:
//  - for every column a sum over the window's rows except the current one: new values
//    of the rows above, old values of the rows below, stepped from the row above's.
//  - along the row a running sum of those column sums plus the current row, whose left
//    part is new and right part still old.
// Cost therefore does not depend on the radius. The three channels are independent
// chains, and two threads can take alternate rows one behind the other.
//
// The same recurrence can read the unfiltered picture from one buffer and write the
// blurred one to another: old values (the current row from x on, the rows below) come
// from the input rows, new values (the rows above, the pixels to the left) from the
// output rows. In place both row tables are the same.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "imaging/detail/RowWavefront.h"
#include "platform/Simd.h"

namespace zumo {
namespace detail {
namespace {

// floor(s / n) == (s * Reciprocal(n)) >> kShift for all 0 <= s < 2^23 and 1 <= n <= 2^15:
// with m * n = 2^38 + e and 0 < e <= n, s * m / 2^38 = s / n + s * e / (n * 2^38), and
// s * e < 2^38 keeps the excess below 1 / n, too small to reach the next integer.
// Window sums are at most 255 * 32761 < 2^23.
constexpr int kShift = 38;
std::uint64_t Reciprocal(int n) { return (std::uint64_t{1} << kShift) / static_cast<std::uint64_t>(n) + 1; }

constexpr int kRun = 64;  // pixels per run: the vectorised part works a run at a time

// Per row parity (and so per thread) state, each on its own cache lines.
struct alignas(64) ThreadState {
  std::vector<std::uint64_t> reciprocal;  // by x, for the row count below
  int rows_in_window = -1;
};

// One pixel of one channel: n = the new value, (a * m) >> kShift, and the running sum a
// takes the new value and c, the rest of its change (known before a). Written out on
// x86-64 so that nothing but the multiply, the shift and one add stands between one
// running sum and the next: left to itself the compiler copies the running sum before
// multiplying it, a cycle more per pixel on the chain. The sums stay below 2^32, and the
// 32-bit adds keep the register's upper half zero for the 64-bit multiply.
__attribute__((always_inline)) inline std::uint32_t BlurStep(std::uint64_t& a, std::uint64_t m,
                                                             std::uint32_t c) noexcept {
  std::uint64_t n;
#if ZUMO_SIMD
  asm("mov %[m], %[n]\n\t"
      "imul %[a], %[n]\n\t"
      "add %k[c], %k[a]\n\t"
      "shr %[shift], %[n]\n\t"
      "add %k[n], %k[a]"
      : [a] "+r"(a), [n] "=&r"(n)
      : [m] "r"(m), [c] "r"(c), [shift] "i"(kShift));
#else
  n = (a * m) >> kShift;
  a = static_cast<std::uint32_t>(a + c + n);
#endif
  return static_cast<std::uint32_t>(n);
}

// Pixels x0..x1 - 1 of a row: each new value is the running sum times the reciprocal
// of the pixel count; the running sum then takes the run's precomputed change, the new
// value, and loses the new value of the pixel leaving on the left. The sums are unsigned
// (they never go negative) so that widening them for the multiply is free. all_leave
// says every pixel of the run has a pixel leaving on the left (x >= r); same_count that
// all its windows hold the same number of pixels.
template <bool all_leave, bool same_count>
__attribute__((always_inline)) inline void Recurrence(std::uint8_t* row, const std::uint64_t* recip,
                                                      const std::int32_t* delta, std::ptrdiff_t behind, int x0,
                                                      int x1, std::uint32_t& s0, std::uint32_t& s1,
                                                      std::uint32_t& s2) noexcept {
  const int r = static_cast<int>(behind / 3);
  std::uint64_t a0 = s0, a1 = s1, a2 = s2;
  const std::uint64_t run_m = recip[x0];
  for (int x = x0, k = 0; x < x1; ++x, k += 3) {
    const int i = 3 * x;
    const std::uint64_t m = same_count ? run_m : recip[x];
    std::uint32_t l0 = 0, l1 = 0, l2 = 0;
    if (all_leave || x >= r) {
      l0 = row[i - behind];
      l1 = row[i - behind + 1];
      l2 = row[i - behind + 2];
    }
    row[i] = static_cast<std::uint8_t>(BlurStep(a0, m, static_cast<std::uint32_t>(delta[k]) - l0));
    row[i + 1] = static_cast<std::uint8_t>(BlurStep(a1, m, static_cast<std::uint32_t>(delta[k + 1]) - l1));
    row[i + 2] = static_cast<std::uint8_t>(BlurStep(a2, m, static_cast<std::uint32_t>(delta[k + 2]) - l2));
  }
  s0 = static_cast<std::uint32_t>(a0);
  s1 = static_cast<std::uint32_t>(a1);
  s2 = static_cast<std::uint32_t>(a2);
}


struct BlurJob {
  int width = 0;
  int height = 0;
  int radius = 0;
  int pad = 0;  // zero columns on either side of the padded arrays
  const std::uint8_t* const* in = nullptr;  // the old values
  std::uint8_t* const* out = nullptr;       // the new values (the same rows in place)
  std::vector<std::uint64_t> reciprocal;     // by pixel count n
  std::vector<int> columns_in_window;        // by x
  std::vector<std::uint8_t> zero_row;        // stands in for rows outside the picture
  // Padded, 3 per column, by row parity: a row steps the row above's sums into its own
  // array. With two threads a row reads the other thread's sums only where that row is
  // final, and overwrites the sums of two rows up only where the row between has read
  // them (it is final there) and the row two up has used them (it is further ahead
  // still). At most 2 * 90 rows of 255: 16 bits suffice, and the vectorised updates then
  // take eight columns at a time.
  std::vector<std::uint16_t> column_sums[2];
  ThreadState state[2];
  RowProgress progress;

  BlurJob(int w, int h, int r, const std::uint8_t* const* in_rows, std::uint8_t* const* out_rows)
      : width(w), height(h), radius(r), pad(r + 1), in(in_rows), out(out_rows), progress(w) {
    const int side = 2 * r + 1;
    reciprocal.resize(static_cast<std::size_t>(side) * side + 1);
    for (std::size_t n = 1; n < reciprocal.size(); ++n) reciprocal[n] = Reciprocal(static_cast<int>(n));
    columns_in_window.resize(w);
    for (int x = 0; x < w; ++x) columns_in_window[x] = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
    zero_row.assign(3 * static_cast<std::size_t>(w), 0);
    const std::size_t padded = 3 * (static_cast<std::size_t>(w) + 2 * pad);
    for (auto& sums : column_sums) sums.assign(padded, 0);
    for (auto& st : state) {
      st.reciprocal.resize(w);
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

  RowStep StepFor(int y) noexcept;

  // 2^38 / n for each pixel's window size n on row y, cached per thread while the row
  // count of the windows stays the same.
  const std::uint64_t* RowReciprocals(int y) noexcept;

  void Row(int y) noexcept;
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

const std::uint64_t* BlurJob::RowReciprocals(int y) noexcept {
  ThreadState& st = state[y & 1];
  const int rows_in_window = std::min(height - 1, y + radius) - std::max(0, y - radius) + 1;
  if (st.rows_in_window != rows_in_window) {
    st.rows_in_window = rows_in_window;
    for (int x = 0; x < width; ++x) st.reciprocal[x] = reciprocal[rows_in_window * columns_in_window[x]];
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

// The recurrence of one run: each new value enters the sums of the pixels after it. The
// three forms differ in what the run's windows have in common.
__attribute__((always_inline)) inline void RunRecurrence(int w, int r, std::uint8_t* row, const std::uint64_t* recip,
                                                         const std::int32_t* delta, int x0, int x1, std::uint32_t& s0,
                                                         std::uint32_t& s1, std::uint32_t& s2) noexcept {
  const std::ptrdiff_t behind = 3 * r;
  if (x0 >= r && x1 <= w - r) {  // every window of the run is r columns wide on both sides
    Recurrence<true, true>(row, recip, delta, behind, x0, x1, s0, s1, s2);
  } else if (x0 >= r) {
    Recurrence<true, false>(row, recip, delta, behind, x0, x1, s0, s1, s2);
  } else {
    Recurrence<false, false>(row, recip, delta, behind, x0, x1, s0, s1, s2);
  }
}

void BlurJob::Row(int y) noexcept {
  const int w = width;
  const int r = radius;
  const RowStep step = StepFor(y);
  const std::uint64_t* const recip = RowReciprocals(y);
  RowTurn turn(progress, y);

  // The first window: columns 0..r.
  alignas(64) std::uint16_t entering[3 * (kRun + kMaxBlurRadius + 1)];
  const int first_columns = std::min(w, r + 1);
  turn.NeedAbove(first_columns);
  ComputeColumns(step, 0, first_columns, entering);
  std::uint32_t s0 = 0, s1 = 0, s2 = 0;
  for (int c = 0; c < first_columns; ++c) {
    s0 += entering[3 * c];
    s1 += entering[3 * c + 1];
    s2 += entering[3 * c + 2];
  }

  alignas(64) std::int32_t delta[3 * kRun];
  for (int x0 = 0; x0 < w; x0 += kRun) {
    const int x1 = std::min(x0 + kRun, w);
    // Pixel x brings in column x + r + 1; past the right edge a column brings nothing.
    const int c0 = x0 + r + 1;
    const int c1 = std::min(w, x1 + r + 1);
    const int count = 3 * (x1 - x0);
    const int inside = c1 > c0 ? 3 * (c1 - c0) : 0;
    if (inside > 0) {
      turn.NeedAbove(c1);
      ComputeColumns(step, c0, c1, entering);
    }
    std::fill(entering + inside, entering + count, std::uint16_t{0});
    // What the running sum gains and loses at each pixel, apart from the new value of
    // the pixel itself and of the one leaving on the left (not known yet): the column
    // entering on the right, the pixel's old value, the column sum leaving on the left
    // (zero before the edge: the arrays are padded).
    const std::uint16_t* const rem = step.sums + 3 * (x0 - r);
    const std::uint8_t* const old = step.row_old + 3 * x0;
    for (int k = 0; k < count; ++k) delta[k] = entering[k] - old[k] - rem[k];
    RunRecurrence(w, r, step.row, recip, delta, x0, x1, s0, s1, s2);
    turn.Finished(progress, x1);
  }
}

}  // namespace

void BoxBlurInPlace(int radius, Bitmap& target, bool two_threads) {
  if (radius <= 0 || target.Empty()) return;
  const auto rows = TABitmap::ScanlineTable(target);
  BlurJob job(target.Width(), target.Height(), radius, rows.get(), rows.get());
  RunRows(target.Height(), two_threads, [&job](int y) { job.Row(y); });
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
  BlurJob job(source.Width(), source.Height(), radius, in_rows.get(), out_rows.get());
  RunRows(source.Height(), two_threads, [&job](int y) { job.Row(y); });
  target.Assign(result);
}

}  // namespace detail

void TABitmap::BoxBlur(int R, Bitmap& Target) {
  Target.SetPixelFormat24();
  // The system passes 0..10. A negative radius would leave the window empty (nothing to
  // average): it changes nothing, like 0. Above 90 the pixel count no longer fits the
  // 16-bit counter the blur is defined with, so larger radii blur as 90.
  const int radius = std::clamp(R, 0, detail::kMaxBlurRadius);
  if (radius == 0 || Target.Empty()) return;
  detail::BoxBlurInPlace(radius, Target, detail::WorthTwoThreads(Target.Width(), Target.Height()));
}

void TABitmap::BoxBlur(int R, const Bitmap& Source, Bitmap& Target) {
  Target.SetPixelFormat24();
  const int radius = std::clamp(R, 0, detail::kMaxBlurRadius);
  detail::BoxBlurInto(radius, Source, Target, detail::WorthTwoThreads(Source.Width(), Source.Height()));
}

}  // namespace zumo
