#include <mutex>

#include "type_library.h"

namespace marlet {
namespace {

std::mutex g_mutex;
ITypeLib* g_library = nullptr;

}  // namespace

HRESULT GetTypeLibrary(ITypeLib** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::lock_guard lock(g_mutex);
  if (!g_library) {
    const HRESULT hr = ole::CreateTypeLib(TypeLibraryDefinition(), &g_library);
    if (FAILED(hr)) return hr;
  }
  g_library->AddRef();
  *out = g_library;
  return S_OK;
}

HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = GetTypeLibrary(&library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(guid, out);
  library->Release();
  return hr;
}

void ReleaseTypeLibrary() {
  std::lock_guard lock(g_mutex);
  if (g_library) g_library->Release();
  g_library = nullptr;
}

}  // namespace marlet
