#pragma once

#include <QImage>
#include <QWidget>

#include <optional>

#include "controls/CropBox.h"
#include "imaging/Framing.h"

namespace zumo {

// The crop editor's picture: the straightened picture fitted into the control with the crop
// box over it (outside dimmed, rule-of-thirds lines, eight handles, the box's size), and the
// mouse drags that move and resize the box. It draws a reduced copy of the turned picture,
// rotated by the straightening angle once per change of angle or size, so that a drag only
// repaints the overlay over a ready picture.
class TCropCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit TCropCanvas(QWidget* owner = nullptr);

  // `preview` is the turned picture of `turned` size, reduced (any size, same proportions).
  void SetPicture(QImage preview, FrameSize turned, int straighten_tenths);
  void SetStraighten(int tenths);
  // The straightened picture's size, the box's picture.
  FrameSize PictureSize() const noexcept { return picture_; }

  const CropRect& Box() const noexcept { return box_; }
  void SetBox(const CropRect& box);
  // The ratio drags keep, or none.
  void SetRatio(std::optional<CropRatio> ratio) { ratio_ = ratio; }
  // The fine grid shown while the angle changes.
  void SetGridShown(bool shown);
  bool GridShown() const noexcept { return grid_shown_; }

  // Where the straightened picture is shown, in the control's coordinates.
  QRectF PictureArea() const;
  // The box in the control's coordinates.
  QRectF BoxArea() const { return ToControl(box_); }
  // What a press at `pos` would grab.
  CropHandle HandleAt(QPointF pos) const;
  // The box's size as shown, "1600 × 1200".
  QString SizeText() const;

 signals:
  // The user moved or resized the box with the mouse.
  void boxDragged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRectF ToControl(const CropRect& box) const;
  // The part of the control that painting `box` touches: the box, its handles and its label.
  QRect OverlayBounds(const CropRect& box) const;
  QRectF LabelArea(const CropRect& box, const QFontMetrics& metrics) const;
  void UpdateArea();
  // The straightened preview at the shown size, built when the angle or the size changed.
  const QImage& Shown();
  void ShowBoxChange(const CropRect& old_box);

  QImage preview_;
  QImage near_preview_;  // preview_ scaled near the shown size
  FrameSize turned_, picture_;
  int tenths_ = 0;
  QRect area_;  // where the picture is shown
  QImage shown_;
  bool shown_stale_ = true;

  CropRect box_;
  std::optional<CropRatio> ratio_;
  bool grid_shown_ = false;

  CropHandle grabbed_ = CropHandle::None;
  QPointF press_pos_;
  CropRect press_box_;
};

}  // namespace zumo
