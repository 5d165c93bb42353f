#include "controls/PictureControl.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>

#include <cmath>

#include "platform/Error.h"

namespace zumo {
namespace {

// Mouse positions in whole pixels of the control (the pixel under the pointer).
QPoint PixelOf(const QMouseEvent* event) {
  const QPointF p = event->position();
  return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

}  // namespace

// --- TPicture ---------------------------------------------------------------------------

int TPicture::Width() const noexcept {
  switch (kind_) {
    case Kind::Jpeg: return jpeg_image_.width();
    case Kind::Bitmap: return bitmap_.Width();
    case Kind::Empty: break;
  }
  return 0;
}

int TPicture::Height() const noexcept {
  switch (kind_) {
    case Kind::Jpeg: return jpeg_image_.height();
    case Kind::Bitmap: return bitmap_.Height();
    case Kind::Empty: break;
  }
  return 0;
}

TPicture TPicture::FromJpeg(const QByteArray& jpeg_bytes) {
  QByteArray bytes = jpeg_bytes;  // the buffer needs a non-const array; shares the data
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "jpeg");
  // Refuse oversized pictures from the header, before any pixel memory is taken.
  const QSize size = reader.size();
  if (!size.isValid()) throw Error("JPEG 画像として読み取れません");
  Bitmap::CheckSize(size.width(), size.height());
  QImage image;
  if (!reader.read(&image) || image.isNull()) throw Error("JPEG 画像として読み取れません");

  TPicture picture;
  picture.kind_ = Kind::Jpeg;
  picture.jpeg_bytes_ = jpeg_bytes;
  picture.jpeg_image_ = std::move(image);
  return picture;
}

TPicture TPicture::FromJpegFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw Error("ファイルを開けません: " + path.toStdString());
  return FromJpeg(file.readAll());
}

TPicture TPicture::FromBitmap(const zumo::Bitmap& bitmap) {
  TPicture picture;
  picture.kind_ = Kind::Bitmap;
  picture.bitmap_ = bitmap;
  return picture;
}

// --- TImage -----------------------------------------------------------------------------

TImage::TImage(QWidget* owner) : QWidget(owner) {
  // Moves without a pressed button are reported too (the image button's hover look).
  setMouseTracking(true);
  setAutoFillBackground(false);
  // The listener stays with the held bitmap object for the control's whole life:
  // assignments into it keep their listeners.
  listener_ = picture_.bitmap_.AddChangeListener([this] { PictureChanged(); });
}

TImage::~TImage() { picture_.bitmap_.RemoveChangeListener(listener_); }

void TImage::SetPicture(const TPicture& picture) {
  if (&picture == &picture_) return;
  picture_ = picture;
  PictureChanged();
}

void TImage::AssignBitmap(const zumo::Bitmap& bitmap) {
  picture_.kind_ = TPicture::Kind::Bitmap;
  picture_.jpeg_bytes_ = QByteArray();
  picture_.jpeg_image_ = QImage();
  picture_.bitmap_ = bitmap;
  PictureChanged();
}

void TImage::LoadJpeg(const QString& path) { SetPicture(TPicture::FromJpegFile(path)); }

zumo::Bitmap& TImage::Bitmap() {
  if (picture_.kind_ != TPicture::Kind::Bitmap) {
    const bool had_picture = picture_.kind_ == TPicture::Kind::Jpeg;
    picture_.kind_ = TPicture::Kind::Bitmap;
    picture_.jpeg_bytes_ = QByteArray();
    picture_.jpeg_image_ = QImage();
    picture_.bitmap_ = zumo::Bitmap();
    if (had_picture) PictureChanged();  // the compressed picture vanishes from the view
  }
  return picture_.bitmap_;
}

void TImage::SetAutoSize(bool on) {
  auto_size_ = on;
  if (auto_size_ && !picture_.Empty()) resize(DisplaySize());
}

QSize TImage::DisplaySize() const { return {picture_.Width(), picture_.Height()}; }

void TImage::PictureChanged() {
  if (auto_size_ && !picture_.Empty()) resize(DisplaySize());
  update();
  emit pictureChanged();
}

void TImage::paintEvent(QPaintEvent* event) {
  const QRect area = event->rect() & QRect(0, 0, picture_.Width(), picture_.Height());
  if (area.isEmpty()) return;
  QPainter painter(this);
  if (picture_.IsBitmap()) {
    // Wrap only the exposed part of the bitmap's own rows: no copy, no conversion of the
    // whole picture, whatever its size.
    const zumo::Bitmap& bitmap = picture_.bitmap_;
    const uchar* first = bitmap.Bits() + area.y() * bitmap.Stride() + 3 * std::ptrdiff_t{area.x()};
    const QImage part(first, area.width(), area.height(), bitmap.Stride(), QImage::Format_BGR888);
    painter.drawImage(area.topLeft(), part);
  } else if (picture_.IsJpeg()) {
    painter.drawImage(area.topLeft(), picture_.jpeg_image_, area);
  }
}

void TImage::MouseDown(Qt::MouseButton button, QPoint pos) {
  if (OnMouseDown) OnMouseDown(button, pos);
}

void TImage::MouseUp(Qt::MouseButton button, QPoint pos) {
  if (OnMouseUp) OnMouseUp(button, pos);
}

void TImage::MouseMove(QPoint pos) {
  if (OnMouseMove) OnMouseMove(pos);
}

void TImage::MouseLeave() {}

void TImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) click_armed_ = true;
  MouseDown(event->button(), PixelOf(event));
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt reports the second press of a double click as a press first, then as this event:
  // the press has been handled already, but its release must fire no click.
  if (event->button() == Qt::LeftButton) click_armed_ = false;
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = PixelOf(event);
  bool click = false;
  if (event->button() == Qt::LeftButton) {
    click = click_armed_ && rect().contains(pos);
    click_armed_ = false;
  }
  if (click) {
    // The click handler may close or delete this control.
    QPointer<TImage> alive(this);
    emit clicked();
    if (!alive) return;
  }
  MouseUp(event->button(), pos);
}

void TImage::mouseMoveEvent(QMouseEvent* event) { MouseMove(PixelOf(event)); }

void TImage::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  MouseLeave();
}

}  // namespace zumo
