// Values the windows share for the whole run; all empty when the program starts.
#pragma once

#include <string>

namespace app {

inline std::string SettingsFilePath;  // full path of the settings file
inline std::string FtpUserName;       // the program FTP credentials
inline std::string FtpPassword;
inline std::string FtpServerAddress;
inline std::string CurrentFileName;     // name without directory of the last file created or picked
inline std::string LastOpenedFilePath;  // full path last chosen in a read dialog

}  // namespace app
