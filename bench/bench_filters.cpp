// The neighbourhood filters on the 4000 x 3000 photo. Read every figure as a multiple of
// BM_Memcpy from the same run. Each iteration starts from a private, already detached
// copy of the photo (prepared outside the timing).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "imaging/ABitmap.h"
#include "imaging/detail/Filters.h"
#include "reference/LiteralFilters.h"

namespace {

using zumo::Bitmap;

// A detached copy of the photo (or of its top-left crop), so the timing never includes
// the copy-on-write copy.
Bitmap Fresh(int width = 0, int height = 0) {
  const Bitmap& photo = zumo::bench::Photo();
  Bitmap copy(photo);
  if (width > 0) copy.SetSize(width, height);
  copy.MutableBits();
  return copy;
}

template <typename Filter>
void RunFilter(benchmark::State& state, Filter&& filter, int width = 0, int height = 0) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Bitmap target = Fresh(width, height);
    bytes = static_cast<std::size_t>(target.Stride()) * static_cast<std::size_t>(target.Height());
    state.ResumeTiming();
    filter(target);
    benchmark::DoNotOptimize(target.Bits());
  }
  zumo::bench::CountBytes(state, bytes);
}

void BM_BoxBlur(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  zumo::TABitmap home;
  RunFilter(state, [&](Bitmap& t) { home.BoxBlur(r, t); });
}
BENCHMARK(BM_BoxBlur)->Arg(1)->Arg(6)->Arg(10)->Arg(90)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each thread choice on its own; the default above takes two threads on a picture
// this large.
void BM_BoxBlurOneThread(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  RunFilter(state, [&](Bitmap& t) { zumo::detail::BoxBlurInPlace(r, t, false); });
}
BENCHMARK(BM_BoxBlurOneThread)->Arg(1)->Arg(6)->Arg(10)->Arg(90)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoxBlurTwoThreads(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  RunFilter(state, [&](Bitmap& t) { zumo::detail::BoxBlurInPlace(r, t, true); });
}
BENCHMARK(BM_BoxBlurTwoThreads)->Arg(1)->Arg(6)->Arg(10)->Arg(90)->Unit(benchmark::kMillisecond)->UseRealTime();

// The plain window sum on a 400 x 300 crop: multiply by 100 to compare with the photo.
void BM_BoxBlurLiteralCrop(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  RunFilter(state, [&](Bitmap& t) { zumo::literal::BoxBlur(r, t); }, 400, 300);
}
BENCHMARK(BM_BoxBlurLiteralCrop)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sharpen(benchmark::State& state) {
  zumo::TABitmap home;
  RunFilter(state, [&](Bitmap& t) { home.Sharpen(50, t); });
}
BENCHMARK(BM_Sharpen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenOneThread(benchmark::State& state) {
  RunFilter(state, [&](Bitmap& t) { zumo::detail::SharpenInPlace(50, t, false); });
}
BENCHMARK(BM_SharpenOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenTwoThreads(benchmark::State& state) {
  RunFilter(state, [&](Bitmap& t) { zumo::detail::SharpenInPlace(50, t, true); });
}
BENCHMARK(BM_SharpenTwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the shared photo into a target that shares pixels with another picture (as
// WorkBitmap shares with the view), against the copy-then-in-place it replaces; both
// take the target's new buffer from the pixel pool, as the window does.
template <typename Filter>
void RunFilterInto(benchmark::State& state, Filter&& filter) {
  const Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) {
    state.PauseTiming();
    Bitmap target = Fresh();
    const Bitmap shown(target);
    state.ResumeTiming();
    filter(photo, target);
    benchmark::DoNotOptimize(target.Bits());
  }
}

void BM_BoxBlurInto(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  zumo::TABitmap home;
  RunFilterInto(state, [&](const Bitmap& s, Bitmap& t) { home.BoxBlur(r, s, t); });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_BoxBlurInto)->Arg(1)->Arg(6)->Arg(90)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoxBlurCopyThenInPlace(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  zumo::TABitmap home;
  RunFilterInto(state, [&](const Bitmap& s, Bitmap& t) {
    t.Assign(s);
    home.BoxBlur(r, t);
  });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_BoxBlurCopyThenInPlace)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoxBlurIntoOneThread(benchmark::State& state) {
  RunFilterInto(state, [](const Bitmap& s, Bitmap& t) { zumo::detail::BoxBlurInto(6, s, t, false); });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_BoxBlurIntoOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenInto(benchmark::State& state) {
  const int a = static_cast<int>(state.range(0));
  zumo::TABitmap home;
  RunFilterInto(state, [&](const Bitmap& s, Bitmap& t) { home.Sharpen(a, s, t); });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_SharpenInto)->Arg(1)->Arg(120)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenCopyThenInPlace(benchmark::State& state) {
  zumo::TABitmap home;
  RunFilterInto(state, [&](const Bitmap& s, Bitmap& t) {
    t.Assign(s);
    home.Sharpen(120, t);
  });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_SharpenCopyThenInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenIntoOneThread(benchmark::State& state) {
  RunFilterInto(state, [](const Bitmap& s, Bitmap& t) { zumo::detail::SharpenInto(120, s, t, false); });
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_SharpenIntoOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RankFilter(benchmark::State& state) {
  const auto k = static_cast<std::uint8_t>(state.range(0));
  zumo::TABitmap home;
  RunFilter(state, [&](Bitmap& t) { home.RankFilter(t, k); });
}
BENCHMARK(BM_RankFilter)->Arg(5)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EdgeFilter(benchmark::State& state) {
  zumo::TABitmap home;
  RunFilter(state, [&](Bitmap& t) { home.EdgeFilter(t); });
}
BENCHMARK(BM_EdgeFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
