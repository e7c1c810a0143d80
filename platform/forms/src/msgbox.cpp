#include "forms/msgbox.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

#include "forms/app.h"
#include "forms/dialog_hook.h"

namespace forms {
namespace {

std::vector<std::pair<QMessageBox::StandardButton, int>> ButtonsOf(int buttons) {
  using B = QMessageBox;
  switch (buttons & 0xF) {
    case vbOKCancel:
      return {{B::Ok, vbOK}, {B::Cancel, vbCancel}};
    case vbAbortRetryIgnore:
      return {{B::Abort, vbAbort}, {B::Retry, vbRetry}, {B::Ignore, vbIgnore}};
    case vbYesNoCancel:
      return {{B::Yes, vbYes}, {B::No, vbNo}, {B::Cancel, vbCancel}};
    case vbYesNo:
      return {{B::Yes, vbYes}, {B::No, vbNo}};
    case vbRetryCancel:
      return {{B::Retry, vbRetry}, {B::Cancel, vbCancel}};
    default:
      return {{B::Ok, vbOK}};
  }
}

QMessageBox::Icon IconOf(int buttons) {
  switch (buttons & 0x70) {
    case vbCritical:
      return QMessageBox::Critical;
    case vbQuestion:
      return QMessageBox::Question;
    case vbExclamation:
      return QMessageBox::Warning;
    case vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

std::string TitleOr(const std::string& title) {
  return title.empty() ? App::Title() : title;
}

}  // namespace

int DefaultAnswer(int buttons) {
  auto choices = ButtonsOf(buttons);
  std::size_t index = (buttons & vbDefaultButton3) ? 2 : (buttons & vbDefaultButton2) ? 1 : 0;
  return choices[index < choices.size() ? index : 0].second;
}

int MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  DialogCall call{DialogCall::Message, prompt, TitleOr(title), buttons, {}};
  if (DialogHook* hook = CurrentDialogHook()) return hook->OnMessage(call);

  QMessageBox box(IconOf(buttons), QString::fromStdString(call.title),
                  QString::fromStdString(prompt), QMessageBox::NoButton,
                  QApplication::activeWindow());
  // Texts quote file names and values from files: never read as markup.
  box.setTextFormat(Qt::PlainText);
  auto choices = ButtonsOf(buttons);
  for (const auto& [button, result] : choices) box.addButton(button);
  box.setDefaultButton(choices[0].first);
  for (std::size_t i = 1; i < choices.size(); ++i)
    if ((i == 1 && (buttons & vbDefaultButton2)) || (i == 2 && (buttons & vbDefaultButton3)))
      box.setDefaultButton(choices[i].first);
  box.exec();
  for (const auto& [button, result] : choices)
    if (box.clickedButton() == box.button(button)) return result;
  // Closed with Escape or the title bar: the Cancel-like answer, as the platform gives it.
  return choices.size() == 1 ? vbOK : choices.back().second;
}

std::string InputBox(const std::string& prompt, const std::string& title,
                     const std::string& default_text) {
  DialogCall call{DialogCall::Input, prompt, TitleOr(title), 0, default_text};
  if (DialogHook* hook = CurrentDialogHook()) return hook->OnInput(call);
  QInputDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(QString::fromStdString(call.title));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString::fromStdString(default_text));
  // The prompt is plain text, as in a message box.
  for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  return dialog.exec() == QDialog::Accepted ? dialog.textValue().toStdString() : std::string();
}

}  // namespace forms
