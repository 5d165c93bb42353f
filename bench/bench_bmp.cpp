// BMP reading and writing of the 4000 x 3000 picture. The file is read from the page
// cache, so the reading figure is the decoder plus the copy out of the kernel.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "photofiles/BmpWriter.h"
#include "platform/BmpReader.h"

namespace {

void BM_ReadBmpFile24(benchmark::State& state) {
  const std::string& path = zumo::bench::PhotoFile(zumo::SaveFormat::Bmp);
  for (auto _ : state) {
    zumo::Bitmap bitmap = zumo::ReadBmpFile(path);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ReadBmpFile24)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeBmp24(benchmark::State& state) {
  const auto bytes = zumo::EncodeBmp(zumo::bench::Photo());
  for (auto _ : state) {
    zumo::Bitmap bitmap = zumo::DecodeBmp(bytes);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_DecodeBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeBmp24(benchmark::State& state) {
  for (auto _ : state) {
    auto bytes = zumo::EncodeBmp(zumo::bench::Photo());
    benchmark::DoNotOptimize(bytes.data());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_EncodeBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
