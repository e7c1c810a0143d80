#include "forms/test_log.h"

#include <cstdio>
#include <cstdlib>

namespace forms {

bool TestLogEnabled() {
  const char* path = std::getenv("FORMS_DIALOG_LOG");
  return path != nullptr && *path != '\0';
}

void AppendTestLog(const std::string& line) {
  const char* path = std::getenv("FORMS_DIALOG_LOG");
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

}  // namespace forms
