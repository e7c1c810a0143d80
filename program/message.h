// What the program file features show: message boxes described as data, so the logic decides
// the text, buttons, icon and title and the window only shows them.
#pragma once

#include <string>

#include "base/titles.h"
#include "forms/message.h"

namespace program {

// Button, icon and answer numbers of the forms runtime's message box.
inline constexpr int kOKOnly = forms::vbOKOnly;
inline constexpr int kYesNo = forms::vbYesNo;
inline constexpr int kCritical = forms::vbCritical;
inline constexpr int kQuestion = forms::vbQuestion;
inline constexpr int kExclamation = forms::vbExclamation;
inline constexpr int kInformation = forms::vbInformation;
inline constexpr int kOK = forms::vbOK;
inline constexpr int kYes = forms::vbYes;
inline constexpr int kNo = forms::vbNo;

using base::kTitleFileProgrammer;
using base::kTitleModule;
using base::kTitleProgrammer;

using forms::Message;
using forms::ShowMessage;

inline Message ErrorBox(std::string prompt, const char* title) {
  return {std::move(prompt), kCritical, title};
}

}  // namespace program
