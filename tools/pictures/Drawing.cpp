#include "Drawing.h"

#include <QFontMetricsF>
#include <QImageWriter>
#include <QPainterPath>

#include <stdexcept>

namespace zumo::art {
namespace {

// Baseline that centres a line of Japanese text on centre_y: measured on a kana whose
// box is the full em, so every label of a row gets the same baseline.
qreal BaselineFor(const QFont& font, qreal centre_y) {
  const QRectF box = QFontMetricsF(font).tightBoundingRect(QStringLiteral("あ"));
  return centre_y - (box.top() + box.bottom()) / 2.0;
}

}  // namespace

QFont Gothic(int pixels, bool bold) {
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

QImage WhitePicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(Qt::white);
  return picture;
}

void PrepareForArt(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void TextLeft(QPainter& painter, qreal left, qreal centre_y, const QString& text,
              const QFont& font, const QColor& colour) {
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QPointF(left, BaselineFor(font, centre_y)), text);
}

void TextCentred(QPainter& painter, qreal centre_x, qreal centre_y, const QString& text,
                 const QFont& font, const QColor& colour) {
  const qreal width = QFontMetricsF(font).horizontalAdvance(text);
  TextLeft(painter, centre_x - width / 2.0, centre_y, text, font, colour);
}

void TextRight(QPainter& painter, qreal right, qreal centre_y, const QString& text,
               const QFont& font, const QColor& colour) {
  const qreal width = QFontMetricsF(font).horizontalAdvance(text);
  TextLeft(painter, right - width, centre_y, text, font, colour);
}

void OutlinedTextCentred(QPainter& painter, qreal centre_x, qreal centre_y, const QString& text,
                         const QFont& font, const QColor& fill, const QColor& outline,
                         qreal outline_width) {
  const qreal width = QFontMetricsF(font).horizontalAdvance(text);
  QPainterPath path;
  path.addText(QPointF(centre_x - width / 2.0, BaselineFor(font, centre_y)), font, text);
  painter.save();
  painter.setPen(QPen(outline, outline_width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawPath(path);
  painter.restore();
}

void SaveJpeg(const QImage& picture, const QString& path) {
  QImageWriter writer(path, "jpeg");
  writer.setQuality(95);
  writer.setOptimizedWrite(true);
  if (!writer.write(picture))
    throw std::runtime_error("cannot write " + path.toStdString() + ": " + writer.errorString().toStdString());
}

}  // namespace zumo::art
