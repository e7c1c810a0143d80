// Message box buttons, icons and answers with the forms runtime's numbers, and a box described
// as data: the plain logic decides text, buttons and title; the window shows it.
#pragma once

#include <functional>
#include <string>

namespace forms {

enum MsgBoxStyle : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
  vbDefaultButton2 = 256,
  vbDefaultButton3 = 512,
};

enum MsgBoxResult : int {
  vbOK = 1,
  vbCancel = 2,
  vbAbort = 3,
  vbRetry = 4,
  vbIgnore = 5,
  vbYes = 6,
  vbNo = 7,
};

struct Message {
  std::string prompt;
  int buttons = vbOKOnly;
  std::string title;  // empty: the application title
  bool operator==(const Message&) const = default;
};

// Shows a box and gives the answer.
using ShowMessage = std::function<int(const Message&)>;

}  // namespace forms
