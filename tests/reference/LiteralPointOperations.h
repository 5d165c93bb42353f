#pragma once

// Slow, literal transcriptions of the point operations: one byte at a time through the row
// pointer, in extended precision, with Clip and round-half-to-even, exactly as the rules
// read. The real operations are compared against these.

#include <cmath>
#include <cstdint>

#include "platform/Bitmap.h"

namespace zumo::literal {

inline int Clip(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline void ShiftRGB(int R, int G, int B, Bitmap& target) {
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int x = 0; x < target.Width(); ++x) {
      row[3 * x + 0] = static_cast<std::uint8_t>(Clip(row[3 * x + 0] + B));
      row[3 * x + 1] = static_cast<std::uint8_t>(Clip(row[3 * x + 1] + G));
      row[3 * x + 2] = static_cast<std::uint8_t>(Clip(row[3 * x + 2] + R));
    }
  }
}

inline void Contrast(int P, Bitmap& target) {
  const double f = static_cast<double>(static_cast<long double>(P) / 100.0L);
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int i = 0; i < 3 * target.Width(); ++i) {
      const long double v = row[i];
      row[i] = static_cast<std::uint8_t>(Clip(static_cast<int>(rintl(v + (v - 127.5L) * f))));
    }
  }
}

inline void Brightness(Bitmap& target, std::int16_t D) {
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int i = 0; i < 3 * target.Width(); ++i) row[i] = static_cast<std::uint8_t>(Clip(row[i] + D));
  }
}

inline void Grayscale(Bitmap& target) {
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int x = 0; x < target.Width(); ++x) {
      const int b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
      const int level = Clip(static_cast<int>(rintl(0.299L * r + 0.587L * g + 0.114L * b)));
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<std::uint8_t>(level);
    }
  }
}

inline void Desaturate(Bitmap& target, std::uint8_t A) {
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int x = 0; x < target.Width(); ++x) {
      const int m = (row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3;
      for (int c = 0; c < 3; ++c) {
        const int ch = row[3 * x + c];
        row[3 * x + c] = static_cast<std::uint8_t>(((ch * (255 - A)) >> 8) + ((m * A) >> 8));
      }
    }
  }
}

inline long double Power(int N, long double X) {
  long double r = X;
  for (int i = 0; i < N; ++i) r = r * X;
  return r;
}

// Returns whether G was accepted (and the listeners would be told).
inline bool Gamma(Bitmap& target, double G) {
  if (G < 0.75 || G > 3.0 || std::isnan(G)) return false;
  const double q = static_cast<double>(static_cast<long double>(G) / 2.2L);
  const int n = static_cast<int>(rintl(q));
  std::uint8_t table[256];
  for (int i = 0; i < 256; ++i) {
    const long double x = static_cast<long double>(i) / 255.0L;
    const int v = static_cast<int>(rintl(255.0L * Power(n, x)));
    table[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  for (int y = 0; y < target.Height(); ++y) {
    std::uint8_t* row = target.ScanLine(y);
    for (int i = 0; i < 3 * target.Width(); ++i) row[i] = table[row[i]];
  }
  return true;
}

// For arguments within the stated preconditions (X, Y >= 0, source large enough). Returns
// whether the target would be notified.
inline bool Overlay(const Bitmap& source, int X, int Y, int W, int H, Bitmap& target, std::uint16_t alpha) {
  if (alpha == 0) return false;
  const int a = alpha > 255 ? 255 : alpha;
  const int b = 256 - a;
  const int bottom = Y + H > target.Height() ? target.Height() : Y + H;
  const int right = X + W > target.Width() ? target.Width() : X + W;
  const int n = 3 * right - 3 * X;
  if (n <= 0) return false;
  for (int t = Y; t < bottom; ++t) {
    const std::uint8_t* s = source.ScanLine(t - Y);
    std::uint8_t* d = target.ScanLine(t) + 3 * X;
    for (int i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>((s[i] * a + d[i] * b) >> 8);
  }
  return true;
}

}  // namespace zumo::literal
