// The label pictures: every word the window shows is drawn here, placed from the control
// positions in WindowLayout.h.
#include <QLinearGradient>
#include <QPainterPath>

#include "Drawing.h"
#include "Pictures.h"
#include "WindowLayout.h"

namespace zumo::art {
namespace {

namespace L = zumo::layout;

// Vertical centre of a radio button placed at `radio` in a picture placed at `picture`.
qreal RadioCentreY(QPoint radio, QPoint picture) { return radio.y() - picture.y() + L::kRadioSize / 2.0; }
// Where a radio button's label starts: just right of its 17-pixel box.
qreal LabelLeftOf(QPoint radio, QPoint picture) { return radio.x() - picture.x() + L::kRadioSize + 3; }

// A small heading with a short coloured underline, as the panels carry them.
void Heading(QPainter& p, qreal centre_x, qreal centre_y, const QString& text, int pixels,
             const QColor& accent) {
  const QFont font = Gothic(pixels, true);
  TextCentred(p, centre_x, centre_y, text, font, kDarkBlue);
  const qreal half = QFontMetricsF(font).horizontalAdvance(text) / 2.0 + 6;
  p.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(centre_x - half, centre_y + pixels / 2.0 + 4),
             QPointF(centre_x + half, centre_y + pixels / 2.0 + 4));
}

QImage WindowBackground() {  // Image8
  QImage picture = WhitePicture(1000, 700);
  QPainter p(&picture);
  PrepareForArt(p);
  // The banner: a pale band above the photo view (which starts at y 40).
  QLinearGradient band(0, 0, 0, 33);
  band.setColorAt(0, QColor(0xf3, 0xf7, 0xff));
  band.setColorAt(1, Qt::white);
  p.fillRect(QRect(0, 0, 1000, 33), band);
  TextLeft(p, 22, 17, QStringLiteral("だれでもかれでもZumoミキサー風で行こう！"), Gothic(22, true), kDarkBlue);
  TextRight(p, 990, 19, QStringLiteral("フォトレタッチ　スタンダード版 Ver 1.0"), Gothic(13), kTitleRed);
  // The thin green rule under the banner, with its mark at the left end.
  p.setPen(QPen(kRuleGreen, 2));
  p.drawLine(QPointF(16, 35), QPointF(996, 35));
  p.setPen(Qt::NoPen);
  p.setBrush(kRuleGreen);
  QPainterPath mark;
  mark.moveTo(4, 35);
  mark.lineTo(9, 30);
  mark.lineTo(14, 35);
  mark.lineTo(9, 40);
  mark.closeSubpath();
  p.drawPath(mark);
  return picture;
}

QImage Placeholder() {  // Image1's start picture
  QImage picture(826, 569, QImage::Format_RGB32);
  picture.fill(kBeige);
  QPainter p(&picture);
  PrepareForArt(p);
  TextCentred(p, 826 / 2.0, 569 / 2.0, QStringLiteral("写真を読み込んでください"), Gothic(24, true), kDarkBlue);
  return picture;
}

QImage SizePresets() {  // Image4, under the load button and beside the four size presets
  QImage picture = WhitePicture(150, 130);
  QPainter p(&picture);
  PrepareForArt(p);
  const QStringList labels = {QStringLiteral("そのまんま"), QStringLiteral("でかでか"),
                              QStringLiteral("普通"), QStringLiteral("ちょんみり")};
  const QFont font = Gothic(14, true);
  for (int i = 0; i < 4; ++i) {
    const QPoint radio = L::kSizeRadios[i];
    const qreal y = RadioCentreY(radio, L::kImage4);
    TextLeft(p, LabelLeftOf(radio, L::kImage4), y, labels[i], font, kDarkBlue);
    if (i > 0) {  // hairlines between the rows
      p.setPen(QPen(QColor(0xdd, 0xe6, 0xf4), 1));
      p.drawLine(QPointF(8, y - 13.5), QPointF(142, y - 13.5));
    }
  }
  return picture;
}

QImage SaveStrip() {  // Image5
  QImage picture = WhitePicture(492, 26);
  QPainter p(&picture);
  PrepareForArt(p);
  const qreal y = RadioCentreY(L::kSaveRadios[0], L::kImage5);
  TextLeft(p, 4, y, QStringLiteral("保存は？"), Gothic(14, true), kTitleRed);
  const QStringList labels = {QStringLiteral("リッチなBMP！"), QStringLiteral("ナイスJpg"),
                              QStringLiteral("普通Jpg"), QStringLiteral("許せるJpg")};
  for (int i = 0; i < 4; ++i)
    TextLeft(p, LabelLeftOf(L::kSaveRadios[i], L::kImage5), y, labels[i], Gothic(13, true), kDarkBlue);
  return picture;
}

QImage ColourPreference() {  // Image6, over TrackBar1..3
  QImage picture = WhitePicture(150, 200);
  QPainter p(&picture);
  PrepareForArt(p);
  Heading(p, 75, 16, QStringLiteral("色ごのみ"), 17, kRuleGreen);
  const QStringList labels = {QStringLiteral("赤"), QStringLiteral("緑"), QStringLiteral("青")};
  const QColor colours[] = {QColor(0xd8, 0x1e, 0x1e), QColor(0x1e, 0x9a, 0x32), QColor(0x1e, 0x4c, 0xd8)};
  for (int i = 0; i < 3; ++i) {
    const QRect slider = L::kColourSliders[i];
    const qreal x = slider.x() + slider.width() / 2.0;
    // A coloured disc with the character, just above the slider.
    p.setPen(Qt::NoPen);
    const QColor c = colours[i];
    p.setBrush(QColor((c.red() + 3 * 255) / 4, (c.green() + 3 * 255) / 4, (c.blue() + 3 * 255) / 4));
    p.drawEllipse(QPointF(x, slider.y() - 14), 12, 12);
    TextCentred(p, x, slider.y() - 14, labels[i], Gothic(16, true), colours[i]);
  }
  return picture;
}

QImage ToneSliders() {  // Image7, over and under TrackBar4, 6, 5, 7
  QImage picture = WhitePicture(150, 220);
  QPainter p(&picture);
  PrepareForArt(p);
  Heading(p, 75, 13, QStringLiteral("手ごころ"), 16, kRuleGreen);
  const QStringList top = {QStringLiteral("派"), QStringLiteral("明"), QStringLiteral("鮮"), QStringLiteral("色")};
  const QStringList bottom = {QStringLiteral("地"), QStringLiteral("暗"), QStringLiteral("呆"), QStringLiteral("物")};
  const QFont font = Gothic(15, true);
  for (int i = 0; i < 4; ++i) {
    const QRect slider = L::kToneSliders[i];
    const qreal x = slider.x() + slider.width() / 2.0;
    TextCentred(p, x, slider.y() - 10, top[i], font, kTitleRed);
    TextCentred(p, x, slider.y() + slider.height() + 10, bottom[i], font, kDarkBlue);
  }
  return picture;
}

QImage FilterHeading() {  // Image9, above RGButton4
  QImage picture = WhitePicture(149, 63);
  QPainter p(&picture);
  PrepareForArt(p);
  Heading(p, 74.5, 17, QStringLiteral("Zumoフィルタ"), 17, kRuleGreen);
  return picture;
}

QImage TechniquesStrip() {  // Image10
  QImage picture = WhitePicture(801, 40);
  QPainter p(&picture);
  PrepareForArt(p);
  // The yellow frame around the whole strip.
  p.setPen(QPen(kYellow, 3));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(1.5, 1.5, 798, 37), 7, 7);
  // The title box at its left end, clear of the first radio button.
  const qreal first_radio = L::kTechniqueRadios[0].x() - L::kImage10.x();
  const QRectF box(5, 5, first_radio - 15, 30);
  p.setPen(Qt::NoPen);
  p.setBrush(kYellow);
  p.drawRoundedRect(box, 5, 5);
  TextCentred(p, box.center().x(), box.center().y(), QStringLiteral("丼勘定技"), Gothic(18, true), kDarkBlue);
  const QStringList labels = {QStringLiteral("おまかせ！"), QStringLiteral("古杉"),
                              QStringLiteral("派手杉"), QStringLiteral("槍杉")};
  for (int i = 0; i < 4; ++i) {
    const QPoint radio = L::kTechniqueRadios[i];
    TextLeft(p, LabelLeftOf(radio, L::kImage10), RadioCentreY(radio, L::kImage10), labels[i],
             Gothic(15, true), kDarkBlue);
  }
  return picture;
}

}  // namespace

std::vector<NamedPicture> LabelPictures() {
  return {
      {QStringLiteral("Image8.jpg"), WindowBackground()},
      {QStringLiteral("Image1.jpg"), Placeholder()},
      {QStringLiteral("Image4.jpg"), SizePresets()},
      {QStringLiteral("Image5.jpg"), SaveStrip()},
      {QStringLiteral("Image6.jpg"), ColourPreference()},
      {QStringLiteral("Image7.jpg"), ToneSliders()},
      {QStringLiteral("Image9.jpg"), FilterHeading()},
      {QStringLiteral("Image10.jpg"), TechniquesStrip()},
      // The hidden stores' plain start pictures (never used as pixels).
      {QStringLiteral("Image2.jpg"), WhitePicture(100, 100)},
      {QStringLiteral("Image3.jpg"), WhitePicture(100, 100)},
      {QStringLiteral("Image11.jpg"), WhitePicture(100, 100)},
  };
}

}  // namespace zumo::art
