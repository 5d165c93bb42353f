#include "GuiBenchWindow.h"

#include <QApplication>
#include <QWindow>

#include "AppSetup.h"

namespace zumo::bench {

TForm1& BenchWindow() {
  static TForm1* window = [] {
    zumo::app::ConfigureApplication(*qApp);
    auto* form = new TForm1;
    form->show();
    for (int i = 0; i < 1000 && !(form->windowHandle() && form->windowHandle()->isExposed()); ++i)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return form;
  }();
  return *window;
}

}  // namespace zumo::bench
