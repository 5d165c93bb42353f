// The yardstick: copying the whole 4000 x 3000 picture once. Every other figure is
// reported as a multiple of this one, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchSupport.h"

namespace {

void BM_Memcpy(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const std::size_t bytes = static_cast<std::size_t>(photo.Stride()) * photo.Height();
  std::vector<std::uint8_t> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), photo.Bits(), bytes);
    benchmark::ClobberMemory();
  }
  zumo::bench::CountBytes(state, bytes);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
