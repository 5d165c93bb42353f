// Loading a 12-megapixel JPEG into the window and showing it, against the decode alone and
// a memcpy of the same picture (BM_Memcpy, linked in), all in one run. The window's share (copies between picture
// stores, the size step as loaded, painting the visible part of the view) should stay a
// small fraction of the decode.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollArea>
#include <QWindow>

#include <string>

#include "BenchSupport.h"
#include "GuiBenchWindow.h"
#include "Unit1Controls.h"
#include "photofiles/PhotoFile.h"

namespace {

void BM_WindowReadJpeg(benchmark::State& state) {
  const std::string& path = zumo::bench::PhotoFile(zumo::SaveFormat::Jpeg);
  const int depth = zumo::bench::BenchWindow().ScreenBitsPerPixel();
  for (auto _ : state) {
    zumo::Bitmap picture = zumo::ReadPhotoFile(path, depth);
    benchmark::DoNotOptimize(picture.Bits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_WindowReadJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The load handler's work after its dialog: read, size step, the copies into the stores,
// then a synchronous paint of the photo view's visible part.
void BM_LoadAndShow(benchmark::State& state) {
  const QString path = QString::fromStdString(zumo::bench::PhotoFile(zumo::SaveFormat::Jpeg));
  TForm1& window = zumo::bench::BenchWindow();
  QWidget* view = window.Controls().ScrollBox1->viewport();
  for (auto _ : state) {
    window.LoadPhoto(path);
    benchmark::DoNotOptimize(view->grab().cacheKey());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_LoadAndShow)->Unit(benchmark::kMillisecond)->UseRealTime();

// Painting the view alone, once a photo is shown.
void BM_PaintView(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  window.LoadPhoto(QString::fromStdString(zumo::bench::PhotoFile(zumo::SaveFormat::Jpeg)));
  QWidget* view = window.Controls().ScrollBox1->viewport();
  for (auto _ : state) benchmark::DoNotOptimize(view->grab().cacheKey());
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_PaintView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
