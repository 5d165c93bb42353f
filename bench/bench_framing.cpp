// Framing the 4000 x 3000 photo, to be read against BM_Memcpy of the same picture in the
// same run: crops (their cost is a copy of the rows they keep), a quarter turn and the flips,
// and straightening on the default path and on one thread.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "imaging/Framing.h"
#include "platform/Threads.h"

namespace {

void FrameLoop(benchmark::State& state, const zumo::Framing& framing) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) {
    zumo::Bitmap framed = zumo::Frame(photo, framing);
    benchmark::DoNotOptimize(framed.Bits());
  }
  zumo::bench::CountBytes(state);
}

// 0: the centred square (3/4 of the picture), 1: 3:4 portrait (9/16), 2: the centred quarter.
void BM_FrameCrop(benchmark::State& state) {
  const zumo::Crop crops[] = {zumo::CropRatio{1, 1}, zumo::CropRatio{3, 4}, zumo::CropRect{1000, 750, 2000, 1500}};
  FrameLoop(state, {.crop = crops[state.range(0)]});
}
BENCHMARK(BM_FrameCrop)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

// 0: a quarter turn clockwise, 1: left and right flipped, 2: top and bottom flipped.
void BM_FrameTurnFlip(benchmark::State& state) {
  const zumo::Framing framings[] = {{.quarter_turns = 1, .crop = {}},
                                    {.flip_horizontal = true, .crop = {}},
                                    {.flip_vertical = true, .crop = {}}};
  FrameLoop(state, framings[state.range(0)]);
}
BENCHMARK(BM_FrameTurnFlip)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Straightened by the argument in tenths of a degree.
void BM_Straighten(benchmark::State& state) {
  FrameLoop(state, {.straighten_tenths = static_cast<int>(state.range(0)), .crop = {}});
}
BENCHMARK(BM_Straighten)->Arg(30)->Arg(-125)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StraightenOneThread(benchmark::State& state) {
  zumo::SetThreads(zumo::Threads::One);
  BM_Straighten(state);
  zumo::SetThreads(zumo::Threads::Auto);
}
BENCHMARK(BM_StraightenOneThread)->Arg(30)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
