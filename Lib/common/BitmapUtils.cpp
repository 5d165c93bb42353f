// Area-averaging resampler.
//
// Every target pixel is the area-weighted average of the source pixels under its footprint.
// The arithmetic follows a fixed recipe step by step: footprints and covers are formed in
// extended precision (long double, x87 80-bit) and held as doubles, every accumulation step
// is rounded to extended precision and then to a double, and the average is rounded half to
// even. Any change to the order of these operations changes pixels, so the fast path below
// keeps each accumulation exactly as the recipe orders it and only hoists what does not
// depend on the pixel: the covers depend on (target column, source column) and on
// (target row, source row) alone, so they are computed once per call.
#include "Lib/common/BitmapUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Lib/common/detail/Resample.h"
#include "platform/Error.h"
#include "platform/ExtendedPrecision.h"
#include "platform/Threads.h"

namespace zumo {
namespace {

constexpr const char* kEmptySourceMessage = "Assertion failure (BitmapUtils, 942 行)";
constexpr const char* kDivisionByZeroMessage = "0 による浮動小数点数除算";

// Taken off the right and bottom edge of every footprint, so that a footprint ending exactly
// on a pixel boundary does not reach into the next pixel.
constexpr long double kEdgeEpsilon = 1e-6L;


// The source pixels one target column (or row) covers: Floor(s0) .. Floor(s1), and where
// their covers start in the shared cover list.
struct Span {
  int first;   // first source column (row)
  int count;   // number of source columns (rows) covered
  int offset;  // index of the first cover in Plan::covers_x (covers_y)
};

struct Plan {
  std::vector<Span> columns;
  std::vector<Span> rows;
  std::vector<double> covers_x;
  std::vector<double> covers_y;
  float area = 0.0f;  // A, the divisor of every sum
};

// How much of source pixel i (the interval [i, i + 1)) the footprint [s0, s1] covers.
double Cover(int i, double s0, double s1) {
  const bool starts_before = i > s0;    // the pixel starts after the footprint does
  const bool ends_inside = i + 1 < s1;  // the pixel ends before the footprint does
  if (starts_before && ends_inside) return 1.0;
  if (!starts_before && ends_inside) return static_cast<double>(1.0L - (static_cast<long double>(s0) - i));
  if (starts_before && !ends_inside) return static_cast<double>(static_cast<long double>(s1) - i);
  return static_cast<double>(static_cast<long double>(s1) - s0);
}

// The spans and covers of every target column (or row) along one axis of source length
// `length` and scale factor `scale` (source pixels per target pixel).
void BuildAxis(int targets, int length, double scale, std::vector<Span>& spans, std::vector<double>& covers) {
  spans.resize(static_cast<std::size_t>(targets));
  covers.clear();
  covers.reserve(static_cast<std::size_t>(length) + 2 * static_cast<std::size_t>(targets));
  for (int t = 0; t < targets; ++t) {
    const double s0 = static_cast<double>(static_cast<long double>(t) * scale);
    const double s1 = static_cast<double>(static_cast<long double>(t + 1) * scale - kEdgeEpsilon);
    int first = static_cast<int>(std::floor(s0));
    int last = static_cast<int>(std::floor(s1));
    // The edge epsilon keeps the last footprint inside the source; the clamps only guard
    // the reads should rounding ever say otherwise.
    if (first < 0) first = 0;
    if (last > length - 1) last = length - 1;
    Span& span = spans[static_cast<std::size_t>(t)];
    span.first = first;
    span.count = last >= first ? last - first + 1 : 0;
    span.offset = static_cast<int>(covers.size());
    for (int i = first; i <= last; ++i) covers.push_back(Cover(i, s0, s1));
  }
}

// Round(sum / A) as a byte. Adding and taking away 2^63 rounds a non-negative extended value
// below 2^63 to an integer, ties to even, exactly as rintl does in the default rounding mode,
// at a fraction of frndint's cost; the integer then converts to int without touching the
// x87 control word.
std::uint8_t Average(double sum, float area) {
  constexpr long double kTwoTo63 = 0x1p63L;
  const long double quotient = static_cast<long double>(sum) / area;
  if (!(quotient > 0.0L)) return 0;
  if (quotient >= 255.0L) return 255;
  const long double rounded = (quotient + kTwoTo63) - kTwoTo63;
  return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(rounded)));
}

// Byte values as floats: the x87 unit multiplies by a float straight from memory, where a
// byte would first have to be stored as an integer and loaded again. The conversion is exact.
struct ByteValues {
  float value[256];
  constexpr ByteValues() : value() {
    for (int i = 0; i < 256; ++i) value[i] = static_cast<float>(i);
  }
};
constexpr ByteValues kByteValues;

// The sums of one target pixel (blue, green, red), each held as a double.
struct Sums {
  double blue = 0.0;
  double green = 0.0;
  double red = 0.0;

  // Adds wx * wy * channel for each channel: the products and the sum in extended
  // precision, the sum then held as a double.
  void Add(long double weight, const std::uint8_t* pixel) {
    const float* const v = kByteValues.value;
    blue = static_cast<double>(blue + weight * v[pixel[0]]);
    green = static_cast<double>(green + weight * v[pixel[1]]);
    red = static_cast<double>(red + weight * v[pixel[2]]);
  }

  void Write(std::uint8_t* out, float area) const {
    out[0] = Average(blue, area);
    out[1] = Average(green, area);
    out[2] = Average(red, area);
  }
};

// One target pixel: source rows of row_span from `first_row` on, the columns of
// column_span. Rows outer, columns inner, as the sums must be formed.
Sums SumFootprint(const std::uint8_t* first_row, std::ptrdiff_t stride, int rows, const double* wys,
                  int columns, const double* wxs) {
  Sums sums;
  for (int j = 0; j < rows; ++j, first_row += stride) {
    const double wy = wys[j];
    const std::uint8_t* pixel = first_row;
    for (int i = 0; i < columns; ++i, pixel += 3) sums.Add(static_cast<long double>(wxs[i]) * wy, pixel);
  }
  return sums;
}

// Two neighbouring target pixels whose footprints span the same number of columns, summed
// side by side: each sum is formed in the same order as alone, but the two chains of
// rounding steps run interleaved, which keeps the floating-point unit busy.
void SumFootprintPair(const std::uint8_t* first_row_a, const std::uint8_t* first_row_b, std::ptrdiff_t stride,
                      int rows, const double* wys, int columns, const double* wxs_a, const double* wxs_b,
                      Sums& a, Sums& b) {
  for (int j = 0; j < rows; ++j, first_row_a += stride, first_row_b += stride) {
    const double wy = wys[j];
    const std::uint8_t* pixel_a = first_row_a;
    const std::uint8_t* pixel_b = first_row_b;
    for (int i = 0; i < columns; ++i, pixel_a += 3, pixel_b += 3) {
      a.Add(static_cast<long double>(wxs_a[i]) * wy, pixel_a);
      b.Add(static_cast<long double>(wxs_b[i]) * wy, pixel_b);
    }
  }
}

// Target rows [row_begin, row_end) of the result.
void ResampleRows(const Plan& plan, const std::uint8_t* source, std::ptrdiff_t source_stride,
                  std::uint8_t* target, std::ptrdiff_t target_stride, int row_begin, int row_end) {
  const Span* const columns = plan.columns.data();
  const int target_width = static_cast<int>(plan.columns.size());
  const double* const covers_x = plan.covers_x.data();
  const float area = plan.area;

  for (int ty = row_begin; ty < row_end; ++ty) {
    const Span row_span = plan.rows[static_cast<std::size_t>(ty)];
    const double* const wys = plan.covers_y.data() + row_span.offset;
    const std::uint8_t* const first_row = source + row_span.first * source_stride;
    std::uint8_t* const out = target + ty * target_stride;
    int tx = 0;
    for (; tx + 1 < target_width; tx += 2) {
      const Span a = columns[tx];
      const Span b = columns[tx + 1];
      if (a.count == b.count) {
        Sums sums_a, sums_b;
        SumFootprintPair(first_row + 3 * std::ptrdiff_t{a.first}, first_row + 3 * std::ptrdiff_t{b.first},
                         source_stride, row_span.count, wys, a.count, covers_x + a.offset, covers_x + b.offset,
                         sums_a, sums_b);
        sums_a.Write(out + 3 * tx, area);
        sums_b.Write(out + 3 * (tx + 1), area);
      } else {
        SumFootprint(first_row + 3 * std::ptrdiff_t{a.first}, source_stride, row_span.count, wys, a.count,
                     covers_x + a.offset)
            .Write(out + 3 * tx, area);
        SumFootprint(first_row + 3 * std::ptrdiff_t{b.first}, source_stride, row_span.count, wys, b.count,
                     covers_x + b.offset)
            .Write(out + 3 * (tx + 1), area);
      }
    }
    if (tx < target_width) {
      const Span a = columns[tx];
      SumFootprint(first_row + 3 * std::ptrdiff_t{a.first}, source_stride, row_span.count, wys, a.count,
                   covers_x + a.offset)
          .Write(out + 3 * tx, area);
    }
  }
}

}  // namespace

namespace detail {

std::unique_ptr<Bitmap> ResampleBitmapThreads(const Bitmap& source, int new_width, int new_height,
                                              int threads) {
  const int width = source.Width();
  const int height = source.Height();
  if (width <= 0 || height <= 0) throw Error(kEmptySourceMessage);
  if (new_width == 0 || new_height == 0) throw Error(kDivisionByZeroMessage);
  if (new_width < 0 || new_height < 0) {
    throw Error("縮小・拡大後の大きさ（" + std::to_string(new_width) + " × " + std::to_string(new_height) +
                "）が不正です。幅と高さは 1 ピクセル以上でなければなりません");
  }
  Bitmap::CheckSize(new_width, new_height);

  Plan plan;
  // W x H fits in 32 bits within the picture limits (10922 x 32767).
  const std::int32_t source_area = width * height;
  plan.area = static_cast<float>(static_cast<long double>(source_area) / new_width / new_height);
  const double scale_x = static_cast<double>(static_cast<long double>(width) / new_width);
  const double scale_y = static_cast<double>(static_cast<long double>(height) / new_height);
  BuildAxis(new_width, width, scale_x, plan.columns, plan.covers_x);
  BuildAxis(new_height, height, scale_y, plan.rows, plan.covers_y);

  auto result = std::make_unique<Bitmap>(new_width, new_height, Bitmap::Uninitialized{});
  const std::uint8_t* const source_bits = source.Bits();
  const std::ptrdiff_t source_stride = source.Stride();
  std::uint8_t* const target_bits = result->MutableBits();
  const std::ptrdiff_t target_stride = result->Stride();

  const auto rows = [&](int first, int last) {
    ResampleRows(plan, source_bits, source_stride, target_bits, target_stride, first, last);
  };
  // A target row reads about height / new_height source rows.
  const std::size_t row_bytes = static_cast<std::size_t>(source_stride) * static_cast<std::size_t>(height) /
                                    static_cast<std::size_t>(new_height) +
                                static_cast<std::size_t>(target_stride);
  RunBands(new_height, ItemsPerBand(row_bytes), threads >= 2, rows);
  return result;
}

}  // namespace detail

std::unique_ptr<Bitmap> ResampleBitmap(const Bitmap& Source, int NewWidth, int NewHeight) {
  // The work grows with what is read and what is written.
  const auto bytes_touched = static_cast<std::size_t>(Source.Stride()) * static_cast<std::size_t>(Source.Height()) +
                             3 * static_cast<std::size_t>(std::max(NewWidth, 0)) * static_cast<std::size_t>(std::max(NewHeight, 0));
  return detail::ResampleBitmapThreads(Source, NewWidth, NewHeight, UseSecondThread(bytes_touched) ? 2 : 1);
}

}  // namespace zumo
