// A library that exports by ordinal, as our socket library does, for the module tests.
#include "windows.h"

namespace {
LONG_PTR Answer() {
  return 42;
}
LONG_PTR Seven() {
  return 7;
}
}  // namespace

WIN32_API const WIN32_EXPORT Win32ExportTable[] = {
    {1, "Answer", reinterpret_cast<FARPROC>(&Answer)},
    {7, nullptr, reinterpret_cast<FARPROC>(&Seven)},
    {0, nullptr, nullptr},
};

// Exported by name only, like a library's ordinary entry points.
WIN32_API LONG_PTR FixturePlain() {
  return GetLastError() + 1000;
}
