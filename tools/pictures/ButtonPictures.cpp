// The image buttons' pictures: a light cyan rounded face with the label; dark blue
// lettering for the normal look, yellow for hover, and yellow on a face shifted down and
// to the right for the pressed look.
#include <QLinearGradient>

#include "Drawing.h"
#include "Pictures.h"
#include "WindowLayout.h"

namespace zumo::art {
namespace {

enum class Look { Normal, Hover, Pressed };

QImage ButtonFace(const QString& label, Look look) {
  const int w = layout::kButton.width();
  const int h = layout::kButton.height();
  QImage picture = WhitePicture(w, h);
  QPainter p(&picture);
  PrepareForArt(p);

  const qreal shift = look == Look::Pressed ? 2 : 0;
  const QRectF face(1.5 + shift, 1.5 + shift, w - 5, h - 5);
  if (look != Look::Pressed) {
    // A soft shadow at the bottom right that the pressed face moves into.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xc4, 0xcc));
    p.drawRoundedRect(face.translated(2, 2), 8, 8);
  }
  QLinearGradient fill(0, face.top(), 0, face.bottom());
  if (look == Look::Normal) {
    fill.setColorAt(0, QColor(0xe4, 0xfd, 0xff));
    fill.setColorAt(1, QColor(0x9c, 0xe4, 0xee));
  } else {
    // Hover and pressed: a slightly deeper cyan so that the yellow lettering stands out.
    fill.setColorAt(0, QColor(0xbf, 0xf3, 0xfa));
    fill.setColorAt(1, QColor(0x5f, 0xc9, 0xdc));
  }
  p.setPen(QPen(QColor(0x3f, 0xa9, 0xbf), 1));
  p.setBrush(fill);
  p.drawRoundedRect(face, 8, 8);
  // A highlight along the top edge of the face.
  p.setPen(QPen(QColor(255, 255, 255, 190), 1));
  p.drawLine(QPointF(face.left() + 7, face.top() + 2), QPointF(face.right() - 7, face.top() + 2));

  const QPointF centre = face.center();
  const QFont font = Gothic(15, true);
  if (look == Look::Normal)
    TextCentred(p, centre.x(), centre.y(), label, font, kDarkBlue);
  else
    OutlinedTextCentred(p, centre.x(), centre.y(), label, font, kYellowText, kDarkBlue, 3);
  return picture;
}

}  // namespace

std::vector<NamedPicture> ButtonPictures() {
  const std::pair<const char*, QString> buttons[] = {
      {"ButtonQuit", QStringLiteral("終了")},
      {"ButtonLoad", QStringLiteral("読み込み")},
      {"ButtonSave", QStringLiteral("保存")},
      {"ButtonRun", QStringLiteral("実行")},
  };
  std::vector<NamedPicture> pictures;
  for (const auto& [name, label] : buttons) {
    const QString base = QString::fromLatin1(name);
    pictures.push_back({base + QStringLiteral("OFF.jpg"), ButtonFace(label, Look::Normal)});
    pictures.push_back({base + QStringLiteral("FCS.jpg"), ButtonFace(label, Look::Hover)});
    pictures.push_back({base + QStringLiteral("ON.jpg"), ButtonFace(label, Look::Pressed)});
  }
  return pictures;
}

}  // namespace zumo::art
