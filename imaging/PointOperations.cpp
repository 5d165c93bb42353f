// The point operations of TABitmap whose new byte depends only on the old byte or the old
// pixel: ShiftRGB, Brightness, Contrast, Gamma, Grayscale, Desaturate.
//
// Per-byte rules are either saturating adds (vectorised) or 256-entry tables computed once
// per call with the exact extended-precision formula, then applied as a ByteCurve.
#include <cmath>
#include <cstdint>

#include "imaging/ABitmap.h"
#include "imaging/detail/ByteCurve.h"
#include "imaging/detail/DesaturateRow.h"
#include "imaging/detail/GrayRow.h"
#include "imaging/detail/RowBands.h"
#include "imaging/detail/RowKernels.h"
#include "platform/ExtendedPrecision.h"

namespace zumo {
namespace {

// Clip of a rounded extended-precision value. Within the arguments the system passes the
// value always fits an int; far outside them it is clamped before the conversion so that
// no value can overflow.
int ClipRounded(long double rounded) noexcept {
  if (rounded < 0.0L) return 0;
  if (rounded > 255.0L) return 255;
  return static_cast<int>(rounded);
}

void ApplyOffsets(Bitmap& target, const detail::ChannelOffsets& offsets) {
  if (target.Empty() || offsets.IsZero()) return;
  const std::size_t n = 3 * static_cast<std::size_t>(target.Width());
  detail::ForEachRow(target, [&](std::uint8_t* row) { offsets.Apply(row, n); });
}

void ApplyCurve(Bitmap& target, const std::uint8_t (&table)[256]) {
  const detail::ByteCurve curve(table);
  if (target.Empty() || curve.IsIdentity()) return;
  const std::size_t n = 3 * static_cast<std::size_t>(target.Width());
  detail::ForEachRow(target, [&](std::uint8_t* row) { curve.Apply(row, n); });
}

}  // namespace

void TABitmap::ShiftRGB(int R, int G, int B, Bitmap& Target) {
  // Arguments come red first; memory order is blue, green, red.
  ApplyOffsets(Target, detail::ChannelOffsets(B, G, R));
}

void TABitmap::Brightness(Bitmap& Target, std::int16_t D) {
  ApplyOffsets(Target, detail::ChannelOffsets(D, D, D));
}

void TABitmap::Contrast(int P, Bitmap& Target) {
  const double f = static_cast<double>(static_cast<long double>(P) / 100.0L);
  std::uint8_t table[256];
  for (int v = 0; v < 256; ++v) {
    const long double x = static_cast<long double>(v);
    table[v] = static_cast<std::uint8_t>(ClipRounded(std::rint(x + (x - 127.5L) * static_cast<long double>(f))));
  }
  ApplyCurve(Target, table);
}

void TABitmap::Gamma(Bitmap& Target, double G) {
  if (std::isnan(G) || G < 0.75 || G > 3.0) return;
  const double q = static_cast<double>(static_cast<long double>(G) / 2.2L);
  const int n = static_cast<int>(std::rint(static_cast<long double>(q)));
  std::uint8_t table[256];
  for (int i = 0; i < 256; ++i) {
    const long double x = static_cast<long double>(i) / 255.0L;
    table[i] = static_cast<std::uint8_t>(ClipRounded(std::rint(255.0L * Power(n, x))));
  }
  // An identity curve (n = 0) leaves the pixels as they are; the listeners hear of it anyway.
  ApplyCurve(Target, table);
  Target.Changed();
}

void TABitmap::Grayscale(Bitmap& Target) {
  if (Target.Empty()) return;
  const int width = Target.Width();
  detail::ForEachRow(Target, [width](std::uint8_t* row) { detail::GrayRow(row, width); });
}

void TABitmap::Desaturate(Bitmap& Target, std::uint8_t A) {
  if (Target.Empty()) return;
  const int width = Target.Width();
  detail::ForEachRow(Target, [width, A](std::uint8_t* row) { detail::DesaturateRow(row, width, A); });
}

}  // namespace zumo
