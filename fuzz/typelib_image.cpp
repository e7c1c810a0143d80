// The stored type-library reader on any bytes: refused, or read into records that the runtime
// builds a library from, that save back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ole/com_ptr.h"
#include "ole/type_library_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ole::TypeLibDef def;
  if (!ole::ReadTypeLibDef(data, size, def)) return 0;
  if (ole::SaveTypeLibDef(def) != std::string(reinterpret_cast<const char*>(data), size)) {
    std::abort();
  }
  ole::ComPtr<ITypeLib> lib;
  if (SUCCEEDED(ole::CreateTypeLib(def, lib.put()))) {
    for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
      ole::ComPtr<ITypeInfo> info;
      TYPEATTR* attr = nullptr;
      if (FAILED(lib->GetTypeInfo(i, info.put())) || FAILED(info->GetTypeAttr(&attr))) continue;
      for (WORD f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* desc = nullptr;
        if (SUCCEEDED(info->GetFuncDesc(f, &desc))) info->ReleaseFuncDesc(desc);
      }
      info->ReleaseTypeAttr(attr);
    }
  }
  return 0;
}
