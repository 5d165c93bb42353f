#include "ErrorReport.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace zumo::app {

QString ErrorReportText(const QString& message) {
  // Compared as code points, so every kana and kanji sorts after the ASCII full stop.
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void ShowErrorReport(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), ErrorReportText(message),
                  QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace zumo::app
