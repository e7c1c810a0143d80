#include "program/program_file.h"

#include "base/app_paths.h"
#include "base/text_files.h"
#include "forms/text_rules.h"
#include "program/program_checks.h"

namespace program {
namespace {

// Where fields 1 to 60 come from; the empty name is the derived tier count (field 45).
std::vector<std::string> FieldInputs() {
  std::vector<std::string> names;
  for (const auto& input : Inputs()) {
    if (input.name == "redts" || input.name == "nrdts") continue;
    if (input.name == "D1") names.emplace_back();
    names.push_back(input.name);
  }
  return names;
}

}  // namespace

std::vector<std::string> DateItems(const FormValues& values) {
  std::vector<std::string> items;
  if (ParseInteger(ValueOf(values, "re")).value_or(0) >= 1)
    items = forms::Split(ValueOf(values, "redts"));
  if (ParseInteger(ValueOf(values, "nr")).value_or(0) > 0)
    for (auto& item : forms::Split(ValueOf(values, "nrdts"))) items.push_back(std::move(item));
  return items;
}

std::string AssembleProgramText(const FormValues& values) {
  static const std::vector<std::string> fields = FieldInputs();
  const std::string tiers = std::to_string(TierCount(values).value_or(0));
  std::string text;
  for (const auto& name : fields) {
    text += name.empty() ? tiers : ValueOf(values, name);
    text += ',';
  }
  for (const auto& item : DateItems(values)) {
    text += item;
    text += ',';
  }
  text.back() = '*';
  return text;
}

std::string ProgramFileName(const std::string& serial) {
  return "setup_10000000" + serial + ".txt";
}

std::variant<ProgramFile, Message> PrepareProgramFile(const FormValues& values) {
  if (auto failed = FirstFailedCheck(values)) return *failed;
  ProgramFile file{AssembleProgramText(values), {}};
  if (auto failed = SerialCheck(values)) return *failed;
  if (auto failed = LayoutCheck(values)) return *failed;
  std::erase(file.text, '"');
  file.file_name = ProgramFileName(ValueOf(values, "MS"));
  return file;
}

bool SaveProgramFile(const ProgramFile& file, const std::string& app_path,
                     const ShowMessage& show) {
  const std::string path = base::ProgramFilesPath(app_path, file.file_name);
  if (base::FileExists(path) && show({"Mv900 Setup File Exists! Overwrite? " + file.file_name,
                                      kYesNo, kTitleFileProgrammer}) == kNo)
    return false;
  if (!base::WriteStringToFile(file.text, path, show)) return false;
  show({"Program File created. File Name: " + file.file_name, kOKOnly, kTitleFileProgrammer});
  return true;
}

}  // namespace program
