// Values the windows share for the whole run; all empty when the program starts. Windows read
// and write them here and nowhere else.
#pragma once

#include <string>

namespace base {

struct SharedValues {
  std::string settings_file_path;  // full path of the settings file
  // The program FTP credentials, as last typed at a log-in or an upload.
  std::string ftp_user_name;
  std::string ftp_password;
  std::string ftp_server_address;
  std::string current_file_name;      // name without directory of the last file created or picked
  std::string last_opened_file_path;  // full path last chosen in a read dialog
};

SharedValues& Shared();

}  // namespace base
