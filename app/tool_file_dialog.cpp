#include "app/tool_file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace tollamer::app {

QString QtFilterOf(const QString& pairs) {
  QStringList parts = pairs.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    if (description.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
    patterns.replace(';', ' ');
    if (description.trimmed().endsWith(')'))
      filters << description;
    else
      filters << description + " (" + patterns + ")";
  }
  return filters.join(";;");
}

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setNameFilter(QtFilterOf(request.filter));
  if (!request.defaultName.isEmpty() && !request.defaultName.contains('*'))
    dialog.selectFile(request.defaultName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace tollamer::app
