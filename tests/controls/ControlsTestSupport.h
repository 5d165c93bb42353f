#pragma once

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMouseEvent>

#include <cstdint>

#include "controls/PictureControl.h"
#include "platform/Bitmap.h"

namespace zumo::test {

// A bitmap of one colour.
inline Bitmap Solid(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
  return bitmap;
}

// JPEG bytes of a picture of one colour, as a window description stores them.
inline QByteArray SolidJpeg(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 95);
  return bytes;
}

// Mouse events sent straight to the control, as the platform reports them while the
// control holds the mouse (positions may lie outside it).
inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::LeftButton) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                : type == QEvent::MouseMove        ? Qt::NoButton
                                                                   : Qt::MouseButtons(button);
  QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)),
                    type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}
inline void Press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseButtonPress, p, b);
}
inline void Release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseButtonRelease, p, b);
}
inline void Move(QWidget* w, QPoint p) { SendMouse(w, QEvent::MouseMove, p); }
inline void Leave(QWidget* w) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(w, &event);
}

}  // namespace zumo::test
