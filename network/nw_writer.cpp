#include "network/nw_writer.h"

#include "network/nw_checks.h"
#include "network/runtime_error.h"
#include "win32/ansi_string.h"

namespace network {
namespace {

Message EntryError(const FieldDef& f, const std::string& problem) {
  return {"The entry \"" + std::string(f.label) + "\" " + problem, vbOKOnly | vbCritical,
          kNetworkSetupTitle};
}

// A comma would split the field in two and make a file the reader refuses; a character the
// code page cannot hold would be lost. Refuse both, naming the entry.
std::optional<Message> UnwritableEntry(const std::array<std::string, kRecordFields>& fields) {
  for (const auto& f : FieldTable()) {
    const std::string& value = fields.at(static_cast<std::size_t>(f.index));
    if (value.find(',') != std::string::npos) {
      return EntryError(f,
                        "contains a comma (\",\"), which a network setup file cannot hold. "
                        "Remove it and create the file again.");
    }
    if (!win32::Utf8ToAnsi(value)) {
      return EntryError(f,
                        "contains a character that this workstation's code page cannot "
                        "write. Remove it and create the file again.");
    }
  }
  return std::nullopt;
}

}  // namespace

CreatePlan PlanCreate(const NWSetupState& s, lp_regexp& re, const std::string& app_path) {
  CreatePlan plan;
  try {
    if (auto failure = CheckEntries(s, re)) {
      plan.refusal = Message{failure->message, vbOKOnly | vbCritical, kNetworkSetupTitle};
      plan.failed_step = failure->step;
      return plan;
    }
  } catch (const RuntimeError& e) {
    plan.refusal = CreationFailure(e.Description());
    return plan;
  }
  plan.fields = BuildRecord(s);
  if (auto refusal = UnwritableEntry(plan.fields)) {
    plan.refusal = std::move(refusal);
    return plan;
  }
  plan.line = RecordLine(plan.fields);
  plan.file_name = "setup_" + s.txt_MeterSerialNumber + ".txt";
  plan.path = app_path + "Program_Files/" + plan.file_name;
  return plan;
}

Message OverwriteQuestion(const std::string& file_name) {
  return {"Network Setup File Exists! Overwrite? " + file_name, vbYesNo, kFileProgrammerTitle};
}

Message CreatedMessage(const std::string& file_name) {
  return {"Network Setup File created. File Name: " + file_name, vbOKOnly, kFileProgrammerTitle};
}

Message CreationFailure(const std::string& description) {
  return {"Error in file creation: " + description, vbOKOnly, ""};
}

}  // namespace network
