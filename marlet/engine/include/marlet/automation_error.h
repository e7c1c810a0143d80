// How an engine code becomes the automation error a caller of the control sees: a failing
// HRESULT with number, description, source and help data.
#pragma once

#include <cstdint>
#include <string>

#include "marlet/error_codes.h"
#include "marlet/error_text.h"
#include "win32/types.h"

namespace marlet {

inline constexpr HRESULT kSuccess = 0;
inline constexpr uint32_t kControlErrorBase = 0x800A0000u;  // severity error, FACILITY_CONTROL
inline constexpr const char* kProgId = "Halyard.Marlet.1";
inline constexpr const char* kHelpFile = "halyard.chm";

struct AutomationError {
  HRESULT hresult = kSuccess;
  int32_t number = 0;
  std::string description;
  std::string source;
  std::string help_file;  // empty when there is no help data
  uint32_t help_context = 0;

  bool failed() const { return hresult < 0; }
};

// Automation number of a non-zero code: rules and memory add 20001, socket-library and
// lookup codes add 15001.
int32_t AutomationNumber(Code code);
HRESULT ControlHResult(int32_t number);

// Maps the engine's result. When the text is empty it is first made from the code and
// stored back, as the engine keeps it until its next operation. Code 0 gives success
// with nothing else filled in.
AutomationError ToAutomationError(Code code, ErrorText& text, uint32_t help_context);

// Refusals made by the control object itself, not by the engine.
enum class FrameworkError {
  kRuntimeOnly,   // design-mode refusal
  kReadOnly,      // setter of a read-only member
  kWriteOnly,     // getter of a write-only member
  kNotByteArray,  // DataToSendB given anything but a one-dimensional array
};
AutomationError ToAutomationError(FrameworkError error, uint32_t help_context);

// Makes the error the thread's current error information and returns its HRESULT. Texts
// are ANSI. Success sets nothing; when no error object can be made, the HRESULT comes
// back alone.
HRESULT RaiseAutomationError(const AutomationError& error);

}  // namespace marlet
