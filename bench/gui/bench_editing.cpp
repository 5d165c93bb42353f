// Editing comfort on a loaded 4000 x 3000 photo: undo and redo of a step (which only put
// pictures back and repaint), a slider change in the fitted view (the view then draws an
// area-averaged reduction of the new picture) and the history's memory bound. Read the
// figures as ratios to BM_Memcpy from the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRadioButton>
#include <QSlider>

#include "BenchSupport.h"
#include "GuiBenchWindow.h"
#include "Unit1Controls.h"
#include "controls/PhotoView.h"
#include "photofiles/PhotoFile.h"
#include "platform/Threads.h"

namespace {

void LoadPhoto(TForm1& window) {
  window.Controls().RadioButton8->setChecked(true);
  window.Set_Int();
  window.LoadPhoto(QString::fromStdString(zumo::bench::PhotoFile(zumo::SaveFormat::Bmp)));
  window.CloseGesture();
  QApplication::processEvents();
}

// One step (a brightness gesture) undone and redone in turn; each iteration is one undo or
// one redo and the repaint after it.
void BM_UndoRedo(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  window.Controls().Image1->ActualSize();
  LoadPhoto(window);
  window.Controls().TrackBar6->setValue(-1);
  window.Controls().TrackBar6->setValue(-30);
  window.CloseGesture();
  QApplication::processEvents();
  bool undo = true;
  for (auto _ : state) {
    if (undo)
      window.Undo();
    else
      window.Redo();
    QApplication::processEvents();
    undo = !undo;
  }
  if (!undo) window.Redo();
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_UndoRedo)->Unit(benchmark::kMillisecond)->UseRealTime();

// BM_SliderChange of bench_retouch.cpp, with the view fitted to the window (Ctrl+0). Args:
// slider number, position.
void BM_SliderChangeFitted(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  LoadPhoto(window);
  window.Controls().Image1->FitToView();
  QSlider* sliders[] = {window.Controls().TrackBar1, window.Controls().TrackBar4, window.Controls().TrackBar5,
                        window.Controls().TrackBar6, window.Controls().TrackBar7};
  QSlider* slider = nullptr;
  for (QSlider* s : sliders)
    if (s->objectName() == QStringLiteral("TrackBar%1").arg(state.range(0))) slider = s;
  const int position = static_cast<int>(state.range(1));
  const int neighbour = position > 0 ? position - 1 : position + 1;
  slider->setValue(neighbour);
  slider->setValue(neighbour);
  QApplication::processEvents();
  bool flip = false;
  for (auto _ : state) {
    slider->setValue(flip ? neighbour : position);
    QApplication::processEvents();
    flip = !flip;
  }
  window.Set_Int();
  window.CloseGesture();
  window.Controls().Image1->ActualSize();
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_SliderChangeFitted)
    ->ArgNames({"bar", "pos"})
    ->Args({6, -100})
    ->Args({4, 60})
    ->Args({7, 255})
    ->Args({5, 61})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The reduction alone: the whole photo to the fitted view's size.
void BM_AreaAveragedView(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::AreaAveraged(photo, 836, 627).constBits());
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_AreaAveragedView)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AreaAveragedViewOneThread(benchmark::State& state) {
  zumo::SetThreads(zumo::Threads::One);
  BM_AreaAveragedView(state);
  zumo::SetThreads(zumo::Threads::Auto);
}
BENCHMARK(BM_AreaAveragedViewOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// Sixty filter steps: the history keeps the newest steps within 1 GiB of pixels of its own.
void BM_HistoryBound(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  for (auto _ : state) {
    LoadPhoto(window);
    for (int i = 0; i < 60; ++i) {
      emit window.Controls().RGButton4->clicked();
      QApplication::processEvents();
    }
  }
  state.counters["steps"] = static_cast<double>(window.History().Steps());
  state.counters["held_MiB"] = static_cast<double>(window.History().HeldBytes(window.CaptureState())) / (1 << 20);
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_HistoryBound)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
