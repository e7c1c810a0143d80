// A message box the logic asks its window to show: prompt, button and icon flags, title.
#pragma once

#include <string>

#include "forms/message.h"

namespace network {

using forms::vbCritical;
using forms::vbExclamation;
using forms::vbInformation;
using forms::vbNo;
using forms::vbOKOnly;
using forms::vbQuestion;
using forms::vbYes;
using forms::vbYesNo;

inline const std::string kNetworkSetupTitle = "Network Setup";
inline const std::string kFileProgrammerTitle = "Mv900 File Programmer";
inline const std::string kProgrammerTitle = "Mv900 Programmer";

using forms::Message;

}  // namespace network
