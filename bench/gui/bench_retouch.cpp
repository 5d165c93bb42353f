// Retouching a loaded 4000 x 3000 photo through the window's real handlers: one change
// notification of each slider, the one-button filter and each preset technique. Each
// iteration also lets the window repaint its view (the paint happens after the handler
// returns), so the figure is what the user waits for. Read the figures as ratios to
// BM_Memcpy of the same picture from the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRadioButton>
#include <QSlider>
#include <QWindow>

#include "BenchSupport.h"
#include "GuiBenchWindow.h"
#include "Unit1Controls.h"
#include "photofiles/PhotoFile.h"

namespace {

// A fresh load of the photo as it is (RadioButton8), every slider at 0.
void LoadPhoto(TForm1& window) {
  window.Controls().RadioButton8->setChecked(true);
  window.Set_Int();
  window.LoadPhoto(QString::fromStdString(zumo::bench::PhotoFile(zumo::SaveFormat::Bmp)));
  QApplication::processEvents();
}

QSlider* Slider(TForm1& window, int number) {
  Ui::TForm1& ui = window.Controls();
  QSlider* sliders[] = {ui.TrackBar1, ui.TrackBar2, ui.TrackBar3, ui.TrackBar4, ui.TrackBar5, ui.TrackBar6, ui.TrackBar7};
  return sliders[number - 1];
}

// Args: slider number, position. Iterations alternate between the position and its
// neighbour towards 0 (same blur radius class), inside the slider's active group.
void BM_SliderChange(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  LoadPhoto(window);
  QSlider* slider = Slider(window, static_cast<int>(state.range(0)));
  const int position = static_cast<int>(state.range(1));
  const int neighbour = position > 0 ? position - 1 : position + 1;
  slider->setValue(neighbour);  // the group switch, not applied
  slider->setValue(neighbour);
  QApplication::processEvents();
  bool flip = false;
  for (auto _ : state) {
    slider->setValue(flip ? neighbour : position);
    QApplication::processEvents();  // the view's repaint
    flip = !flip;
  }
  window.Set_Int();
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_SliderChange)
    ->ArgNames({"bar", "pos"})
    ->Args({1, -50})
    ->Args({4, -100})
    ->Args({4, 60})
    ->Args({6, -100})
    ->Args({6, 40})
    ->Args({7, 255})
    ->Args({7, 100})
    ->Args({5, -120})
    ->Args({5, -1})
    ->Args({5, 10})
    ->Args({5, 21})
    ->Args({5, 61})
    ->Args({5, 120})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_OneButtonFilter(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  LoadPhoto(window);
  for (auto _ : state) {
    window.RGButton4Click();
    QApplication::processEvents();
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_OneButtonFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arg: 0 Leave it to me, 1 Too old, 2 Too flashy, 3 Overdone.
void BM_WindowTechnique(benchmark::State& state) {
  TForm1& window = zumo::bench::BenchWindow();
  LoadPhoto(window);
  Ui::TForm1& ui = window.Controls();
  QRadioButton* buttons[] = {ui.RadioButton2, ui.RadioButton3, ui.RadioButton4, ui.RadioButton12};
  buttons[state.range(0)]->setChecked(true);
  for (auto _ : state) {
    window.RGButton5Click();
    QApplication::processEvents();
  }
  ui.RadioButton2->setChecked(true);
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_WindowTechnique)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
