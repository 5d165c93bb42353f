#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

#include "platform/Bitmap.h"

class QPaintEvent;

namespace zumo {

// A picture container: empty, a stored compressed (JPEG) picture, or a 24-bit bitmap.
// A compressed picture keeps its bytes as they were stored and is decoded only to be
// shown. Copies are independent (the bitmap is copy-on-write, the bytes implicitly
// shared by Qt).
class TPicture {
 public:
  enum class Kind { Empty, Jpeg, Bitmap };

  TPicture() = default;

  // A stored compressed picture. Bytes that do not decode raise Error and nothing is made.
  static TPicture FromJpeg(const QByteArray& jpeg_bytes);
  // Reads JPEG bytes from a file or a Qt resource path (":/pictures/...").
  static TPicture FromJpegFile(const QString& path);
  static TPicture FromBitmap(const zumo::Bitmap& bitmap);

  Kind kind() const noexcept { return kind_; }
  bool IsJpeg() const noexcept { return kind_ == Kind::Jpeg; }
  bool IsBitmap() const noexcept { return kind_ == Kind::Bitmap; }
  // No picture, or a picture with no pixels.
  bool Empty() const noexcept { return Width() <= 0 || Height() <= 0; }
  int Width() const noexcept;
  int Height() const noexcept;

  const QByteArray& JpegBytes() const noexcept { return jpeg_bytes_; }
  // The decoded compressed picture (null unless IsJpeg()).
  const QImage& JpegImage() const noexcept { return jpeg_image_; }
  // The held bitmap (empty unless IsBitmap()).
  const zumo::Bitmap& HeldBitmap() const noexcept { return bitmap_; }

 private:
  friend class TImage;

  Kind kind_ = Kind::Empty;
  QByteArray jpeg_bytes_;
  QImage jpeg_image_;
  zumo::Bitmap bitmap_;
};

// The picture control: shows one picture at full size from its top-left corner, sizes
// itself to a non-empty picture (AutoSize), hands out its picture's bitmap by the bitmap
// rule and fires a click. It paints nothing but the picture (no background of its own),
// and works as a store whether shown or hidden.
class TImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

 public:
  explicit TImage(QWidget* owner = nullptr);
  ~TImage() override;

  // The shown picture.
  const TPicture& Picture() const noexcept { return picture_; }
  // Takes an independent copy of `picture`.
  void SetPicture(const TPicture& picture);
  // Takes an independent copy of another control's picture.
  void AssignPicture(const TImage& other) { SetPicture(other.Picture()); }
  // Holds an independent copy of `bitmap` from now on.
  void AssignBitmap(const zumo::Bitmap& bitmap);
  // Loads a stored compressed picture (file or ":/..." resource); raises Error on failure
  // and then keeps the previous picture.
  void LoadJpeg(const QString& path);

  // The bitmap rule: the held bitmap, to read and write in place. A compressed picture is
  // discarded first and an empty 0 x 0 bitmap takes its place (the view goes blank).
  // Writers that go through ScanLine/MutableBits call Changed() on it afterwards so the
  // control repaints; Assign, SetSize and LoadFromFile notify by themselves.
  zumo::Bitmap& Bitmap();

  bool AutoSize() const noexcept { return auto_size_; }
  void SetAutoSize(bool on);

  // Owner notifications, in the control's own coordinates (any mouse button).
  std::function<void(Qt::MouseButton, QPoint)> OnMouseDown;
  std::function<void(Qt::MouseButton, QPoint)> OnMouseUp;
  std::function<void(QPoint)> OnMouseMove;

 signals:
  // The left button was pressed and released inside the control's rectangle. Emitted
  // before the control's own release handling.
  void clicked();
  // The shown picture was replaced or its bitmap reported a change.
  void pictureChanged();

 protected:
  // Hooks in the order the platform reports: press, release (after the click), move,
  // leave. The base versions pass the notification on to the owner.
  virtual void MouseDown(Qt::MouseButton button, QPoint pos);
  virtual void MouseUp(Qt::MouseButton button, QPoint pos);
  virtual void MouseMove(QPoint pos);
  virtual void MouseLeave();

  // The size an auto-sized control takes for its (non-empty) picture: the picture's own.
  virtual QSize DisplaySize() const;
  void PictureChanged();

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  TPicture picture_;
  zumo::Bitmap::ListenerId listener_ = 0;
  bool auto_size_ = false;
  bool click_armed_ = false;  // a left press that may still end in a click
};

}  // namespace zumo
