// Entry points shared between the runtime's own files.
#pragma once

#include <string>

#include "guiddef.h"
#include "wtypes.h"

namespace ole {

void ClearThreadErrorInfo();
HRESULT CreateRegistrar(REFIID riid, void** ppv);
// The default text of HKCR\<path>, or nothing.
bool ReadClassesValue(const std::string& path, const std::string& value_name, std::string& out);

}  // namespace ole
