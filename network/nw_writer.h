// "Create File" of the network setup window as data: what to write where, or what to say
// instead. The window asks the overwrite question, writes, and reports.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "network/lp_regexp.h"
#include "network/message.h"
#include "network/nw_fields.h"
#include "network/nw_setup_state.h"

namespace network {

struct CreatePlan {
  // Set when nothing may be written: a failed check, an entry the file cannot carry, or a
  // run-time failure. The window shows it and the click ends.
  std::optional<Message> refusal;
  int failed_step = 0;  // the check that failed, 0 when another reason stopped the create

  std::array<std::string, kRecordFields> fields;
  std::string line;       // the record without its line end
  std::string file_name;  // "setup_" + serial + ".txt"
  std::string path;       // application path + "Program_Files/" + file name
};

// Runs the checks and builds the record. `app_path` ends in "/".
CreatePlan PlanCreate(const NWSetupState& s, lp_regexp& re, const std::string& app_path);

Message OverwriteQuestion(const std::string& file_name);
Message CreatedMessage(const std::string& file_name);
// How the create handler reports a run-time failure.
Message CreationFailure(const std::string& description);

}  // namespace network
