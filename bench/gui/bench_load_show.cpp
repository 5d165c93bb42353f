// Loading a 12-megapixel JPEG into the window and showing it, against the decode alone and
// a memcpy of the same picture (BM_Memcpy, linked in), all in one run. The window's share (copies between picture
// stores, the size step as loaded, painting the visible part of the view) should stay a
// small fraction of the decode.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollArea>
#include <QWindow>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "AppSetup.h"
#include "BenchSupport.h"
#include "Unit1Controls.h"
#include "platform/PhotoFile.h"

namespace {

// The shared photo written once as a JPEG at the program's normal quality, removed at exit.
struct JpegOnDisk {
  JpegOnDisk() {
    path = (std::filesystem::temp_directory_path() / ("zumo-gui-bench-" + std::to_string(::getpid()) + ".jpg")).string();
    zumo::WritePhotoFile(zumo::bench::Photo(), path, zumo::SaveFormat::Jpeg, 85);
  }
  ~JpegOnDisk() { std::filesystem::remove(path); }
  std::string path;
};

const std::string& PhotoJpeg() {
  static const JpegOnDisk file;
  return file.path;
}

TForm1& Window() {
  static TForm1* window = [] {
    zumo::app::ConfigureApplication(*qApp);
    auto* form = new TForm1;
    form->show();
    // Painting happens only once the platform has exposed the window.
    for (int i = 0; i < 1000 && !(form->windowHandle() && form->windowHandle()->isExposed()); ++i)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return form;
  }();
  return *window;
}

void BM_DecodeJpeg(benchmark::State& state) {
  const std::string& path = PhotoJpeg();
  const int depth = Window().ScreenBitsPerPixel();
  for (auto _ : state) {
    zumo::Bitmap picture = zumo::ReadPhotoFile(path, depth);
    benchmark::DoNotOptimize(picture.Bits());
  }
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The load handler's work after its dialog: read, size step, the copies into the stores,
// then a synchronous paint of the photo view's visible part.
void BM_LoadAndShow(benchmark::State& state) {
  const QString path = QString::fromStdString(PhotoJpeg());
  TForm1& window = Window();
  QWidget* view = window.Controls().ScrollBox1->viewport();
  for (auto _ : state) {
    window.LoadPhoto(path);
    benchmark::DoNotOptimize(view->grab().cacheKey());
  }
}
BENCHMARK(BM_LoadAndShow)->Unit(benchmark::kMillisecond)->UseRealTime();

// Painting the view alone, once a photo is shown.
void BM_PaintView(benchmark::State& state) {
  TForm1& window = Window();
  window.LoadPhoto(QString::fromStdString(PhotoJpeg()));
  QWidget* view = window.Controls().ScrollBox1->viewport();
  for (auto _ : state) benchmark::DoNotOptimize(view->grab().cacheKey());
}
BENCHMARK(BM_PaintView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
