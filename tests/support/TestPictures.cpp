#include "support/TestPictures.h"

#include <cmath>
#include <random>
#include <unistd.h>

namespace zumo::test {

Bitmap RandomBitmap(int width, int height, std::uint32_t seed) {
  Bitmap bitmap(width, height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int i = 0; i < 3 * width; ++i) row[i] = static_cast<std::uint8_t>(rng() >> 24);
  }
  return bitmap;
}

Bitmap PhotoLikeBitmap(int width, int height, std::uint32_t seed) {
  Bitmap bitmap(width, height);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> grain(-6, 6);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / std::max(1, width - 1);
      const double v = static_cast<double>(y) / std::max(1, height - 1);
      const double wave = 40.0 * std::sin(6.0 * u + 3.0 * v) * std::cos(4.0 * v);
      const int b = static_cast<int>(60 + 120 * v + wave) + grain(rng);
      const int g = static_cast<int>(90 + 100 * u * v + 0.5 * wave) + grain(rng);
      const int r = static_cast<int>(200 - 120 * u + wave) + grain(rng);
      row[3 * x + 0] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
    }
  }
  return bitmap;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zumo-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace zumo::test
