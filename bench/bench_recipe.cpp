// What keeping recipes adds to a slider change: the shown picture's recipe becomes the base's
// with the new step. Bytes are counted as the 12 MP photo's, so the figure reads as a ratio
// to BM_Memcpy of the picture the slider change works on.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Lib/recipe/Recipe.h"

namespace {

void BM_RecipeOfASliderChange(benchmark::State& state) {
  zumo::Recipe base{zumo::SizePreset::Long1600, {}, {}};
  for (int i = 0; i < state.range(0); ++i) base.steps.push_back(zumo::steps::Contrast{i % 100});
  zumo::Recipe shown;
  const zumo::Step step = zumo::steps::Brightness{-20};
  for (auto _ : state) {
    shown = base;
    if (!zumo::ChangesNothing(step)) shown.steps.push_back(step);
    benchmark::DoNotOptimize(shown.steps.data());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_RecipeOfASliderChange)->ArgName("steps")->Arg(10)->Arg(100)->Arg(1000)->UseRealTime();

}  // namespace
