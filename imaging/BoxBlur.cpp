// The in-place box blur. Every window reads the already blurred pixels above it and to
// its left, so the result is a recurrence in raster order; it is computed exactly, but
// without summing each window anew:
//  - for every column a sum over the window's rows except the current one: new values
//    of the rows above, old values of the rows below. Going from row y - 1 to row y it
//    gains row y - 1 (now new) and row y + R (old) and loses row y - 1 - R and row y.
//  - along the row a running sum of those column sums plus the current row, whose left
//    part is new and right part still old.
// Cost therefore does not depend on the radius. The three channels are independent
// chains, and two threads can take alternate rows one behind the other.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "imaging/detail/RowWavefront.h"

namespace zumo {
namespace detail {
namespace {

// floor(s / n) == (s * Reciprocal(n)) >> kShift for all 0 <= s < 2^23 and 1 <= n <= 2^15:
// with m * n = 2^38 + e and 0 < e <= n, s * m / 2^38 = s / n + s * e / (n * 2^38), and
// s * e < 2^38 keeps the excess below 1 / n, too small to reach the next integer.
// Window sums are at most 255 * 32761 < 2^23.
constexpr int kShift = 38;
std::uint64_t Reciprocal(int n) { return (std::uint64_t{1} << kShift) / static_cast<std::uint64_t>(n) + 1; }

constexpr int kPublishEvery = 64;  // pixels between two progress reports

struct BlurJob {
  int width = 0;
  int height = 0;
  int radius = 0;
  std::uint8_t* const* rows = nullptr;
  std::vector<std::uint64_t> reciprocal;       // by pixel count n
  std::vector<int> columns_in_window;          // by x
  std::vector<std::uint8_t> zero_row;          // stands in for rows outside the picture
  std::vector<std::int32_t> column_sums[2];    // 3 per column, by row parity
  RowProgress progress;

  BlurJob(int w, int h, int r, std::uint8_t* const* row_table)
      : width(w), height(h), radius(r), rows(row_table), progress(w) {
    const int side = 2 * r + 1;
    reciprocal.resize(static_cast<std::size_t>(side) * side + 1);
    for (std::size_t n = 1; n < reciprocal.size(); ++n) reciprocal[n] = Reciprocal(static_cast<int>(n));
    columns_in_window.resize(w);
    for (int x = 0; x < w; ++x) columns_in_window[x] = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
    zero_row.assign(3 * static_cast<std::size_t>(w), 0);
    column_sums[0].assign(3 * static_cast<std::size_t>(w), 0);
    column_sums[1].assign(3 * static_cast<std::size_t>(w), 0);
  }

  void Row(int y) noexcept;
};

void BlurJob::Row(int y) noexcept {
  const int w = width;
  const int r = radius;
  std::uint8_t* const row = rows[y];
  std::int32_t* const sums = column_sums[y & 1].data();
  const std::int32_t* const sums_above = column_sums[(y + 1) & 1].data();
  const std::uint8_t* const above = y > 0 ? rows[y - 1] : zero_row.data();
  const std::uint8_t* const leaving = y - 1 - r >= 0 ? rows[y - 1 - r] : zero_row.data();
  const std::uint8_t* const entering = y + r < height ? rows[y + r] : zero_row.data();
  const int rows_in_window = std::min(height - 1, y + r) - std::max(0, y - r) + 1;
  const int last_below = std::min(height - 1, r);

  // Makes sums[c] this row's column sum; row y - 1 must be final up to column c.
  auto update_column = [&](int c) {
    const int i = 3 * c;
    if (y == 0) {
      std::int32_t b = 0, g = 0, rd = 0;
      for (int k = 1; k <= last_below; ++k) {
        b += rows[k][i];
        g += rows[k][i + 1];
        rd += rows[k][i + 2];
      }
      sums[i] = b;
      sums[i + 1] = g;
      sums[i + 2] = rd;
    } else {
      for (int ch = 0; ch < 3; ++ch)
        sums[i + ch] = sums_above[i + ch] + above[i + ch] - leaving[i + ch] - row[i + ch] + entering[i + ch];
    }
  };

  const int first_columns = std::min(r, w - 1) + 1;
  int ready = progress.WaitFor(y - 1, first_columns);
  std::int32_t s0 = 0, s1 = 0, s2 = 0;
  for (int c = 0; c < first_columns; ++c) {
    update_column(c);
    s0 += sums[3 * c] + row[3 * c];
    s1 += sums[3 * c + 1] + row[3 * c + 1];
    s2 += sums[3 * c + 2] + row[3 * c + 2];
  }

  for (int x = 0; x < w; ++x) {
    const int i = 3 * x;
    // Everything that does not depend on this pixel's result first, off the chain.
    std::int32_t d0 = -row[i], d1 = -row[i + 1], d2 = -row[i + 2];
    if (x >= r) {  // column x - r leaves the window (its current-row value is new)
      const int j = i - 3 * r;
      d0 -= sums[j] + row[j];
      d1 -= sums[j + 1] + row[j + 1];
      d2 -= sums[j + 2] + row[j + 2];
    }
    const int c = x + r + 1;
    if (c < w) {  // column c enters the window (its current-row value is still old)
      if (c >= ready) ready = progress.WaitFor(y - 1, c + 1);
      update_column(c);
      const int j = 3 * c;
      d0 += sums[j] + row[j];
      d1 += sums[j + 1] + row[j + 1];
      d2 += sums[j + 2] + row[j + 2];
    }
    const std::uint64_t m = reciprocal[rows_in_window * columns_in_window[x]];
    const auto n0 = static_cast<std::int32_t>((static_cast<std::uint64_t>(s0) * m) >> kShift);
    const auto n1 = static_cast<std::int32_t>((static_cast<std::uint64_t>(s1) * m) >> kShift);
    const auto n2 = static_cast<std::int32_t>((static_cast<std::uint64_t>(s2) * m) >> kShift);
    row[i] = static_cast<std::uint8_t>(n0);
    row[i + 1] = static_cast<std::uint8_t>(n1);
    row[i + 2] = static_cast<std::uint8_t>(n2);
    s0 += d0 + n0;
    s1 += d1 + n1;
    s2 += d2 + n2;
    if ((x + 1) % kPublishEvery == 0) progress.Publish(y, x + 1);
  }
  progress.Publish(y, w);
}

}  // namespace

void BoxBlurInPlace(int radius, Bitmap& target, bool two_threads) {
  if (radius <= 0 || target.Empty()) return;
  const auto rows = TABitmap::ScanlineTable(target);
  BlurJob job(target.Width(), target.Height(), radius, rows.get());
  RunRows(target.Height(), two_threads, [&job](int y) { job.Row(y); });
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

}  // namespace zumo
