#include "network/load_file.h"

#include "base/app_paths.h"
#include "base/shared_values.h"
#include "base/text_files.h"
#include "base/titles.h"
#include "forms/runtime_error.h"
#include "forms/text_rules.h"
#include "network/record_fields.h"
#include "win32/ansi_string.h"

namespace network {
namespace {

using forms::vbCritical;
using forms::vbOKOnly;

// The field's integer value, as the runtime converts a text for a list position: " 7", "+7"
// and "7.0" all select item 7.
std::optional<int> ListPosition(const std::string& field, int items) {
  try {
    const int value = forms::IntegerValue(field);
    if (value < 0 || value >= items) return std::nullopt;
    return value;
  } catch (const forms::RuntimeError&) {
    return std::nullopt;
  }
}

// "0" to "6" by text comparison checks that day; "7" checks Everyday; anything else is let
// be. A load never unchecks a day.
bool ApplyDay(const std::string& field, SetupState& s) {
  if (field >= "0" && field <= "6") {
    if (field.size() != 1) return false;  // "10", "1.5": no box of that number
    s.Chk_WeekDay.at(static_cast<std::size_t>(field[0] - '0')) = true;
  } else if (field == "7") {
    s.Chk_WeekDay.at(kEveryday) = true;
  }
  return true;
}

bool ApplyField(const FieldDef& f, const std::string& field, SetupState& s) {
  switch (f.kind) {
    case FieldKind::kCheck:
      if (field != "0" && field != "1") return false;
      s.*f.check = field == "1";
      return true;
    case FieldKind::kList:
      if (auto position = ListPosition(field, f.list_items)) {
        s.*f.list = *position;
        return true;
      }
      return false;
    case FieldKind::kText:
      // Longer than its entry can hold: refused rather than cut behind the technician's back.
      if (forms::Len(field) > static_cast<std::size_t>(f.max_length)) return false;
      s.*f.text = field;
      return true;
    case FieldKind::kDay:
      return ApplyDay(field, s);
  }
  return false;
}

}  // namespace

std::optional<std::string> SerialFromFileName(const std::string& name) {
  const auto wide = win32::ToWide(CP_UTF8, forms::Trim(name));
  if (!wide || wide->size() != 26 || wide->find(u"setup_") == std::u16string::npos) {
    return std::nullopt;
  }
  auto serial = win32::FromWide(CP_UTF8, wide->substr(6, 16));
  if (!serial || !forms::IsNumeric(*serial)) return std::nullopt;
  return serial;
}

std::optional<forms::Message> ApplyPieces(const std::vector<std::string>& pieces, SetupState& s) {
  for (const auto& f : FieldTable()) {
    const std::string& field = pieces.at(static_cast<std::size_t>(f.index));
    if (!ApplyField(f, field, s)) {
      return forms::Message{"Cannot load field " + std::to_string(f.index) +
                                " of the file into \"" + f.label + "\" (" + f.control +
                                "): it holds \"" + forms::Shorten(field) +
                                "\". Loading stopped at this field.",
                            vbOKOnly | vbCritical, base::kTitleNetworkSetup};
    }
  }
  return std::nullopt;
}

std::optional<forms::Message> LoadNetworkFile(const std::string& path, const std::string& name,
                                              SetupState& s, std::vector<std::string>& nw_fields) {
  if (auto serial = SerialFromFileName(name)) s.txt_MeterSerialNumber = *serial;
  if (!base::FileExists(path)) {
    return forms::Message{path + " File does not exist. Exiting...", vbOKOnly | vbCritical,
                          base::kTitleProgrammer};
  }
  std::string text;
  try {
    text = forms::Trim(base::FileToString(path));
  } catch (const std::exception& e) {
    return forms::Message{"The file " + path + " cannot be read: " + forms::DescriptionOf(e),
                          vbOKOnly | vbCritical, base::kTitleNetworkSetup};
  }
  nw_fields = forms::Split(text);
  if (nw_fields.size() != kFilePieces) {
    return forms::Message{"Invalid Network Parameters File size!", vbOKOnly, ""};
  }
  return ApplyPieces(nw_fields, s);
}

void LoadFromChosenFile(const std::string& app_path, SetupState& s,
                        std::vector<std::string>& nw_fields, const PickFile& pick,
                        const forms::ShowMessage& show) {
  const std::string program_dir =
      app_path.size() > 1 ? app_path.substr(0, app_path.size() - 1) : app_path;
  const bool entered = !base::EnterProgramFiles(program_dir);
  const PickedFile chosen = pick(entered ? app_path + "Program_Files" : app_path);
  if (chosen.path.empty()) return;
  base::Shared().last_opened_file_path = chosen.path;
  if (auto stop = LoadNetworkFile(chosen.path, chosen.name, s, nw_fields)) show(*stop);
}

}  // namespace network
