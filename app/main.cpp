#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QString::fromUtf8("だれでもかれでもZumoミキサー風で行こう！"));
  window.setFixedSize(1002, 696);
  window.show();
  return app.exec();
}
