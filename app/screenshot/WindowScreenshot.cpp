// Writes a picture of the window, drawn offscreen, as a user sees it when the program opens
// (or, given a photo, right after loading it): zumo-window-screenshot OUT.png [PHOTO]
#include <QApplication>
#include <QPixmap>

#include <cstdio>

#include "AppSetup.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: zumo-window-screenshot OUT.png [PHOTO]\n", stderr);
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zumo::app::ConfigureApplication(app);
  TForm1 window;
  window.show();
  if (argc > 2) window.LoadPhoto(QString::fromLocal8Bit(argv[2]));
  QApplication::processEvents();
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
