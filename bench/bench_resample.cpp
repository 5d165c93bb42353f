// The resampler on the 4000 x 3000 photo: the 1600 x 1200 preset with both threads and with
// one, and an enlargement. Read each figure as a multiple of BM_Memcpy from the same run.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Lib/common/BitmapUtils.h"
#include "Lib/common/detail/Resample.h"

namespace {

void BM_ResampleTo1600(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::ResampleBitmap(photo, 1600, 1200));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ResampleTo1600)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResampleTo1600OneThread(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::detail::ResampleBitmapThreads(photo, 1600, 1200, 1));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ResampleTo1600OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResampleTo800(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::ResampleBitmap(photo, 800, 600));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ResampleTo800)->Unit(benchmark::kMillisecond)->UseRealTime();

// An enlargement of a quarter of the photo back to the photo's size: 1-2 source pixels per
// footprint, so the cost is in the target pixels.
void BM_ResampleEnlarge(benchmark::State& state) {
  static const zumo::Bitmap quarter = *zumo::ResampleBitmap(zumo::bench::Photo(), 2000, 1500);
  for (auto _ : state) benchmark::DoNotOptimize(zumo::ResampleBitmap(quarter, 4000, 3000));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ResampleEnlarge)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
