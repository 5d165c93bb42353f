// The point operations on the 4000 x 3000 photo. Each iteration restores the photo into a
// working picture outside the timing (a plain copy into pixels the picture owns alone),
// then times one operation. The argument is the number of threads allowed (1 or 2).
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>

#include "BenchSupport.h"
#include "imaging/ABitmap.h"
#include "platform/Threads.h"

namespace {

using Operation = std::function<void(zumo::TABitmap&, zumo::Bitmap&)>;

void RunPointOperation(benchmark::State& state, const Operation& operation) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const std::size_t bytes = static_cast<std::size_t>(photo.Stride()) * photo.Height();
  zumo::Bitmap picture(photo.Width(), photo.Height(), zumo::Bitmap::Uninitialized{});
  zumo::TABitmap work;
  zumo::SetThreads(state.range(0) > 1 ? zumo::Threads::Auto : zumo::Threads::One);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(picture.MutableBits(), photo.Bits(), bytes);
    state.ResumeTiming();
    operation(work, picture);
    benchmark::ClobberMemory();
  }
  zumo::SetThreads(zumo::Threads::Auto);
  zumo::bench::CountBytes(state, bytes);
}

void BM_Brightness(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.Brightness(t, 40); });
}
void BM_ShiftRGB(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.ShiftRGB(30, -20, 10, t); });
}
void BM_Overlay(benchmark::State& state) {
  const zumo::TABitmap source(zumo::bench::Photo());
  RunPointOperation(state, [&source](zumo::TABitmap&, zumo::Bitmap& t) {
    source.Overlay(0, 0, t.Width(), t.Height(), t, 100);
  });
}
void BM_Contrast(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.Contrast(35, t); });
}
void BM_Gamma(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.Gamma(t, 1.2); });
}
void BM_Desaturate(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.Desaturate(t, 128); });
}
void BM_Grayscale(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.Grayscale(t); });
}
void BM_AddNoise(benchmark::State& state) {
  RunPointOperation(state, [](zumo::TABitmap& w, zumo::Bitmap& t) { w.AddNoise(t, 40); });
}

#define ZUMO_POINT_BENCH(name) BENCHMARK(name)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()
ZUMO_POINT_BENCH(BM_Brightness);
ZUMO_POINT_BENCH(BM_ShiftRGB);
ZUMO_POINT_BENCH(BM_Overlay);
ZUMO_POINT_BENCH(BM_Contrast);
ZUMO_POINT_BENCH(BM_Gamma);
ZUMO_POINT_BENCH(BM_Desaturate);
ZUMO_POINT_BENCH(BM_Grayscale);
BENCHMARK(BM_AddNoise)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
