#include "DialogNames.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

namespace zumo::app {

std::string FileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

void ProposeName(QFileDialog& dialog, const QString& name) {
  if (auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) field->clear();
  dialog.selectFile(name);
}

}  // namespace zumo::app
