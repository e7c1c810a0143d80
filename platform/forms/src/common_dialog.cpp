#include "forms/common_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "forms/dialog_hook.h"

namespace forms {

std::string ToNameFilters(const std::string& filter) {
  // Pairs of "description|pattern"; the dialog wants "description (pattern)" lines.
  QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + QStringLiteral(" (") +
                   QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   QLatin1Char(')');
  return filters.join(QStringLiteral(";;")).toStdString();
}

void CommonDialog::ShowOpen() {
  std::string chosen;
  if (DialogHook* hook = CurrentDialogHook()) {
    chosen = hook->OnOpenFile({DialogCall::OpenFile, Filter, DialogTitle, 0, InitDir});
  } else {
    QString start = QString::fromStdString(InitDir);
    if (!FileName.empty())
      start = QString::fromStdString(InitDir.empty() ? FileName : InitDir + "/" + FileName);
    chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                          QString::fromStdString(DialogTitle), start,
                                          QString::fromStdString(ToNameFilters(Filter)))
                 .toStdString();
  }
  FileName = chosen;
  FileTitle = chosen.empty() ? std::string() : chosen.substr(chosen.rfind('/') + 1);
}

}  // namespace forms
