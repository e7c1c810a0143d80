// A line log for tests that run the program as a separate process (FORMS_DIALOG_LOG names
// the file): dialogs and shown windows are recorded there instead of being waited on.
#pragma once

#include <string>

namespace forms {

bool TestLogEnabled();
void AppendTestLog(const std::string& line);

}  // namespace forms
