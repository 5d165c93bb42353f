#include "BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace zumo::bench {

const Bitmap& Photo() {
  static const Bitmap photo = [] {
    Bitmap bitmap(kPhotoWidth, kPhotoHeight);
    std::mt19937 rng(12345);
    for (int y = 0; y < kPhotoHeight; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int x = 0; x < kPhotoWidth; ++x) {
        const double u = x / double(kPhotoWidth), v = y / double(kPhotoHeight);
        const double wave = 50.0 * std::sin(9.0 * u + 4.0 * v) * std::cos(5.0 * v + 2.0 * u);
        const int grain = static_cast<int>(rng() % 13) - 6;
        row[3 * x + 0] = static_cast<std::uint8_t>(std::clamp(int(70 + 110 * v + wave) + grain, 0, 255));
        row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(int(100 + 90 * u * v + wave / 2) + grain, 0, 255));
        row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(int(210 - 130 * u + wave) + grain, 0, 255));
      }
    }
    return bitmap;
  }();
  return photo;
}

}  // namespace zumo::bench
