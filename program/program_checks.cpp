#include "program/program_checks.h"

#include "forms/text_rules.h"

namespace program {
namespace {

// A number the checks need is not integer text: reported at the check that reads it.
struct NotInteger {
  std::string input;
};

long long Number(const FormValues& values, const std::string& name) {
  auto n = ParseInteger(ValueOf(values, name));
  if (!n) throw NotInteger{name};
  return *n;
}

bool Checked(const FormValues& values, const char* name) {
  return ValueOf(values, name) == "1";
}

Message Refuse(const char* prompt) {
  return ErrorBox(prompt, kTitleModule);
}

std::optional<Message> RunChecks(const FormValues& values) {
  if (Checked(values, "PDST")) {
    if (Number(values, "DH") == -1)
      return Refuse("Your DST Action Time (Hour) Selection is -1. Please correct!");
    if (Number(values, "DA1") == 0)
      return Refuse("Your DST 1 Action is set to 'OFF'. Please correct!");
    if (Number(values, "DA2") == 1)
      return Refuse("Your DST 2 Action is set to 'ON'. Please correct!");
  }
  std::string bad;
  auto tiers = TierCount(values, &bad);
  if (!tiers) throw NotInteger{bad};
  const bool tou = Checked(values, "PTOU");
  if (tou && *tiers == 0) return Refuse("You have not selected any tiers!");
  if (*tiers > 0 && !tou) return Refuse("You have not Checked the Program TOU Details Checkbox!");
  if (ValueOf(values, "CD1") == ValueOf(values, "CD0"))
    return Refuse("You have selected the same Demand Sources for both Channel 0 and Channel 1!");
  if (ValueOf(values, "CE1") == ValueOf(values, "CE0"))
    return Refuse("You have selected the same Energy Sources for both Channel 0 and Channel 1!");
  if (ValueOf(values, "CL1") == ValueOf(values, "CL0"))
    return Refuse(
        "You have selected the same Load Profile Sources for both Channel 0 and Channel 1!");
  // Two huge counts must not wrap around into a sum of 5: an overflowing sum is not 5.
  long long dates = 0;
  if (__builtin_add_overflow(Number(values, "re"), Number(values, "nr"), &dates) || dates != 5)
    return Refuse(
        "5 dates MUST be present. Set Action to 'No Action' which will result in no operation "
        "for the dates added.");
  return std::nullopt;
}

}  // namespace

std::optional<Message> FirstFailedCheck(const FormValues& values) {
  try {
    return RunChecks(values);
  } catch (const NotInteger& e) {
    return ErrorBox("The value of " + e.input + " (\"" + forms::Shorten(ValueOf(values, e.input)) +
                        "\") is not a whole number. Please correct!",
                    kTitleModule);
  }
}

std::optional<Message> SerialCheck(const FormValues& values) {
  if (forms::Len(ValueOf(values, "MS")) != 8)
    return ErrorBox("Invalid Meter Serial number. Exiting...", kTitleProgrammer);
  return std::nullopt;
}

namespace {

// The serial names the file: "setup_10000000" + serial + ".txt".
std::optional<Message> SerialNameCheck(const std::string& serial) {
  if (serial.find('"') != std::string::npos) {
    return ErrorBox(
        "The serial number MS holds a double quote (\"), which the program file cannot keep. "
        "Please remove it!",
        kTitleModule);
  }
  // Separators, the characters Windows refuses in a name, and control characters.
  for (const char c : serial) {
    const auto b = static_cast<unsigned char>(c);
    std::string what;
    if (b < 0x20 || b == 0x7F) {
      what = "a control character";
    } else if (std::string_view("/\\:*?<>|").find(c) != std::string_view::npos) {
      what = "\"" + std::string(1, c) + "\"";
    } else {
      continue;
    }
    return ErrorBox("The serial number MS holds " + what +
                        ", which cannot be part of a file name. Please remove it!",
                    kTitleModule);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Message> LayoutCheck(const FormValues& values) {
  auto refuse = [](const std::string& name, const char* what) {
    return ErrorBox("The value of " + name + " holds " + what +
                        ", which would break the program file. Please remove it!",
                    kTitleModule);
  };
  for (const auto& input : Inputs()) {
    if (input.kind != InputKind::Value) continue;
    const std::string& v = ValueOf(values, input.name);
    const bool list = input.name == "redts" || input.name == "nrdts";
    if (!list && v.find(',') != std::string::npos) return refuse(input.name, "a comma (\",\")");
    if (v.find('*') != std::string::npos) return refuse(input.name, "the end mark \"*\"");
    if (v.find_first_of("\r\n") != std::string::npos) return refuse(input.name, "a line break");
    if (input.name == "MS") {
      if (auto refusal = SerialNameCheck(v)) return refusal;
    }
  }
  return std::nullopt;
}

}  // namespace program
