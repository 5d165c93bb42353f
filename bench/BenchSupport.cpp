#include "BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>

#include <unistd.h>

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

std::size_t PhotoBytes() { return static_cast<std::size_t>(Photo().Stride()) * static_cast<std::size_t>(Photo().Height()); }

void CountBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

std::string TemporaryPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("zumo-bench-" + std::to_string(::getpid()) + "-" + name)).string();
}

namespace {

struct TemporaryPhotoFile {
  explicit TemporaryPhotoFile(SaveFormat format) {
    path = TemporaryPath(format == SaveFormat::Bmp ? "photo.bmp" : "photo.jpg");
    WritePhotoFile(Photo(), path, format, kDefaultSaveQuality);
  }
  ~TemporaryPhotoFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  std::string path;
};

}  // namespace

const std::string& PhotoFile(SaveFormat format) {
  if (format == SaveFormat::Bmp) {
    static const TemporaryPhotoFile bmp(SaveFormat::Bmp);
    return bmp.path;
  }
  static const TemporaryPhotoFile jpeg(SaveFormat::Jpeg);
  return jpeg.path;
}

}  // namespace zumo::bench
