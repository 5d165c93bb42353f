// The crop editor on the 4000 x 3000 photo in the window's place (840 x 579): one step of a
// handle drag (the mouse move and the repaint of what it changed, as a frame shows it), a
// whole repaint of the picture and its overlay, one step of the straightening angle (the
// preview turned anew and repainted), and Start (the reduced preview made from the photo).
// Paints per iteration are counted, so that a figure never times a paint that did not happen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QImage>
#include <QMouseEvent>

#include "BenchSupport.h"
#include "controls/CropCanvas.h"
#include "controls/CropEditor.h"

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

void SendMouse(QWidget* widget, QEvent::Type type, QPointF pos) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// A shown editor on the photo with a box away from the edges.
struct Shown {
  zumo::TCropEditor editor;
  PaintCounter counter;
  Shown() {
    editor.resize(840, 579);
    editor.Start(zumo::bench::Photo(), 0,
                 zumo::CropRect{800, 600, 2400, 1800, zumo::bench::kPhotoWidth, zumo::bench::kPhotoHeight});
    editor.show();
    QApplication::processEvents();
    editor.Canvas()->installEventFilter(&counter);
  }
};

void ReportPaints(benchmark::State& state, const PaintCounter& counter) {
  state.counters["paints"] = benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
}

// The bottom-right handle dragged back and forth by 40 screen pixels, one move per
// iteration, each followed by the repaint it asked for.
void BM_CropDragStep(benchmark::State& state) {
  Shown shown;
  zumo::TCropCanvas* canvas = shown.editor.Canvas();
  const QPointF corner = canvas->BoxArea().bottomRight();
  SendMouse(canvas, QEvent::MouseButtonPress, corner);
  bool out = true;
  for (auto _ : state) {
    SendMouse(canvas, QEvent::MouseMove, corner + (out ? QPointF(40, 25) : QPointF(-40, -25)));
    QApplication::processEvents();
    out = !out;
  }
  SendMouse(canvas, QEvent::MouseButtonRelease, corner);
  ReportPaints(state, shown.counter);
}
BENCHMARK(BM_CropDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case of a frame: the whole canvas repainted (picture, dimming, thirds, handles,
// size).
void BM_CropWholePaint(benchmark::State& state) {
  Shown shown;
  zumo::TCropCanvas* canvas = shown.editor.Canvas();
  for (auto _ : state) {
    canvas->repaint();
  }
  ReportPaints(state, shown.counter);
}
BENCHMARK(BM_CropWholePaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The angle moved by a tenth of a degree and back: the reduced preview turned into the shown
// picture again and the canvas repainted.
void BM_CropAngleStep(benchmark::State& state) {
  Shown shown;
  auto* spin = shown.editor.findChild<QDoubleSpinBox*>();
  bool up = true;
  for (auto _ : state) {
    spin->setValue(up ? 2.1 : 2.0);
    QApplication::processEvents();
    up = !up;
  }
  ReportPaints(state, shown.counter);
}
BENCHMARK(BM_CropAngleStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// Start on the photo: the reduced preview is made from the whole picture.
void BM_CropStart(benchmark::State& state) {
  zumo::TCropEditor editor;
  editor.resize(840, 579);
  for (auto _ : state) {
    editor.Start(zumo::bench::Photo(), 15, std::monostate{});
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_CropStart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
