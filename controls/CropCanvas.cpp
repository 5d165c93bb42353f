#include "controls/CropCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zumo {
namespace {

constexpr int kMargin = 14;     // room around the picture for the handles at its edges
constexpr double kHandle = 9;   // side of a drawn handle
constexpr double kGrab = 9;     // how far from an edge or corner a press still takes it
constexpr double kGridStep = 24;
const QColor kBackground(48, 48, 48);
const QColor kDim(0, 0, 0, 140);
const QColor kThirds(255, 255, 255, 110);
const QColor kGrid(255, 255, 255, 70);
const QColor kLabelBack(0, 0, 0, 170);

Qt::CursorShape CursorOf(CropHandle handle) {
  switch (handle) {
    case CropHandle::TopLeft:
    case CropHandle::BottomRight: return Qt::SizeFDiagCursor;
    case CropHandle::TopRight:
    case CropHandle::BottomLeft: return Qt::SizeBDiagCursor;
    case CropHandle::Left:
    case CropHandle::Right: return Qt::SizeHorCursor;
    case CropHandle::Top:
    case CropHandle::Bottom: return Qt::SizeVerCursor;
    case CropHandle::Move: return Qt::SizeAllCursor;
    case CropHandle::None: break;
  }
  return Qt::ArrowCursor;
}

}  // namespace

TCropCanvas::TCropCanvas(QWidget* owner) : QWidget(owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // every paint covers what it exposes
  setMouseTracking(true);                 // the cursor shows what a press would grab
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("切り抜き範囲"));
}

void TCropCanvas::SetPicture(QImage preview, FrameSize turned, int straighten_tenths) {
  preview_ = std::move(preview);
  near_preview_ = QImage();
  turned_ = turned;
  grabbed_ = CropHandle::None;
  SetStraighten(straighten_tenths);
}

void TCropCanvas::SetStraighten(int tenths) {
  tenths_ = tenths;
  const CropRect kept = StraightenedRect(turned_, tenths);
  picture_ = {kept.width, kept.height};
  UpdateArea();
  update();
}

void TCropCanvas::SetBox(const CropRect& box) {
  if (box == box_) return;
  const CropRect old = box_;
  box_ = box;
  ShowBoxChange(old);
}

void TCropCanvas::SetGridShown(bool shown) {
  if (shown == grid_shown_) return;
  grid_shown_ = shown;
  update(area_);
}

QRectF TCropCanvas::PictureArea() const { return QRectF(area_); }

QRectF TCropCanvas::ToControl(const CropRect& box) const {
  if (picture_.width < 1 || picture_.height < 1) return {};
  const double sx = static_cast<double>(area_.width()) / picture_.width;
  const double sy = static_cast<double>(area_.height()) / picture_.height;
  return {area_.x() + box.x * sx, area_.y() + box.y * sy, box.width * sx, box.height * sy};
}

QString TCropCanvas::SizeText() const {
  return QStringLiteral("%1 × %2").arg(box_.width).arg(box_.height);
}

void TCropCanvas::UpdateArea() {
  shown_stale_ = true;
  if (picture_.width < 1 || picture_.height < 1) {
    area_ = {};
    return;
  }
  const double room_w = std::max(1, width() - 2 * kMargin), room_h = std::max(1, height() - 2 * kMargin);
  const double scale = std::min(room_w / picture_.width, room_h / picture_.height);
  const int w = std::max(1, static_cast<int>(std::lrint(picture_.width * scale)));
  const int h = std::max(1, static_cast<int>(std::lrint(picture_.height * scale)));
  area_ = QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

void TCropCanvas::resizeEvent(QResizeEvent* event) {
  UpdateArea();
  QWidget::resizeEvent(event);
}

const QImage& TCropCanvas::Shown() {
  const double dpr = devicePixelRatioF();
  const QSize device(std::max(1, static_cast<int>(std::lrint(area_.width() * dpr))),
                     std::max(1, static_cast<int>(std::lrint(area_.height() * dpr))));
  if (!shown_stale_ && shown_.size() == device) return shown_;
  shown_stale_ = false;
  shown_ = QImage(device, QImage::Format_RGB32);
  shown_.fill(Qt::black);
  if (!preview_.isNull() && turned_.width > 0 && turned_.height > 0) {
    // Device pixels per picture pixel. The preview is first brought near the shown scale by
    // smooth (averaging) scaling, so that the rotation below only resamples about 1 : 1.
    const double sx = static_cast<double>(device.width()) / picture_.width;
    const double sy = static_cast<double>(device.height()) / picture_.height;
    const QSize near_size(std::max(1, static_cast<int>(std::lrint(turned_.width * sx))),
                     std::max(1, static_cast<int>(std::lrint(turned_.height * sy))));
    // While the angle moves the scale changes a little at each step: a scaled preview within
    // an eighth of the wanted size is kept, and the rotation takes up the difference.
    if (near_size.width() >= preview_.width()) {
      near_preview_ = preview_;
    } else if (near_preview_.isNull() || std::abs(near_preview_.width() - near_size.width()) > near_size.width() / 8) {
      near_preview_ = preview_.scaled(near_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const QImage& source = near_preview_;
    // Straightened pixel p is pixel p + kept's offset of the canvas, which shows the turned
    // picture rotated about its centre by the engine's rounded sine and cosine.
    const CropRect kept = StraightenedRect(turned_, tenths_);
    const StraightenRotation rotation = StraightenRotationOf(tenths_);
    const double s = rotation.sin_q16 / 65536.0, c = rotation.cos_q16 / 65536.0;
    QPainter painter(&shown_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(sx, sy);
    painter.translate(-kept.x, -kept.y);
    painter.translate(turned_.width / 2.0, turned_.height / 2.0);
    painter.setTransform(QTransform(c, s, -s, c, 0, 0), true);
    painter.translate(-turned_.width / 2.0, -turned_.height / 2.0);
    painter.drawImage(QRectF(0, 0, turned_.width, turned_.height), source);
  }
  shown_.setDevicePixelRatio(dpr);
  return shown_;
}

QRectF TCropCanvas::LabelArea(const CropRect& box, const QFontMetrics& metrics) const {
  const QRectF r = ToControl(box);
  const QString text = QStringLiteral("%1 × %2").arg(box.width).arg(box.height);
  const QSizeF size(metrics.horizontalAdvance(text) + 12, metrics.height() + 6);
  // Inside the box near its bottom edge when it has room, else just below it.
  const double top = r.height() >= 3 * size.height() ? r.bottom() - size.height() - 8 : r.bottom() + kHandle;
  return {r.center().x() - size.width() / 2, top, size.width(), size.height()};
}

QRect TCropCanvas::OverlayBounds(const CropRect& box) const {
  const QRectF r = ToControl(box).adjusted(-kHandle, -kHandle, kHandle, kHandle);
  return r.united(LabelArea(box, fontMetrics()).adjusted(-1, -1, 1, 1)).toAlignedRect();
}

void TCropCanvas::ShowBoxChange(const CropRect& old_box) {
  setAccessibleDescription(SizeText());
  // Outside both boxes nothing changes: the dimming there stays.
  update(QRegion(OverlayBounds(old_box)).united(OverlayBounds(box_)));
}

void TCropCanvas::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (const QRect& strip : QRegion(event->rect()).subtracted(area_)) painter.fillRect(strip, kBackground);
  if (area_.isEmpty()) return;

  const QRect exposed = event->rect() & area_;
  if (!exposed.isEmpty()) {
    const QImage& shown = Shown();
    const double dpr = shown.devicePixelRatio();
    const QRectF source(QPointF(exposed.topLeft() - area_.topLeft()) * dpr, QSizeF(exposed.size()) * dpr);
    painter.drawImage(QRectF(exposed), shown, source);
  }

  const QRectF picture(area_);
  const QRectF box = ToControl(box_);
  // The outside of the box, dimmed.
  painter.fillRect(QRectF(picture.left(), picture.top(), picture.width(), box.top() - picture.top()), kDim);
  painter.fillRect(QRectF(picture.left(), box.bottom(), picture.width(), picture.bottom() - box.bottom()), kDim);
  painter.fillRect(QRectF(picture.left(), box.top(), box.left() - picture.left(), box.height()), kDim);
  painter.fillRect(QRectF(box.right(), box.top(), picture.right() - box.right(), box.height()), kDim);

  if (grid_shown_) {
    painter.setPen(QPen(kGrid, 0));
    for (double x = picture.left() + kGridStep; x < picture.right(); x += kGridStep)
      painter.drawLine(QPointF(x, picture.top()), QPointF(x, picture.bottom()));
    for (double y = picture.top() + kGridStep; y < picture.bottom(); y += kGridStep)
      painter.drawLine(QPointF(picture.left(), y), QPointF(picture.right(), y));
  }

  painter.setPen(QPen(kThirds, 0));
  for (int i = 1; i <= 2; ++i) {
    const double x = box.left() + box.width() * i / 3, y = box.top() + box.height() * i / 3;
    painter.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
    painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
  }
  painter.setPen(QPen(Qt::black, 0));
  painter.drawRect(box.adjusted(-1, -1, 0, 0));
  painter.setPen(QPen(Qt::white, 0));
  painter.drawRect(box.adjusted(0, 0, -1, -1));

  const QPointF centre = box.center();
  const QPointF handles[] = {box.topLeft(),  QPointF(centre.x(), box.top()),    box.topRight(),
                             QPointF(box.right(), centre.y()), box.bottomRight(), QPointF(centre.x(), box.bottom()),
                             box.bottomLeft(), QPointF(box.left(), centre.y())};
  painter.setBrush(Qt::white);
  painter.setPen(QPen(QColor(40, 40, 40), 0));
  for (const QPointF& at : handles)
    painter.drawRect(QRectF(at.x() - kHandle / 2, at.y() - kHandle / 2, kHandle, kHandle));

  const QRectF label = LabelArea(box_, painter.fontMetrics());
  painter.setPen(Qt::NoPen);
  painter.setBrush(kLabelBack);
  painter.drawRoundedRect(label, 4, 4);
  painter.setPen(Qt::white);
  painter.drawText(label, Qt::AlignCenter, SizeText());
}

CropHandle TCropCanvas::HandleAt(QPointF pos) const {
  if (area_.isEmpty()) return CropHandle::None;
  const QRectF r = ToControl(box_);
  // Near an edge: within kGrab outside it, and inside it by at most a third of the box, so
  // that a small box still has a middle to move it by.
  auto close_to = [](double at, double edge, double inward, double inward_room) {
    const double d = (at - edge) * inward;
    return d >= -kGrab && d <= std::min(kGrab, inward_room / 3);
  };
  const bool along_x = pos.x() >= r.left() - kGrab && pos.x() <= r.right() + kGrab;
  const bool along_y = pos.y() >= r.top() - kGrab && pos.y() <= r.bottom() + kGrab;
  if (!along_x || !along_y) return CropHandle::None;
  const bool left = close_to(pos.x(), r.left(), 1, r.width()), right = close_to(pos.x(), r.right(), -1, r.width());
  const bool top = close_to(pos.y(), r.top(), 1, r.height()), bottom = close_to(pos.y(), r.bottom(), -1, r.height());
  if (top && left) return CropHandle::TopLeft;
  if (top && right) return CropHandle::TopRight;
  if (bottom && left) return CropHandle::BottomLeft;
  if (bottom && right) return CropHandle::BottomRight;
  if (left) return CropHandle::Left;
  if (right) return CropHandle::Right;
  if (top) return CropHandle::Top;
  if (bottom) return CropHandle::Bottom;
  return r.contains(pos) ? CropHandle::Move : CropHandle::None;
}

void TCropCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  grabbed_ = HandleAt(event->position());
  press_pos_ = event->position();
  press_box_ = box_;
}

void TCropCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (grabbed_ == CropHandle::None) {
    setCursor(CursorOf(HandleAt(event->position())));
    return;
  }
  // The pointer's way since the press, in picture pixels, applied to the box at the press.
  const QPointF way = event->position() - press_pos_;
  const double dx = way.x() * picture_.width / area_.width(), dy = way.y() * picture_.height / area_.height();
  const CropRect dragged = DragCropHandle(press_box_, grabbed_, dx, dy, ratio_, picture_);
  if (dragged == box_) return;
  SetBox(dragged);
  emit boxDragged();
}

void TCropCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) grabbed_ = CropHandle::None;
  QWidget::mouseReleaseEvent(event);
}

}  // namespace zumo
