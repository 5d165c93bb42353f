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

std::optional<QString> RememberingDialog::Ask() {
  if (clear_first)
    ProposeName(*dialog, last_name);
  else
    dialog->selectFile(last_name);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog->selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  last_name = chosen.front();
  return last_name;
}

}  // namespace zumo::app
