#pragma once

#include <QImage>

#include <cstdint>
#include <optional>

#include "controls/PictureControl.h"

class QAbstractScrollArea;
class QWheelEvent;

namespace zumo {

// `bitmap` reduced to width x height (both at most the bitmap's own) by area averaging:
// every target pixel is the mean of the source area it covers, weighted by how much of
// each source pixel lies inside it (weights in 256ths per axis). For the view, not for
// results: along the rows, a reduction by 4 or more first averages boxes of 2, 4, ...
// pixels, at most half a target pixel wide, and weighs the boxes by their overlap.
QImage AreaAveraged(const zumo::Bitmap& bitmap, int width, int height);

// The picture control of the photo view. It holds its picture like any picture control and
// only changes how it is drawn: at a zoom (1 = one picture pixel per device pixel, also on
// a high-DPI screen), area-averaged when smaller, with visible pixels when larger. The
// picture itself is never scaled. Zooming keeps the point under the pointer (or the view's
// centre) in place in the scroll area the control sits in.
class TPhotoView : public TImage {
  Q_OBJECT

 public:
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 8.0;

  explicit TPhotoView(QWidget* owner = nullptr);

  double Zoom() const noexcept { return zoom_; }
  bool Fitted() const noexcept { return fitted_; }
  // Zoom clamped to 10 %..800 %, `anchor` in the control's coordinates staying in place.
  void SetZoom(double zoom, std::optional<QPointF> anchor = std::nullopt);
  void ZoomIn(std::optional<QPointF> anchor = std::nullopt);
  void ZoomOut(std::optional<QPointF> anchor = std::nullopt);
  // The largest zoom at which the whole picture fits the scroll area without scroll bars
  // (below 10 % when the picture needs it); it follows later changes of the picture's size.
  void FitToView();
  void ActualSize() { SetZoom(1.0); }

  // Shows `picture` in place of the held picture while set (the held picture and the
  // control's size stay as they are); nullopt shows the held picture again.
  void ShowInstead(std::optional<zumo::Bitmap> picture);
  bool ShowingInstead() const noexcept { return instead_.has_value(); }

  // The control's device pixels per logical pixel.
  double DeviceScale() const;

 protected:
  QSize DisplaySize() const override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAbstractScrollArea* ScrollArea() const;
  double FitZoom() const;
  void ApplyZoom(double zoom, std::optional<QPointF> anchor);
  void WatchScrollArea();

  double zoom_ = 1.0;
  bool fitted_ = false;
  std::optional<zumo::Bitmap> instead_;
  // The reduced picture of the last paint below 100 %, rebuilt only when the picture, the
  // zoom or the shown-instead picture changes.
  QImage reduced_;
  std::uint64_t generation_ = 0, reduced_generation_ = ~std::uint64_t{0};
  QSize reduced_size_;
  QObject* watched_viewport_ = nullptr;
};

}  // namespace zumo
