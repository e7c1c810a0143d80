#include "program/program_form.h"

#include <algorithm>
#include <charconv>

namespace program {
namespace {

std::vector<ContractInput> BuildInputs() {
  std::vector<ContractInput> inputs;
  auto add = [&](std::initializer_list<const char*> names, InputKind kind) {
    for (const char* n : names) inputs.push_back({n, kind});
  };
  using K = InputKind;
  add({"PMD", "PDST", "PTOU"}, K::CheckBox);
  add({"re", "nr", "MS"}, K::Value);
  add({"LS"}, K::CheckBox);
  add({"MID1", "MC", "TC", "TS", "CD0", "CD1", "CE0", "CE1", "CL0", "CL1", "DH", "DM", "Do"},
      K::Value);
  for (const auto& tier : TierInputNames()) inputs.push_back({tier, K::Value});
  add({"D1", "D2", "D3", "D4", "D5", "D6", "D7"}, K::RadioGroup);
  add({"WON", "WDON", "MON", "DA1", "WOF", "WDOF", "MOF", "DA2", "redts", "nrdts"}, K::Value);
  return inputs;
}

std::array<std::string, 24> BuildTierNames() {
  std::array<std::string, 24> names;
  std::size_t i = 0;
  for (int schedule = 1; schedule <= 3; ++schedule)
    for (int tier = 1; tier <= 4; ++tier)
      for (char part : {'H', 'M'})
        names[i++] = "T" + std::to_string(tier) + part + std::to_string(schedule);
  return names;
}

std::string ReadOne(const ContractInput& input, const std::vector<PageInput>& elements,
                    bool& found) {
  found = false;
  int position = 0;
  std::string radio = "3";
  for (const auto& e : elements) {
    if (e.name != input.name) continue;
    switch (input.kind) {
      case InputKind::CheckBox:
        found = true;
        return e.checked ? "1" : "0";
      case InputKind::Value:
        found = true;
        return e.value;
      case InputKind::RadioGroup:
        // Read by position: 3 unless the first or the second button is checked.
        found = true;
        if (position < 2 && e.checked && radio == "3") radio = std::to_string(position + 1);
        ++position;
        break;
    }
  }
  return radio;
}

}  // namespace

const std::vector<ContractInput>& Inputs() {
  static const std::vector<ContractInput> inputs = BuildInputs();
  return inputs;
}

const std::array<std::string, 24>& TierInputNames() {
  static const std::array<std::string, 24> names = BuildTierNames();
  return names;
}

const std::string& ValueOf(const FormValues& values, const std::string& name) {
  static const std::string empty;
  auto it = values.find(name);
  return it == values.end() ? empty : it->second;
}

Message NoFormMessage() {
  return ErrorBox(
      "No program form is shown. Read a program file first (Read File); no file was "
      "written.",
      kTitleModule);
}

FormRead ReadFormValues(const std::vector<PageInput>& elements) {
  FormRead read;
  for (const auto& input : Inputs()) {
    bool found = false;
    std::string value = ReadOne(input, elements, found);
    if (!found) {
      read.values.clear();
      read.refusal = ErrorBox("The program page has no input \"" + input.name +
                                  "\". Read a program file first; no file was written.",
                              kTitleModule);
      return read;
    }
    read.values[input.name] = std::move(value);
  }
  return read;
}

std::optional<long long> ParseInteger(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) return std::nullopt;
  }
  long long n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return n;
}

std::optional<int> TierCount(const FormValues& values, std::string* bad_input) {
  const auto& names = TierInputNames();
  int most = 0;
  for (std::size_t schedule = 0; schedule < 3; ++schedule) {
    int used = 0;
    for (std::size_t tier = 0; tier < 4; ++tier) {
      const std::string& hour = names[schedule * 8 + tier * 2];
      auto it = values.find(hour);
      auto n = it == values.end() ? std::nullopt : ParseInteger(it->second);
      if (!n) {
        if (bad_input != nullptr) *bad_input = hour;
        return std::nullopt;
      }
      if (*n != -1) ++used;
    }
    most = std::max(most, used);
  }
  return most;
}

}  // namespace program
