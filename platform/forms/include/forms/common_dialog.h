// The common open-file dialog.
#pragma once

#include <string>

namespace forms {

class CommonDialog {
 public:
  std::string FileName;   // in: the suggested name; out: the chosen full path, "" on Cancel
  std::string FileTitle;  // out: the chosen name without its directory
  std::string Filter;     // "Text Files(*.txt)|*.txt" - description and pattern pairs
  std::string InitDir;
  std::string DialogTitle;

  void ShowOpen();
};

// "Text Files(*.txt)|*.txt|All(*.*)|*.*" in the dialog's own filter syntax.
std::string ToNameFilters(const std::string& filter);

}  // namespace forms
