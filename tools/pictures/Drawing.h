#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

// Drawing helpers shared by the label and button pictures.
namespace zumo::art {

// The palette of the window's artwork.
inline const QColor kDarkBlue{0x1b, 0x2d, 0x7c};
inline const QColor kTitleRed{0xd0, 0x1c, 0x24};
inline const QColor kRuleGreen{0x2e, 0x9a, 0x3c};
inline const QColor kYellow{0xf5, 0xc4, 0x00};
inline const QColor kYellowText{0xff, 0xe4, 0x1a};
inline const QColor kBeige{0xf4, 0xea, 0xd2};

// The gothic font of the window, `pixels` high, optionally bold.
QFont Gothic(int pixels, bool bold = false);

// A white picture of the given size with a painter ready for antialiased drawing.
QImage WhitePicture(int width, int height);
void PrepareForArt(QPainter& painter);

// Text whose glyphs are centred vertically on `centre_y`, starting at `left` (so labels
// of one row share one baseline whatever their letters).
void TextLeft(QPainter& painter, qreal left, qreal centre_y, const QString& text,
              const QFont& font, const QColor& colour);
// Text centred on (centre_x, centre_y) the same way.
void TextCentred(QPainter& painter, qreal centre_x, qreal centre_y, const QString& text,
                 const QFont& font, const QColor& colour);
// Text ending at `right`.
void TextRight(QPainter& painter, qreal right, qreal centre_y, const QString& text,
               const QFont& font, const QColor& colour);
// Text filled with `fill` inside a `outline` contour of the given width: yellow
// lettering stays legible on a light face.
void OutlinedTextCentred(QPainter& painter, qreal centre_x, qreal centre_y, const QString& text,
                         const QFont& font, const QColor& fill, const QColor& outline,
                         qreal outline_width);

// Writes the picture as a high-quality JPEG; raises std::runtime_error on failure.
void SaveJpeg(const QImage& picture, const QString& path);

}  // namespace zumo::art
