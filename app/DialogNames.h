#pragma once

#include <QString>

#include <optional>
#include <string>

class QFileDialog;

namespace zumo::app {

// Turns a dialog's path into the bytes the file system takes.
std::string FileSystemPath(const QString& path);

// Proposes `name` in the dialog's name field. The field is cleared first: selectFile
// ignores an empty name, which would bring back what a cancelled run left typed there.
void ProposeName(QFileDialog& dialog, const QString& name);

// A file dialog made once for the window's life that proposes, each time it is shown, the
// name confirmed the last time.
struct RememberingDialog {
  QFileDialog* dialog = nullptr;
  QString last_name;
  // Whether the proposal clears the name field first (ProposeName); the open dialog only
  // selects the last name, leaving a typed one when there is none yet.
  bool clear_first = true;

  // Shows the dialog; the first name confirmed, remembered for next time, or none when the
  // dialog is cancelled or gives no name.
  std::optional<QString> Ask();
};

}  // namespace zumo::app
