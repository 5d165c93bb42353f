#pragma once

#include <QString>

class QWidget;

namespace zumo::app {

// The text the error report shows: the message, with a full stop appended when its last
// character sorts after the full stop (so Japanese messages always end in one).
QString ErrorReportText(const QString& message);

// The error report of the window: a modal message box with the error icon and an OK
// button, titled with the program's name. Returns when the user has closed it.
void ShowErrorReport(QWidget* parent, const QString& message);

}  // namespace zumo::app
