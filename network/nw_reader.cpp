#include "network/nw_reader.h"

#include <charconv>
#include <stdexcept>

#include "network/address.h"
#include "network/nw_fields.h"
#include "network/vb_text.h"
#include "win32/ansi_string.h"

namespace network {
namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (;;) {
    const auto comma = text.find(',', from);
    pieces.push_back(text.substr(from, comma - from));
    if (comma == std::string::npos) return pieces;
    from = comma + 1;
  }
}

std::optional<int> ListPosition(const std::string& field, int items) {
  int value = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  if (field.empty() || field[0] == '-' || ec != std::errc() || ptr != end || value >= items) {
    return std::nullopt;
  }
  return value;
}

// "0" to "6" by text comparison checks that day; "7" checks Everyday; anything else is let
// be. A load never unchecks a day.
bool ApplyDay(const std::string& field, NWSetupState& s) {
  if (field >= "0" && field <= "6") {
    if (field.size() != 1) return false;  // "10", "1.5": no box of that number
    s.Chk_WeekDay.at(static_cast<std::size_t>(field[0] - '0')) = true;
  } else if (field == "7") {
    s.Chk_WeekDay.at(kEveryday) = true;
  }
  return true;
}

bool ApplyField(const FieldDef& f, const std::string& field, NWSetupState& s) {
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
      s.*f.text = field;
      return true;
    case FieldKind::kDay:
      return ApplyDay(field, s);
  }
  return false;
}

}  // namespace

std::optional<std::string> SerialFromFileName(const std::string& name) {
  const auto wide = win32::ToWide(CP_UTF8, Trim(name));
  if (!wide || wide->size() != 26 || wide->find(u"setup_") == std::u16string::npos) {
    return std::nullopt;
  }
  auto serial = win32::FromWide(CP_UTF8, wide->substr(6, 16));
  if (!serial || !IsNumeric(*serial)) return std::nullopt;
  return serial;
}

std::optional<Message> ApplyPieces(const std::vector<std::string>& pieces, NWSetupState& s) {
  for (const auto& f : FieldTable()) {
    const std::string& field = pieces.at(static_cast<std::size_t>(f.index));
    if (!ApplyField(f, field, s)) {
      return Message{"Cannot load field " + std::to_string(f.index) + " of the file into \"" +
                         f.label + "\" (" + f.control + "): it holds \"" + field +
                         "\". Loading stopped at this field.",
                     vbOKOnly | vbCritical, kNetworkSetupTitle};
    }
  }
  return std::nullopt;
}

std::optional<Message> LoadNetworkFile(const std::string& path, const std::string& name,
                                       NWSetupState& s, std::vector<std::string>& nw_fields,
                                       const FileReader& read) {
  if (auto serial = SerialFromFileName(name)) s.txt_MeterSerialNumber = *serial;
  if (!FileExists(path)) {
    return Message{path + " File does not exist. Exiting...", vbOKOnly | vbCritical,
                   kProgrammerTitle};
  }
  std::string text;
  try {
    text = Trim(read(path));
  } catch (const std::runtime_error& e) {
    return Message{"The file " + path + " cannot be read: " + std::string(e.what()),
                   vbOKOnly | vbCritical, kNetworkSetupTitle};
  }
  nw_fields = Split(text);
  if (nw_fields.size() != kFilePieces) {
    return Message{"Invalid Network Parameters File size!", vbOKOnly, ""};
  }
  return ApplyPieces(nw_fields, s);
}

}  // namespace network
