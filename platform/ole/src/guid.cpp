// GUID strings and task memory (ole32).
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "guid_text.h"
#include "objbase.h"

using ole::GuidFromString;
using ole::GuidToString;

namespace {

LPOLESTR TaskString(const std::string& utf8) {
  std::u16string w = ole::Widen(utf8);
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((w.size() + 1) * sizeof(OLECHAR)));
  if (!p) return nullptr;
  std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(OLECHAR));
  return p;
}

}  // namespace

int STDAPICALLTYPE StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  std::string s = GuidToString(rguid);
  if (!lpsz || cchMax < static_cast<int>(s.size()) + 1) return 0;
  for (size_t i = 0; i < s.size(); ++i) lpsz[i] = static_cast<OLECHAR>(s[i]);
  lpsz[s.size()] = 0;
  return static_cast<int>(s.size()) + 1;
}

STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (!lplpsz) return E_INVALIDARG;
  *lplpsz = TaskString(GuidToString(rclsid));
  return *lplpsz ? S_OK : E_OUTOFMEMORY;
}

STDAPI StringFromIID(REFIID riid, LPOLESTR* lplpsz) {
  return StringFromCLSID(riid, lplpsz);
}

STDAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = GUID_NULL;
    return S_OK;
  }
  auto g = GuidFromString(ole::Narrow(lpsz));
  if (!g) return E_INVALIDARG;
  *lpiid = *g;
  return S_OK;
}

STDAPI CoCreateGuid(GUID* pguid) {
  if (!pguid) return E_INVALIDARG;
  BYTE bytes[16];
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return E_FAIL;
  ssize_t n = read(fd, bytes, sizeof bytes);
  close(fd);
  if (n != static_cast<ssize_t>(sizeof bytes)) return E_FAIL;
  bytes[7] = static_cast<BYTE>((bytes[7] & 0x0F) | 0x40);  // version 4 in Data3
  bytes[8] = static_cast<BYTE>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  std::memcpy(pguid, bytes, sizeof bytes);
  return S_OK;
}

LPVOID STDAPICALLTYPE CoTaskMemAlloc(SIZE_T cb) {
  return std::malloc(cb == 0 ? 1 : cb);
}
LPVOID STDAPICALLTYPE CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  return std::realloc(pv, cb == 0 ? 1 : cb);
}
void STDAPICALLTYPE CoTaskMemFree(LPVOID pv) {
  std::free(pv);
}

namespace {

// The task allocator as an object; it is static and not reference counted.
class TaskMalloc final : public IMalloc {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMalloc) {
      *ppv = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(void*) Alloc(SIZE_T cb) override { return CoTaskMemAlloc(cb); }
  STDMETHODIMP_(void*) Realloc(void* pv, SIZE_T cb) override { return CoTaskMemRealloc(pv, cb); }
  STDMETHODIMP_(void) Free(void* pv) override { CoTaskMemFree(pv); }
  // The C allocator does not tell sizes; Windows answers -1 for unknown blocks too.
  STDMETHODIMP_(SIZE_T) GetSize(void*) override { return static_cast<SIZE_T>(-1); }
  STDMETHODIMP_(int) DidAlloc(void*) override { return -1; }
  STDMETHODIMP_(void) HeapMinimize() override {}
};

TaskMalloc task_malloc;

}  // namespace

STDAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc) {
  if (!ppMalloc) return E_INVALIDARG;
  if (dwMemContext != 1) {  // MEMCTX_TASK
    *ppMalloc = nullptr;
    return E_INVALIDARG;
  }
  *ppMalloc = &task_malloc;
  return S_OK;
}
