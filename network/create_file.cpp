#include "network/create_file.h"

#include "base/app_paths.h"
#include "base/shared_values.h"
#include "base/text_files.h"
#include "base/titles.h"
#include "forms/runtime_error.h"
#include "network/entry_checks.h"
#include "win32/ansi_string.h"

namespace network {
namespace {

using forms::vbCritical;
using forms::vbNo;
using forms::vbOKOnly;
using forms::vbYesNo;

forms::Message EntryError(const FieldDef& f, const std::string& problem) {
  return {"The entry \"" + std::string(f.label) + "\" " + problem, vbOKOnly | vbCritical,
          base::kTitleNetworkSetup};
}

// A comma would split the field in two and make a file the reader refuses; a character the
// code page cannot hold would be lost. Refuse both, naming the entry.
std::optional<forms::Message> UnwritableEntry(
    const std::array<std::string, kRecordFields>& fields) {
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

CreatePlan PlanCreate(const SetupState& s, lp_regexp& re, const std::string& app_path) {
  CreatePlan plan;
  try {
    if (auto failure = CheckEntries(s, re)) {
      plan.refusal =
          forms::Message{failure->message, vbOKOnly | vbCritical, base::kTitleNetworkSetup};
      plan.failed_step = failure->step;
      return plan;
    }
  } catch (const std::exception& e) {
    plan.refusal = CreationFailure(forms::DescriptionOf(e));
    return plan;
  }
  plan.fields = BuildRecord(s);
  if (auto refusal = UnwritableEntry(plan.fields)) {
    plan.refusal = std::move(refusal);
    return plan;
  }
  plan.line = RecordLine(plan.fields);
  plan.file_name = "setup_" + s.txt_MeterSerialNumber + ".txt";
  plan.path = base::ProgramFilesPath(app_path, plan.file_name);
  return plan;
}

bool CreateNetworkFile(const SetupState& s, lp_regexp& re, const std::string& app_path,
                       std::vector<std::string>& nw_fields, const forms::ShowMessage& show) {
  try {
    const CreatePlan plan = PlanCreate(s, re, app_path);
    if (plan.refusal) {
      show(*plan.refusal);
      return false;
    }
    nw_fields.assign(plan.fields.begin(), plan.fields.end());
    nw_fields.resize(kFilePieces);
    if (base::FileExists(plan.path) && show(OverwriteQuestion(plan.file_name)) == vbNo) {
      return false;
    }
    if (!base::WriteStringToFile(plan.line, plan.path, show)) return false;
    base::Shared().current_file_name = plan.file_name;
    show(CreatedMessage(plan.file_name));
    return true;
  } catch (const std::exception& e) {
    show(CreationFailure(forms::DescriptionOf(e)));
    return false;
  }
}

forms::Message OverwriteQuestion(const std::string& file_name) {
  return {"Network Setup File Exists! Overwrite? " + file_name, vbYesNo,
          base::kTitleFileProgrammer};
}

forms::Message CreatedMessage(const std::string& file_name) {
  return {"Network Setup File created. File Name: " + file_name, vbOKOnly,
          base::kTitleFileProgrammer};
}

forms::Message CreationFailure(const std::string& description) {
  return {"Error in file creation: " + description, vbOKOnly, ""};
}

}  // namespace network
