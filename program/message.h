// What the program file features show: message boxes described as data, so the logic decides
// the text, buttons, icon and title and the window only shows them.
#pragma once

#include <functional>
#include <string>

namespace program {

// Button, icon and answer numbers of the forms runtime's message box.
enum BoxStyle : int {
  kOKOnly = 0,
  kYesNo = 4,
  kCritical = 16,
  kQuestion = 32,
  kExclamation = 48,
  kInformation = 64,
};
enum BoxAnswer : int { kOK = 1, kYes = 6, kNo = 7 };

inline constexpr const char* kTitleModule = "Mv900 Program Module";
inline constexpr const char* kTitleProgrammer = "Mv900 Programmer";
inline constexpr const char* kTitleFileProgrammer = "Mv900 File Programmer";

struct Message {
  std::string prompt;
  int buttons = kOKOnly;
  std::string title;  // empty: the application title
  bool operator==(const Message&) const = default;
};

// Shows a box and gives the answer (kOK, kYes, kNo).
using ShowMessage = std::function<int(const Message&)>;

inline Message ErrorBox(std::string prompt, const char* title) {
  return {std::move(prompt), kCritical, title};
}

}  // namespace program
