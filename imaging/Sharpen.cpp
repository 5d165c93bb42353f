// The in-place sharpen. Each pixel's 3 x 3 window holds the new values of the row above
// and of its left neighbour, so the pixels of a row form a chain through their left
// neighbours. Everything else a pixel needs (the row above, the rest of its own row,
// the row below, the unfiltered share of the mix) is gathered for a run of pixels in a
// pass the compiler vectorises; the chain itself is then one table look-up and one add
// per channel. On two threads each row is cut in two, and the right part of a row runs
// beside the left part of the next one.
//
// The same recurrence can read the unfiltered picture from one buffer and write the
// sharpened one to another of the same layout: old values (the pixel, its right
// neighbour, the row below) come from the input, new ones (the row above, the left
// neighbour) from the output. In place the two are the same buffer.
//
// At the picture's border the window is clipped to k < 9 pixels. There the sharpened
// value is t = ((5k - 1) v - 4 S) div (k - 1): it keeps a flat area flat and, for
// k = 9, equals the interior rule (11 v - S) div 2 exactly; a 1 x 1 picture keeps t = v.
#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "imaging/detail/RowWavefront.h"
#include "platform/Simd.h"

namespace zumo {
namespace detail {
namespace {

constexpr int kRun = 64;  // pixels gathered at once

// For an interior pixel, z = 11 v - S = 10 v - (sum of the eight neighbours) lies in
// [-8 * 255, 10 * 255]. The look-up is indexed by j = kZMax - z so that the left
// neighbour's new value u, which enters z negatively, is simply added to the index.
constexpr int kZMin = -8 * 255;
constexpr int kZMax = 10 * 255;
constexpr int kTableSize = kZMax - kZMin + 1;

// The chain of one run: each channel's new value feeds its right neighbour's window.
// A function of its own so that the vectoriser, which only lengthens a serial
// recurrence, finds nothing in it to combine with the gathering loop.
//
// A new value is the table entry plus the unfiltered share. The share is known in
// advance: the caller has put the left neighbour's share into every index but the run's
// first, so the chain carries the bare table entry and each step is a single load. The
// run stores the bare entries; the caller adds the shares afterwards, in a vector pass.
__attribute__((noinline)) void SharpenRun(const std::uint8_t* table, const std::int16_t* index, int count,
                                          std::uint8_t* out) noexcept {
  std::uintptr_t e0 = out[-3], e1 = out[-2], e2 = out[-1];  // the left neighbour, share included
  for (int k = 0; k < count; k += 3) {
    const std::uint8_t* const b0 = table + index[k];
    const std::uint8_t* const b1 = table + index[k + 1];
    const std::uint8_t* const b2 = table + index[k + 2];
#if ZUMO_SIMD
    // Written out so that each loaded byte lands in the register the next step indexes
    // with: left to itself the compiler loads into one register and copies into another,
    // a cycle more per step on the chain.
    asm("movzbl (%3,%0), %k0\n\tmovzbl (%4,%1), %k1\n\tmovzbl (%5,%2), %k2"
        : "+r"(e0), "+r"(e1), "+r"(e2)
        : "r"(b0), "r"(b1), "r"(b2), "m"(*(const std::uint8_t(*)[kTableSize])table));
#else
    e0 = b0[e0];
    e1 = b1[e1];
    e2 = b2[e2];
#endif
    out[k] = static_cast<std::uint8_t>(e0);
    out[k + 1] = static_cast<std::uint8_t>(e1);
    out[k + 2] = static_cast<std::uint8_t>(e2);
  }
}

struct SharpenJob {
  int width = 0;
  int height = 0;
  int weight = 0;
  const std::uint8_t* in = nullptr;  // the old values
  std::uint8_t* out = nullptr;       // the new values, laid out as `in` (the same buffer in place)
  std::ptrdiff_t stride = 0;
  std::array<std::uint8_t, kTableSize> sharpened{};  // by kZMax - z: (Clip(z div 2) * A) shr 8
  // Each row cut where the helper's record puts it; a run needs the row above one pixel
  // past its end.
  BandCuts cuts;

  SharpenJob(int w, int h, std::ptrdiff_t row_stride, const std::uint8_t* in_bits, std::uint8_t* out_bits, int a,
             int caller_share)
      : width(w), height(h), weight(a), in(in_bits), out(out_bits), stride(row_stride),
        cuts(w, 1, BandCuts::SplitFor(w, 1, 1, caller_share), 1) {
    for (int j = 0; j < kTableSize; ++j) {
      const int z = kZMax - j;
      sharpened[j] = static_cast<std::uint8_t>((TABitmap::Clip(z / 2) * a) >> 8);
    }
  }

  const std::uint8_t* OldRow(int y) const noexcept { return in + y * stride; }
  std::uint8_t* NewRow(int y) const noexcept { return out + y * stride; }
  int Mix(int t, int v) const noexcept { return ((TABitmap::Clip(t) * weight) >> 8) + ((v * (255 - weight)) >> 8); }

  void BorderPixel(int x, int y) noexcept;
  void BorderRow(BandPart& part) noexcept;
  void InteriorRow(BandPart& part) noexcept;
  // Row part.Band(), or the part of it that `part` covers.
  void Row(BandPart& part) noexcept {
    const int y = part.Band();
    part.Start();
    if (y == 0 || y == height - 1 || width < 3) {
      BorderRow(part);
    } else {
      InteriorRow(part);
    }
    part.Done();
  }
  void Run(bool two_threads, HelperPays& pays) {
    RunBandParts(height, two_threads, cuts, [this](BandPart& part) { Row(part); }, pays,
                 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  }
};

// A pixel whose window may be clipped, by the border rule.
void SharpenJob::BorderPixel(int x, int y) noexcept {
  const int x0 = std::max(0, x - 1), x1 = std::min(width - 1, x + 1);
  const int y0 = std::max(0, y - 1), y1 = std::min(height - 1, y + 1);
  const int k = (x1 - x0 + 1) * (y1 - y0 + 1);
  const std::uint8_t* const old_pixel = OldRow(y) + 3 * x;
  std::uint8_t* const pixel = NewRow(y) + 3 * x;
  for (int ch = 0; ch < 3; ++ch) {
    int s = 0;
    for (int yy = y0; yy <= y1; ++yy) {
      // New above and to the left, old from the pixel on.
      const std::uint8_t* const row = yy < y ? NewRow(yy) : OldRow(yy);
      for (int xx = x0; xx <= x1; ++xx) s += (yy == y && xx < x ? NewRow(yy) : row)[3 * xx + ch];
    }
    const int v = old_pixel[ch];
    const int t = k == 1 ? v : ((5 * k - 1) * v - 4 * s) / (k - 1);
    pixel[ch] = static_cast<std::uint8_t>(Mix(t, v));
  }
}

void SharpenJob::BorderRow(BandPart& part) noexcept {
  for (int x = part.First(0); x < part.End(0); ++x) {
    part.NeedAbove(std::min(width, x + 2));
    BorderPixel(x, part.Band());
    part.Finished(x + 1);
  }
}

void SharpenJob::InteriorRow(BandPart& part) noexcept {
  const int w = width;
  const int y = part.Band();
  const int first = part.First(0), end = part.End(0);
  const std::uint8_t* const row = OldRow(y);
  std::uint8_t* const row_new = NewRow(y);
  const std::uint8_t* const above = NewRow(y - 1);
  const std::uint8_t* const below = OldRow(y + 1);
  const auto keep = static_cast<std::uint16_t>(255 - weight);
  const std::uint8_t* const table = sharpened.data();

  if (first == 0) {
    part.NeedAbove(2);
    BorderPixel(0, y);
  }

  alignas(64) std::int16_t index[3 * kRun];
  alignas(64) std::uint8_t unfiltered[3 * kRun];
  const int interior_end = std::min(end, w - 1);
  for (int x0 = std::max(first, 1); x0 < interior_end; x0 += kRun) {
    const int x1 = std::min(x0 + kRun, interior_end);
    // The run reads the row above up to column x1, and the new value of its left neighbour.
    part.NeedAbove(x1 + 1);
    const int first = 3 * x0;
    const int count = 3 * (x1 - x0);
    for (int k = 0; k < count; ++k) {
      const int i = first + k;
      // Everything fits 16 bits (the index is 0..4590, the product at most 255 * 255):
      // saying so lets the vectoriser take eight bytes at a time.
      const auto rest = static_cast<std::uint16_t>(above[i - 3] + above[i] + above[i + 3] + row[i + 3] +
                                                   below[i - 3] + below[i] + below[i + 3]);
      index[k] = static_cast<std::int16_t>(kZMax - static_cast<std::uint16_t>(10 * row[i]) + rest);
      unfiltered[k] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(row[i] * keep) >> 8);
    }
    for (int k = 3; k < count; ++k) index[k] = static_cast<std::int16_t>(index[k] + unfiltered[k - 3]);
    SharpenRun(table, index, count, row_new + first);
    for (int k = 0; k < count; ++k) row_new[first + k] = static_cast<std::uint8_t>(row_new[first + k] + unfiltered[k]);
    part.Finished(x1);
  }

  if (end == w) {
    part.NeedAbove(w);
    BorderPixel(w - 1, y);
    part.Finished(w);
  }
}

// What the helper has paid on the sharpen lately.
HelperPays sharpen_pays;

}  // namespace

void SharpenInPlace(int weight, Bitmap& target, bool two_threads) {
  if (target.Empty()) return;
  std::uint8_t* const bits = target.MutableBits();
  SharpenJob job(target.Width(), target.Height(), target.Stride(), bits, bits, weight, sharpen_pays.CallerShare());
  job.Run(two_threads, sharpen_pays);
}

void SharpenInto(int weight, const Bitmap& source, Bitmap& target, bool two_threads) {
  if (source.Empty()) {
    target.Assign(source);
    return;
  }
  // Filled row by row, then handed over whole: should anything fail before, target is
  // as it was. The source is only read and the result is a buffer of its own, so the
  // source may share its pixels with the target, or be the target. The constructor
  // zeroes the rows' padding.
  Bitmap result(source.Width(), source.Height(), Bitmap::Uninitialized{});
  SharpenJob job(source.Width(), source.Height(), source.Stride(), source.Bits(), result.MutableBits(), weight,
                 sharpen_pays.CallerShare());
  job.Run(two_threads, sharpen_pays);
  target.Assign(result);
}

}  // namespace detail

void TABitmap::Sharpen(int A, Bitmap& Target) {
  // The system passes 1..120; a weight outside 0..255 is taken as the nearest end.
  const int weight = std::clamp(A, 0, 255);
  if (Target.Empty()) return;
  detail::SharpenInPlace(weight, Target, detail::WorthTwoThreads(Target.Width(), Target.Height(), detail::sharpen_pays));
}

void TABitmap::Sharpen(int A, const Bitmap& Source, Bitmap& Target) {
  detail::SharpenInto(std::clamp(A, 0, 255), Source, Target,
                      detail::WorthTwoThreads(Source.Width(), Source.Height(), detail::sharpen_pays));
}

}  // namespace zumo
