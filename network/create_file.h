// "Create File" of the network setup window: the checks, the record, the overwrite question,
// the write and the report, in that order. The window reads its controls and calls this.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "forms/message.h"
#include "network/lp_regexp.h"
#include "network/record_fields.h"
#include "network/setup_state.h"

namespace network {

struct CreatePlan {
  // Set when nothing may be written: a failed check, an entry the file cannot carry, or a
  // run-time failure. The window shows it and the click ends.
  std::optional<forms::Message> refusal;
  int failed_step = 0;  // the check that failed, 0 when another reason stopped the create

  std::array<std::string, kRecordFields> fields;
  std::string line;       // the record without its line end
  std::string file_name;  // "setup_" + serial + ".txt"
  std::string path;       // application path + "Program_Files/" + file name
};

// Runs the checks and builds the record. `app_path` ends in "/".
CreatePlan PlanCreate(const SetupState& s, lp_regexp& re, const std::string& app_path);

// The whole click: plans, asks before overwriting, writes, remembers the file's name as the
// run's current file name and reports, every box through `show`. `nw_fields` receives the
// record's fields once the checks passed. True when the file was written. Any failure on the
// way ends as "Error in file creation: " + its description.
bool CreateNetworkFile(const SetupState& s, lp_regexp& re, const std::string& app_path,
                       std::vector<std::string>& nw_fields, const forms::ShowMessage& show);

forms::Message OverwriteQuestion(const std::string& file_name);
forms::Message CreatedMessage(const std::string& file_name);
// How the create handler reports a run-time failure.
forms::Message CreationFailure(const std::string& description);

}  // namespace network
