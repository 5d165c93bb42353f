// The one-button glow and the four techniques on the 4000 x 3000 photo (box-blur radius
// 10), whole chains including their picture copies. Read as ratios to BM_Memcpy.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "imaging/Techniques.h"

namespace {

void BM_Glow(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  zumo::TABitmap work;
  for (auto _ : state) {
    zumo::GlowResult glow = zumo::ApplyGlow(work, photo);
    benchmark::DoNotOptimize(glow.result.Bits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_Glow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Technique(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const auto technique = static_cast<zumo::Technique>(state.range(0));
  zumo::TABitmap work;
  for (auto _ : state) {
    zumo::TechniqueResult result = zumo::ApplyTechnique(work, photo, technique);
    benchmark::DoNotOptimize(result.result.Bits());
  }
  zumo::bench::CountBytes(state);
}
// 0 Leave it to me, 1 Too old, 2 Too flashy, 3 Overdone.
BENCHMARK(BM_Technique)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
