// Painting the photo view: the picture control draws only the exposed part of its bitmap,
// so showing an 840 x 579 view of a 4000 x 3000 photo must not depend on the photo's size.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QRegion>

#include "BenchSupport.h"
#include "controls/PictureControl.h"

namespace {

void BM_PaintPhotoView(benchmark::State& state) {
  zumo::TImage image;
  image.SetAutoSize(true);
  image.AssignBitmap(zumo::bench::Photo());
  QImage screen(840, 579, QImage::Format_ARGB32_Premultiplied);
  const QRegion view(1200, 900, 840, 579);  // a scrolled-to part of the photo
  for (auto _ : state) {
    image.render(&screen, QPoint(), view, QWidget::RenderFlags());
    benchmark::DoNotOptimize(screen.constBits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_PaintPhotoView)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same picture handed to the control as a new copy (what every handler does): with
// copy-on-write the copy itself is free, and only the view is painted.
void BM_AssignAndPaintPhotoView(benchmark::State& state) {
  zumo::TImage image;
  image.SetAutoSize(true);
  QImage screen(840, 579, QImage::Format_ARGB32_Premultiplied);
  const QRegion view(0, 0, 840, 579);
  for (auto _ : state) {
    image.AssignBitmap(zumo::bench::Photo());
    image.render(&screen, QPoint(), view, QWidget::RenderFlags());
    benchmark::DoNotOptimize(screen.constBits());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_AssignAndPaintPhotoView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
