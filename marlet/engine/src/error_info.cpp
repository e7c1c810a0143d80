// Installs an automation error as the thread's error information object.
#include <string>

#include "marlet/automation_error.h"
#include "marlet/identity.h"
#include "ole/com_ptr.h"
#include "ole2.h"
#include "win32/nls.h"

namespace marlet {
namespace {

// ANSI code page text to a NUL-terminated UTF-16 string; empty when it cannot convert.
std::u16string Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string wide(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// The ProgID the registry holds for the control; the built-in one while it holds none.
std::u16string Source(const std::string& fallback) {
  LPOLESTR progid = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(kClsidMarlet, &progid)) && progid) {
    std::u16string source(progid);
    CoTaskMemFree(progid);
    return source;
  }
  return Wide(fallback);
}

}  // namespace

HRESULT RaiseAutomationError(const AutomationError& error) {
  if (!error.failed()) return error.hresult;
  ole::ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put())) || !create) return error.hresult;
  std::u16string source = Source(error.source);
  std::u16string description = Wide(error.description);
  create->SetGUID(GUID_NULL);
  create->SetSource(source.data());
  create->SetDescription(description.data());
  if (error.help_context != 0) {
    std::u16string help_file = Wide(error.help_file);
    create->SetHelpFile(help_file.data());
    create->SetHelpContext(error.help_context);
  }
  ole::ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(IID_IErrorInfo, info))) SetErrorInfo(0, info.get());
  return error.hresult;
}

}  // namespace marlet
