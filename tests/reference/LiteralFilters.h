#pragma once

// Slow, literal versions of the neighbourhood filters: each one is the plain loop the
// filter is defined by, with nothing precomputed. The fast filters must give exactly
// the same bytes.

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/ABitmap.h"

namespace zumo::literal {

inline int Clip(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// In place: every window reads the pixels as they are at that moment.
inline void BoxBlur(int r, Bitmap& target) {
  const int w = target.Width(), h = target.Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::int32_t sb = 0, sg = 0, sr = 0;
      std::int16_t n = 0;
      for (int yy = y - r; yy <= y + r; ++yy) {
        if (yy < 0 || yy >= h) continue;
        const std::uint8_t* row = target.ScanLine(yy);
        for (int xx = x - r; xx <= x + r; ++xx) {
          if (xx < 0 || xx >= w) continue;
          sb += row[3 * xx];
          sg += row[3 * xx + 1];
          sr += row[3 * xx + 2];
          ++n;
        }
      }
      std::uint8_t* p = target.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(sb / n);
      p[1] = static_cast<std::uint8_t>(sg / n);
      p[2] = static_cast<std::uint8_t>(sr / n);
    }
  }
}

// In place, 3 x 3 clipped window of k pixels; t = (11 v - S) div 2 for a full window and
// ((5k - 1) v - 4 S) div (k - 1) for a clipped one (t = v for a lone pixel).
inline void Sharpen(int a, Bitmap& target) {
  const int w = target.Width(), h = target.Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int s[3] = {0, 0, 0};
      int k = 0;
      for (int yy = y - 1; yy <= y + 1; ++yy) {
        for (int xx = x - 1; xx <= x + 1; ++xx) {
          if (yy < 0 || yy >= h || xx < 0 || xx >= w) continue;
          const std::uint8_t* p = target.ScanLine(yy) + 3 * xx;
          for (int ch = 0; ch < 3; ++ch) s[ch] += p[ch];
          ++k;
        }
      }
      std::uint8_t* p = target.ScanLine(y) + 3 * x;
      for (int ch = 0; ch < 3; ++ch) {
        const int v = p[ch];
        int t;
        if (k == 9) {
          t = (11 * v - s[ch]) / 2;
        } else if (k == 1) {
          t = v;
        } else {
          t = ((5 * k - 1) * v - 4 * s[ch]) / (k - 1);
        }
        p[ch] = static_cast<std::uint8_t>(((Clip(t) * a) >> 8) + ((v * (255 - a)) >> 8));
      }
    }
  }
}

// Bubble sort of the packed colours, then the K-th smallest.
inline std::int32_t RankOf9(const std::array<BgrPixel, 9>& pixels, int k) {
  std::int32_t v[9];
  for (int i = 0; i < 9; ++i) v[i] = pixels[i].b + 256 * pixels[i].g + 65536 * pixels[i].r;
  for (int last = 8; last >= 1; --last) {
    for (int i = 0; i < last; ++i) {
      if (v[i + 1] < v[i]) std::swap(v[i], v[i + 1]);
    }
  }
  return v[k - 1];
}

// Windows from an unchanged copy; interior pixels only.
inline void RankFilter(Bitmap& target, int k) {
  const Bitmap copy(target);
  const int w = target.Width(), h = target.Height();
  if (w < 3 || h < 3) return;
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      std::array<BgrPixel, 9> window{};
      int i = 0;
      for (int yy = y - 1; yy <= y + 1; ++yy) {
        for (int xx = x - 1; xx <= x + 1; ++xx) {
          const std::uint8_t* p = copy.ScanLine(yy) + 3 * xx;
          window[i++] = BgrPixel{p[0], p[1], p[2]};
        }
      }
      const std::int32_t chosen = RankOf9(window, k);
      std::uint8_t* p = target.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(chosen & 255);
      p[1] = static_cast<std::uint8_t>((chosen >> 8) & 255);
      p[2] = static_cast<std::uint8_t>((chosen >> 16) & 255);
    }
  }
}

// A new white picture gets Clip(S - 9 v) at the interior pixels, then replaces the target.
inline void EdgeFilter(Bitmap& target) {
  const int w = target.Width(), h = target.Height();
  Bitmap edges(w, h);
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        int s = 0;
        for (int yy = y - 1; yy <= y + 1; ++yy)
          for (int xx = x - 1; xx <= x + 1; ++xx) s += target.ScanLine(yy)[3 * xx + ch];
        const int v = target.ScanLine(y)[3 * x + ch];
        edges.ScanLine(y)[3 * x + ch] = static_cast<std::uint8_t>(Clip(s - 9 * v));
      }
    }
  }
  target.Assign(edges);
}

}  // namespace zumo::literal
