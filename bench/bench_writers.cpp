// Encoding the 4000 x 3000 photo as PNG, WebP and AVIF, in memory (the whole-process
// comparison with the reference command-line encoders is tools/compare-writers.sh).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "photofiles/AvifWriter.h"
#include "photofiles/PngWriter.h"
#include "photofiles/WebpWriter.h"

namespace {

void BM_EncodePng(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(zumo::EncodePng(zumo::bench::Photo()));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond)->UseRealTime();

// Argument: the quality; 0 for lossless.
void BM_EncodeWebp(benchmark::State& state) {
  const int quality = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(zumo::EncodeWebp(zumo::bench::Photo(), quality == 0 ? 75 : quality, quality == 0));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_EncodeWebp)->Arg(85)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeAvif(benchmark::State& state) {
  if (!zumo::CanEncodeAvif()) {
    state.SkipWithError("no AV1 encoder");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(zumo::EncodeAvif(zumo::bench::Photo(), zumo::kDefaultAvifQuality));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_EncodeAvif)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
