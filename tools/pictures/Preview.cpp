#include "Preview.h"

#include <QFrame>
#include <QPainter>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>

#include "WindowLayout.h"
#include "controls/RGButton.h"

namespace zumo::art {
namespace {

namespace L = zumo::layout;

TImage* Picture(QWidget* parent, const QString& file, QPoint at) {
  auto* image = new TImage(parent);
  image->SetAutoSize(true);
  image->SetPicture(TPicture::FromJpegFile(file));
  image->move(at);
  return image;
}

TRGButton* Button(QWidget* parent, const QString& prefix, QPoint at) {
  auto* button = new TRGButton(parent);
  button->LoadPushButtonPictures(prefix);
  button->move(at);
  return button;
}

QFrame* Panel(QWidget* parent, QRect at) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(1);
  panel->setGeometry(at);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Qt::white);
  panel->setPalette(palette);
  return panel;
}

void Radios(QWidget* parent, const auto& positions) {
  for (QPoint at : positions) {
    auto* radio = new QRadioButton(parent);
    radio->setGeometry(QRect(at, QSize(L::kRadioSize, L::kRadioSize)));
  }
}

void Sliders(QWidget* parent, const auto& places) {
  for (QRect at : places) {
    auto* slider = new QSlider(Qt::Vertical, parent);
    slider->setTickPosition(QSlider::TicksRight);
    slider->setRange(-10, 10);
    slider->setTickInterval(2);
    slider->setGeometry(at);
  }
}

}  // namespace

QImage AssemblePreview(const QString& folder) {
  const QString dir = folder + QLatin1Char('/');
  QWidget window;
  window.setFixedSize(L::kWindow);
  window.setAutoFillBackground(true);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, Qt::white);
  window.setPalette(palette);

  Picture(&window, dir + "Image8.jpg", {0, 0});
  Button(&window, dir + "ButtonQuit", L::kRGButton1);
  Picture(&window, dir + "Image10.jpg", L::kImage10);
  Button(&window, dir + "ButtonRun", L::kRGButton5);

  QFrame* panel1 = Panel(&window, L::kPanel1);
  Picture(panel1, dir + "Image5.jpg", L::kImage5);
  Button(panel1, dir + "ButtonSave", L::kRGButton3);
  Radios(panel1, L::kSaveRadios);

  auto* scroll = new QScrollArea(&window);
  scroll->setGeometry(L::kScrollBox1);
  auto* shown = new TImage;
  shown->SetAutoSize(true);
  shown->SetPicture(TPicture::FromJpegFile(dir + "Image1.jpg"));
  scroll->setWidget(shown);

  QFrame* panel2 = Panel(&window, L::kPanel2);
  Picture(panel2, dir + "Image4.jpg", L::kImage4);
  Button(panel2, dir + "ButtonLoad", L::kRGButton2);
  Radios(panel2, L::kSizeRadios);

  QFrame* panel3 = Panel(&window, L::kPanel3);
  Picture(panel3, dir + "Image6.jpg", {0, 0});
  Sliders(panel3, L::kColourSliders);

  QFrame* panel4 = Panel(&window, L::kPanel4);
  Picture(panel4, dir + "Image7.jpg", {0, 0});
  Sliders(panel4, L::kToneSliders);

  QFrame* panel5 = Panel(&window, L::kPanel5);
  Picture(panel5, dir + "Image9.jpg", {0, 0});
  Button(panel5, dir + "ButtonRun", L::kRGButton4);

  // Techniques' radio buttons lie on the window, over the strip.
  for (QPoint at : L::kTechniqueRadios) {
    auto* radio = new QRadioButton(&window);
    radio->setGeometry(QRect(at, QSize(L::kRadioSize, L::kRadioSize)));
  }

  const QImage assembled = window.grab().toImage();

  // Underneath: every button in its three looks, side by side.
  const QStringList names = {"ButtonQuit", "ButtonLoad", "ButtonSave", "ButtonRun"};
  const QStringList looks = {"OFF", "FCS", "ON"};
  const int row_height = L::kButton.height() + 8;
  QImage preview(L::kWindow.width(), L::kWindow.height() + 8 + row_height * names.size(), QImage::Format_RGB32);
  preview.fill(QColor(0xe8, 0xe8, 0xe8));
  QPainter p(&preview);
  p.drawImage(0, 0, assembled);
  for (int i = 0; i < names.size(); ++i)
    for (int j = 0; j < looks.size(); ++j)
      p.drawImage(8 + j * (L::kButton.width() + 8), L::kWindow.height() + 8 + i * row_height,
                  QImage(dir + names[i] + looks[j] + ".jpg"));
  return preview;
}

}  // namespace zumo::art
