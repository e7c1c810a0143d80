// Message and input boxes with the button, icon and result numbers of the forms runtime.
#pragma once

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

// Shows a modal message box; an empty title means the application title.
int MsgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = {});

// Shows a modal input box; Cancel gives an empty text.
std::string InputBox(const std::string& prompt, const std::string& title = {},
                     const std::string& default_text = {});

// The answer a box gives when the user accepts its default button.
int DefaultAnswer(int buttons);

}  // namespace forms
