#include "controls/PhotoView.h"

#include <QAbstractScrollArea>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "platform/Threads.h"

namespace zumo {
namespace {

// The taps of one axis: target position t averages the source positions first..first+count-1
// with weights in 256ths that add up to 256.
struct Taps {
  std::vector<int> first, count;
  std::vector<std::uint16_t> weights;  // count[t] entries per target position, in order
  std::vector<int> offset;             // where target position t's weights start
};

// Target t covers [t * source / target, (t + 1) * source / target) of the source, and tap
// s the source positions [s * box, (s + 1) * box) (the last tap also what is left beyond
// the last whole box); each tap contributes the length of its overlap. Measured in 1/target
// of a source position every length is a whole number, so the split is exact before the
// rounding to 256ths, whose remainder goes to the largest weight.
Taps AxisTaps(int source, int target, int box = 1) {
  Taps taps;
  taps.first.resize(target);
  taps.count.resize(target);
  taps.offset.resize(target);
  const long long span = static_cast<long long>(box) * target;  // one tap, in 1/target
  const int boxes = std::max(1, source / box);
  for (int t = 0; t < target; ++t) {
    const long long begin = static_cast<long long>(t) * source, end = begin + source;
    const int first = static_cast<int>(std::min<long long>(begin / span, boxes - 1));
    const int last = static_cast<int>(std::min<long long>((end - 1) / span, boxes - 1));
    taps.first[t] = first;
    taps.count[t] = last - first + 1;
    taps.offset[t] = static_cast<int>(taps.weights.size());
    int total = 0;
    std::size_t largest = taps.weights.size();
    for (int s = first; s <= last; ++s) {
      const long long upper = s == boxes - 1 ? end : std::min(end, (s + 1LL) * span);
      const long long overlap = std::max(0LL, upper - std::max(begin, s * span));
      const auto weight = static_cast<std::uint16_t>((overlap * 256 + source / 2) / source);
      if (taps.weights.size() == largest || weight > taps.weights[largest]) largest = taps.weights.size();
      taps.weights.push_back(weight);
      total += weight;
    }
    taps.weights[largest] = static_cast<std::uint16_t>(taps.weights[largest] + 256 - total);
  }
  return taps;
}

// The zoom steps of Ctrl+plus / Ctrl+minus and the wheel.
constexpr std::array<double, 14> kZoomSteps = {0.1, 0.125, 1.0 / 6, 0.25, 1.0 / 3, 0.5, 2.0 / 3,
                                               1.0, 1.5,   2.0,      3.0,  4.0,     6.0, 8.0};
constexpr double kSameZoom = 1e-6;

}  // namespace

QImage AreaAveraged(const Bitmap& bitmap, int width, int height) {
  const int source_width = bitmap.Width(), source_height = bitmap.Height();
  width = std::clamp(width, 1, std::max(1, source_width));
  height = std::clamp(height, 1, std::max(1, source_height));
  QImage image(width, height, QImage::Format_RGB32);
  if (bitmap.Empty()) {
    image.fill(Qt::white);
    return image;
  }
  // Along the rows, neighbouring pixels are first averaged in pairs `halvings` times (one
  // vector pass over the row each), so that the weighted taps of the last step cover at
  // most three or four of these boxes; columns beyond the last whole box count as that box.
  int halvings = 0;
  while ((source_width >> (halvings + 1)) >= 2 * width) ++halvings;
  const Taps rows = AxisTaps(source_height, height);
  const Taps columns = AxisTaps(source_width, width, 1 << halvings);
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(source_width);
  std::uint8_t* const image_bits = image.bits();  // detached once, before the bands share it
  const qsizetype image_stride = image.bytesPerLine();
  // One target row at a time: the weighted sum of its source rows (at most 255 * 256, so
  // 16 bits hold it), the pair averages, then the weighted sums along the row. The rows are
  // independent: bands of them are taken by this thread and the helper thread (RunBands).
  const auto band = [&](int first_row, int last_row) {
    std::vector<std::uint16_t> sums(row_bytes), pairs(row_bytes);
    for (int y = first_row; y < last_row; ++y) {
      std::uint16_t* sum = sums.data();
      for (int i = 0; i < rows.count[y]; ++i) {
        const std::uint8_t* source = bitmap.ScanLine(rows.first[y] + i);
        const std::uint16_t weight = rows.weights[rows.offset[y] + i];
        if (i == 0) {
          for (std::size_t b = 0; b < row_bytes; ++b) sum[b] = static_cast<std::uint16_t>(weight * source[b]);
        } else {
          for (std::size_t b = 0; b < row_bytes; ++b) sum[b] = static_cast<std::uint16_t>(sum[b] + weight * source[b]);
        }
      }
      for (int h = 0; h < halvings; ++h) {
        // Element i becomes the mean of the boxes at i and one box further on.
        const std::size_t shift = std::size_t{3} << h;
        std::uint16_t* from = sum;
        std::uint16_t* to = (from == sums.data()) ? pairs.data() : sums.data();
        for (std::size_t b = 0; b + shift < row_bytes; ++b)
          to[b] = static_cast<std::uint16_t>((from[b] + from[b + shift] + 1u) >> 1);
        sum = to;
      }
      const std::size_t box_step = std::size_t{3} << halvings;
      auto* target = reinterpret_cast<QRgb*>(image_bits + y * image_stride);
      for (int x = 0; x < width; ++x) {
        std::uint32_t blue = 0, green = 0, red = 0;
        const std::uint16_t* pixel = sum + box_step * static_cast<std::size_t>(columns.first[x]);
        const std::uint16_t* weight = columns.weights.data() + columns.offset[x];
        for (int i = 0; i < columns.count[x]; ++i, pixel += box_step) {
          blue += std::uint32_t{weight[i]} * pixel[0];
          green += std::uint32_t{weight[i]} * pixel[1];
          red += std::uint32_t{weight[i]} * pixel[2];
        }
        // Sums of 65536ths, rounded.
        target[x] = qRgb(static_cast<int>((red + 32768) >> 16), static_cast<int>((green + 32768) >> 16),
                         static_cast<int>((blue + 32768) >> 16));
      }
    }
  };
  // A target row reads about source_height / height source rows.
  const std::size_t source_bytes = static_cast<std::size_t>(bitmap.Stride()) * static_cast<std::size_t>(source_height);
  RunBands(height, ItemsPerBand(source_bytes / static_cast<std::size_t>(height)), UseSecondThread(source_bytes), band);
  return image;
}

TPhotoView::TPhotoView(QWidget* owner) : TImage(owner) {
  connect(this, &TImage::pictureChanged, this, [this] {
    ++generation_;
    if (fitted_) ApplyZoom(FitZoom(), std::nullopt);
  });
}

double TPhotoView::DeviceScale() const { return devicePixelRatioF(); }

QSize TPhotoView::DisplaySize() const {
  const double scale = DeviceScale();
  auto side = [&](int pixels) {
    const double device = std::max(1.0, std::floor(pixels * zoom_ + 1e-9));
    return static_cast<int>(std::ceil(device / scale - 1e-9));
  };
  return {side(Picture().Width()), side(Picture().Height())};
}

QAbstractScrollArea* TPhotoView::ScrollArea() const {
  QWidget* viewport = parentWidget();
  return viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
}

void TPhotoView::WatchScrollArea() {
  QAbstractScrollArea* area = ScrollArea();
  QObject* viewport = area ? area->viewport() : nullptr;
  if (viewport == watched_viewport_) return;
  if (watched_viewport_) watched_viewport_->removeEventFilter(this);
  watched_viewport_ = viewport;
  if (viewport) viewport->installEventFilter(this);
}

double TPhotoView::FitZoom() const {
  const QAbstractScrollArea* area = ScrollArea();
  if (Picture().Empty() || !area) return 1.0;
  const QSize room = area->maximumViewportSize();
  const double scale = DeviceScale();
  const double zoom = std::min(room.width() * scale / Picture().Width(), room.height() * scale / Picture().Height());
  return std::min(zoom, kMaxZoom);
}

void TPhotoView::SetZoom(double zoom, std::optional<QPointF> anchor) {
  fitted_ = false;
  ApplyZoom(std::clamp(zoom, kMinZoom, kMaxZoom), anchor);
}

void TPhotoView::ZoomIn(std::optional<QPointF> anchor) {
  const auto next = std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [this](double z) { return z > zoom_ + kSameZoom; });
  if (next != kZoomSteps.end()) SetZoom(*next, anchor);
}

void TPhotoView::ZoomOut(std::optional<QPointF> anchor) {
  const auto next = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [this](double z) { return z < zoom_ - kSameZoom; });
  if (next != kZoomSteps.rend()) SetZoom(*next, anchor);
}

void TPhotoView::FitToView() {
  fitted_ = true;
  ApplyZoom(FitZoom(), std::nullopt);
}

void TPhotoView::ApplyZoom(double zoom, std::optional<QPointF> anchor) {
  WatchScrollArea();
  QAbstractScrollArea* area = ScrollArea();
  const double old_scale = zoom_ / DeviceScale();
  if (!anchor) anchor = area ? QPointF(mapFrom(area->viewport(), area->viewport()->rect().center()))
                             : QPointF(rect().center());
  const QPointF in_viewport = area ? QPointF(mapTo(area->viewport(), QPoint(0, 0))) + *anchor : *anchor;
  const QPointF picture_point = *anchor / old_scale;

  zoom_ = zoom;
  ++generation_;
  if (AutoSize() && !Picture().Empty()) resize(DisplaySize());
  update();
  if (area) {
    // The anchor's picture point back under the same place of the viewport.
    const QPointF moved = picture_point * (zoom_ / DeviceScale());
    area->horizontalScrollBar()->setValue(static_cast<int>(std::lround(moved.x() - in_viewport.x())));
    area->verticalScrollBar()->setValue(static_cast<int>(std::lround(moved.y() - in_viewport.y())));
  }
}

void TPhotoView::ShowInstead(std::optional<zumo::Bitmap> picture) {
  instead_ = std::move(picture);
  ++generation_;
  update();
}

void TPhotoView::paintEvent(QPaintEvent* event) {
  WatchScrollArea();  // once the control sits in its scroll area
  const zumo::Bitmap* bitmap = instead_ ? &*instead_ : (Picture().IsBitmap() ? &Picture().HeldBitmap() : nullptr);
  if (!bitmap) {
    if (zoom_ == 1.0 && DeviceScale() == 1.0) return TImage::paintEvent(event);
    if (Picture().IsJpeg()) {
      QPainter painter(this);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(QPoint(0, 0), DisplaySize()), Picture().JpegImage());
    }
    return;
  }
  if (bitmap->Empty()) return;
  QPainter painter(this);
  const double scale = DeviceScale();
  const double device_zoom = zoom_;  // device pixels per picture pixel
  const QSizeF logical(std::max(1.0, std::floor(bitmap->Width() * zoom_ + 1e-9)) / scale,
                       std::max(1.0, std::floor(bitmap->Height() * zoom_ + 1e-9)) / scale);
  if (zoom_ < 1.0 - kSameZoom) {
    // Smaller than the picture: the area-averaged picture at its device size, made once per
    // change of picture or zoom and then only blitted (the paint clips to the exposed area).
    const QSize device(static_cast<int>(std::lround(logical.width() * scale)),
                       static_cast<int>(std::lround(logical.height() * scale)));
    if (reduced_generation_ != generation_ || reduced_size_ != device) {
      reduced_ = AreaAveraged(*bitmap, device.width(), device.height());
      reduced_generation_ = generation_;
      reduced_size_ = device;
    }
    painter.drawImage(QRectF(QPointF(0, 0), logical), reduced_);
    return;
  }
  // At or above 100 %: only the exposed part of the picture's own rows, drawn without
  // smoothing so that enlarged pixels stay visible.
  const QRectF exposed = QRectF(event->rect()) & QRectF(QPointF(0, 0), logical);
  if (exposed.isEmpty()) return;
  const double picture_per_logical = scale / device_zoom;
  const int x0 = std::max(0, static_cast<int>(std::floor(exposed.left() * picture_per_logical)));
  const int y0 = std::max(0, static_cast<int>(std::floor(exposed.top() * picture_per_logical)));
  const int x1 = std::min(bitmap->Width(), static_cast<int>(std::ceil(exposed.right() * picture_per_logical)));
  const int y1 = std::min(bitmap->Height(), static_cast<int>(std::ceil(exposed.bottom() * picture_per_logical)));
  if (x1 <= x0 || y1 <= y0) return;
  const uchar* first = bitmap->Bits() + y0 * bitmap->Stride() + 3 * std::ptrdiff_t{x0};
  const QImage part(first, x1 - x0, y1 - y0, bitmap->Stride(), QImage::Format_BGR888);
  const double logical_per_picture = device_zoom / scale;
  const QRectF target(x0 * logical_per_picture, y0 * logical_per_picture, (x1 - x0) * logical_per_picture,
                      (y1 - y0) * logical_per_picture);
  if (target.size() == QSizeF(part.size()))
    painter.drawImage(target.topLeft(), part);
  else
    painter.drawImage(target, part);
}

void TPhotoView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
    event->ignore();  // the scroll area scrolls
    return;
  }
  if (event->angleDelta().y() > 0)
    ZoomIn(event->position());
  else
    ZoomOut(event->position());
  event->accept();
}

bool TPhotoView::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl + wheel over the view's empty part zooms as well.
  if (watched == watched_viewport_ && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if ((wheel->modifiers() & Qt::ControlModifier) && wheel->angleDelta().y() != 0) {
      const QPointF here = QPointF(mapFrom(static_cast<QWidget*>(watched), QPoint(0, 0))) + wheel->position();
      if (wheel->angleDelta().y() > 0)
        ZoomIn(here);
      else
        ZoomOut(here);
      return true;
    }
  }
  return TImage::eventFilter(watched, event);
}

}  // namespace zumo
