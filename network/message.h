// A message box the logic asks its window to show: prompt, button and icon flags, title.
#pragma once

#include <string>

namespace network {

// Button and icon flags and results, with the script runtime's numbers.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

inline const std::string kNetworkSetupTitle = "Network Setup";
inline const std::string kFileProgrammerTitle = "Mv900 File Programmer";
inline const std::string kProgrammerTitle = "Mv900 Programmer";

struct Message {
  std::string prompt;
  int buttons = vbOKOnly;
  std::string title;  // empty: the application's title

  bool operator==(const Message&) const = default;
};

}  // namespace network
