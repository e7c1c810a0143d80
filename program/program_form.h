// The contract between the program page and the desktop program: the inputs of the form "f",
// how each is read, and the tier count derived from them.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "program/message.h"

namespace program {

inline constexpr const char* kFormName = "f";

enum class InputKind {
  CheckBox,    // "1" when checked, "0" when not
  Value,       // the value text exactly as the page gives it
  RadioGroup,  // three buttons: "1" for the first checked, "2" for the second, else "3"
};

struct ContractInput {
  std::string name;
  InputKind kind;
};

// Every input of the form, in the order of the file's fields; the two date lists last.
const std::vector<ContractInput>& Inputs();

// The 24 tier times: schedule 1 to 3, within it tier 1 to 4, hour before minute.
const std::array<std::string, 24>& TierInputNames();

// One element of the page's form as the view reports it, in document order.
struct PageInput {
  std::string name;
  std::string type;  // "checkbox", "radio", "text", "select-one" ...
  std::string value;
  bool checked = false;
};

// Input name -> the text the program uses for it (see InputKind).
using FormValues = std::map<std::string, std::string>;

// The value of `name`, empty when the form gave none.
const std::string& ValueOf(const FormValues& values, const std::string& name);

struct FormRead {
  FormValues values;
  std::optional<Message> refusal;  // set when the page lacks an input of the contract
};

// "Create File" while the view shows no page, or a page without the form "f".
Message NoFormMessage();

// Reads every input of the contract from the page's elements.
FormRead ReadFormValues(const std::vector<PageInput>& elements);

// Integer text as the checks compare it: an optional sign and digits, blanks around allowed.
std::optional<long long> ParseInteger(std::string_view text);

// The largest number of used tiers (hour not -1) in any of the three schedules; nullopt
// names no input, so callers report `bad_input`, the first hour that is not integer text.
std::optional<int> TierCount(const FormValues& values, std::string* bad_input = nullptr);

}  // namespace program
