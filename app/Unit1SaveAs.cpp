// 形式を選んで保存…: the shown picture saved in any kind of the output kinds' table, beside the
// save button's four fixed choices.
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QStringList>

#include "BusyCursor.h"
#include "DialogNames.h"
#include "Unit1.h"
#include "photofiles/OutputKinds.h"
#include "platform/Error.h"
#include "ui_Unit1.h"

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The kind whose filter the dialog shows selected.
const zumo::OutputKind& KindOfFilter(const QString& filter) {
  for (const zumo::OutputKind& kind : zumo::OutputKinds())
    if (Text(kind.dialog_filter) == filter) return kind;
  return zumo::OutputKindOf(zumo::SaveFormat::Jpeg);
}

}  // namespace

QFileDialog& TForm1::SaveAsDialog() {
  if (save_as_dialog_.dialog != nullptr) return *save_as_dialog_.dialog;
  QFileDialog* dialog = save_as_dialog_.dialog = new QFileDialog(this);
  dialog->setObjectName(QStringLiteral("SaveAsDialog"));
  dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  QStringList filters;
  for (const zumo::OutputKind& kind : zumo::OutputKinds()) filters << Text(kind.dialog_filter);
  dialog->setNameFilters(filters);

  // The quality controls sit in a row of their own under Qt's own dialog's fields.
  auto* row = new QWidget(dialog);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(QString::fromUtf8("品質:"), row);
  save_as_quality_ = new QSpinBox(row);
  save_as_quality_->setObjectName(QStringLiteral("QualitySpinBox"));
  save_as_quality_->setRange(1, 100);
  label->setBuddy(save_as_quality_);
  save_as_lossless_ = new QCheckBox(QString::fromUtf8("ロスレス"), row);
  save_as_lossless_->setObjectName(QStringLiteral("LosslessCheckBox"));
  layout->addWidget(label);
  layout->addWidget(save_as_quality_);
  layout->addWidget(save_as_lossless_);
  layout->addStretch();
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
    grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
  connect(save_as_lossless_, &QCheckBox::toggled, save_as_quality_, [this](bool on) {
    save_as_quality_->setEnabled(!on && KindOfFilter(save_as_dialog_.dialog->selectedNameFilter()).TakesQuality());
  });
  connect(dialog, &QFileDialog::filterSelected, this, &TForm1::ShowKindSettings);
  // The kind chosen when nobody chose: JPEG, as the save button's default.
  const QString jpeg = Text(zumo::OutputKindOf(zumo::SaveFormat::Jpeg).dialog_filter);
  dialog->selectNameFilter(jpeg);
  ShowKindSettings(jpeg);
  return *dialog;
}

// The controls and the default suffix for the kind of `filter`: the kind's default quality,
// lossless only for the kind that takes it.
void TForm1::ShowKindSettings(const QString& filter) {
  const zumo::OutputKind& kind = KindOfFilter(filter);
  save_as_dialog_.dialog->setDefaultSuffix(Text(kind.Extension().substr(1)));
  if (kind.TakesQuality()) save_as_quality_->setValue(kind.default_quality);
  save_as_lossless_->setVisible(kind.takes_lossless);
  if (!kind.takes_lossless) save_as_lossless_->setChecked(false);
  save_as_quality_->setEnabled(kind.TakesQuality() && !save_as_lossless_->isChecked());
}

void TForm1::SaveAsNow() {
  // What is saved is what shows when the command is given.
  const zumo::Bitmap picture = Held(&zumo::app::WindowState::shown);
  if (picture.Empty()) throw zumo::Error(zumo::messages::kNothingToSave);
  const std::string recipe = ShownRecipeText();

  QFileDialog& dialog = SaveAsDialog();
  const std::optional<QString> name = save_as_dialog_.Ask();
  if (!name) return;
  const std::string path = zumo::app::FileSystemPath(*name);
  // A typed extension of a known kind wins over the selected filter.
  const zumo::OutputKind* typed = zumo::OutputKindByPath(path);
  const zumo::OutputKind& kind = typed != nullptr ? *typed : KindOfFilter(dialog.selectedNameFilter());

  zumo::OutputSettings settings;
  settings.lossless = kind.takes_lossless && save_as_lossless_->isChecked();
  settings.quality = kind.TakesQuality() && !settings.lossless ? save_as_quality_->value() : 0;
  if (kind.format != zumo::SaveFormat::Bmp) {
    settings.recipe = recipe;
    settings.metadata = MetadataToSave(picture, kind.format);
  }
  zumo::app::BusyCursor busy;
  zumo::WriteOutputFile(picture, path, kind.format, settings);
}
