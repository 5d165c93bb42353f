// Turning the 4000 x 3000 photo upright for each EXIF orientation, to be read against
// BM_Memcpy of the same picture in the same run; the quarter turns also on one thread.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "imaging/Turn.h"
#include "platform/Threads.h"

namespace {

void BM_TurnUpright(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const auto orientation = static_cast<zumo::Orientation>(state.range(0));
  for (auto _ : state) {
    zumo::Bitmap upright = zumo::TurnUpright(photo, orientation);
    benchmark::DoNotOptimize(upright.Bits());
  }
  state.SetBytesProcessed(state.iterations() * photo.Stride() * photo.Height());
}
BENCHMARK(BM_TurnUpright)->DenseRange(2, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TurnUprightOneThread(benchmark::State& state) {
  zumo::SetThreads(zumo::Threads::One);
  BM_TurnUpright(state);
  zumo::SetThreads(zumo::Threads::Auto);
}
BENCHMARK(BM_TurnUprightOneThread)->DenseRange(5, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
