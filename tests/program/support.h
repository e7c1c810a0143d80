// Shared pieces of the program file tests: a recorder for the boxes the logic shows, and a
// program form that passes every check.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "program/message.h"
#include "program/program_form.h"
#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace testsupport {

// Records every box and answers from a script (the default button when it runs out).
class Boxes {
 public:
  void Answer(int answer) { answers_.push_back(answer); }
  program::ShowMessage Show();
  std::vector<program::Message> shown;

 private:
  std::deque<int> answers_;
};

// Schedule 1 uses three tiers, PDST and PTOU on, re = 5 with ten date items.
program::FormValues ValidForm();

// The file that ValidForm() gives, without its line end (239 characters).
extern const char* const kValidText;

}  // namespace testsupport
