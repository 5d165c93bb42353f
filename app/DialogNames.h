#pragma once

#include <QString>

#include <string>

class QFileDialog;

namespace zumo::app {

// Turns a dialog's path into the bytes the file system takes.
std::string FileSystemPath(const QString& path);

// Proposes `name` in the dialog's name field. The field is cleared first: selectFile
// ignores an empty name, which would bring back what a cancelled run left typed there.
void ProposeName(QFileDialog& dialog, const QString& name);

}  // namespace zumo::app
