#include "marlet/automation_error.h"

namespace marlet {
namespace {

constexpr int32_t kOutOfMemoryNumber = 7;

AutomationError Failure(int32_t number, std::string description, uint32_t help_context) {
  AutomationError e;
  e.number = number;
  e.hresult = ControlHResult(number);
  e.description = std::move(description);
  e.source = kProgId;
  if (help_context != 0) {
    e.help_file = kHelpFile;
    e.help_context = help_context;
  }
  return e;
}

}  // namespace

int32_t AutomationNumber(Code code) {
  return code <= 10000 ? code + 20001 : code + 15001;
}

HRESULT ControlHResult(int32_t number) {
  return static_cast<HRESULT>(kControlErrorBase | static_cast<uint32_t>(number));
}

AutomationError ToAutomationError(Code code, ErrorText& text, uint32_t help_context) {
  if (code == kOk) return {};
  if (code == kOutOfMemory) return Failure(kOutOfMemoryNumber, "Out of memory.", 0);
  // If even the made text cannot be stored, the fallback description below still reports.
  if (text.empty()) text.Set(CodeText(code));
  std::string description = text.empty() ? "No description available." : std::string(text.view());
  return Failure(AutomationNumber(code), std::move(description), help_context);
}

AutomationError ToAutomationError(FrameworkError error, uint32_t help_context) {
  switch (error) {
    case FrameworkError::kRuntimeOnly:
      return Failure(394, "Property is runtime only (no supported in design time).", help_context);
    case FrameworkError::kReadOnly:
      return Failure(383, "Property is read-only.", help_context);
    case FrameworkError::kWriteOnly:
      return Failure(394, "Property is write-only.", help_context);
    case FrameworkError::kNotByteArray:
      return Failure(380, "Property accepts only one-dimensional byte arrays.", help_context);
  }
  return {};
}

}  // namespace marlet
