#include "module1.h"

#include "win32/ansi_string.h"
#include "win32/profile.h"

namespace app::Module1 {

void WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
  auto ansi_file = win32::Utf8ToAnsi(file);
  auto ansi_section = win32::Utf8ToAnsi(section);
  auto ansi_key = win32::Utf8ToAnsi(key);
  auto ansi_value = win32::Utf8ToAnsi(value);
  // A value that would have to lose characters is not written at all.
  if (!ansi_file || !ansi_section || !ansi_key || !ansi_value) return;
  WritePrivateProfileStringA(ansi_section->c_str(), ansi_key->c_str(), ansi_value->c_str(),
                             ansi_file->c_str());
}

}  // namespace app::Module1
