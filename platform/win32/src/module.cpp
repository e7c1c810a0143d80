#include "win32/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "module_lookup.h"
#include "module_search.h"
#include "win32/error.h"

namespace {

// LoadLibraryA's references, so that FreeLibrary gives back only what was taken.
struct Loaded {
  std::mutex mu;
  std::unordered_map<void*, long> counts;
};
Loaded& Modules() {
  static auto* loaded = new Loaded;
  return *loaded;
}

void* ProgramHandle() {
  static void* handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

link_map* LinkMapOf(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
  return map;
}

// A handle is a loaded object's link map (glibc); anything else is refused before the loader
// sees it, because dlsym and dlinfo do not survive a foreign pointer.
bool IsLoaded(HMODULE module) {
  if (module == nullptr) return false;
  link_map* map = LinkMapOf(ProgramHandle());
  while (map != nullptr && map->l_prev != nullptr) map = map->l_prev;
  for (; map != nullptr; map = map->l_next) {
    if (static_cast<void*>(map) == static_cast<void*>(module)) return true;
  }
  return false;
}

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string DirOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::vector<std::string> SearchDirs() {
  std::vector<std::string> dirs;
  auto add = [&dirs](const std::string& dir) {
    if (dir.empty()) return;
    for (const auto& d : dirs) {
      if (d == dir) return;
    }
    dirs.push_back(dir);
  };
  add(DirOf(ProgramPath()));
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadLibraryA), &info) != 0 && info.dli_fname != nullptr) {
    add(DirOf(RealPath(info.dli_fname)));
  }
#ifdef WIN32_INSTALLED_LIBDIR
  add(WIN32_INSTALLED_LIBDIR);
#endif
  return dirs;
}

std::string Resolve(LPCSTR name) {
  if (std::strchr(name, '/') != nullptr) return win32::module::FindPath(name);
  return win32::module::FindBareName(name, SearchDirs());
}

// The module's own definition of `symbol`; dlsym also answers from the libraries it depends on.
void* OwnSymbol(HMODULE module, const char* symbol) {
  void* address = dlsym(module, symbol);
  if (address == nullptr) return nullptr;
  Dl_info info{};
  link_map* owner = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) {
    return nullptr;
  }
  return owner == LinkMapOf(module) ? address : nullptr;
}

const WIN32_EXPORT* ExportTable(HMODULE module) {
  return static_cast<const WIN32_EXPORT*>(OwnSymbol(module, WIN32_EXPORT_TABLE_SYMBOL));
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string file = Resolve(lpLibFileName);
  if (file.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // The absolute name makes the loader's record, and so GetModuleFileNameA, a full path.
  void* handle = dlopen(RealPath(file).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    // A library it needs is missing: Windows says "module not found" for that too.
    bool missing = why != nullptr && std::strstr(why, "cannot open shared object file") != nullptr;
    SetLastError(missing ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  std::lock_guard lock(Modules().mu);
  ++Modules().counts[handle];
  return static_cast<HMODULE>(handle);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (hLibModule != nullptr && static_cast<void*>(hLibModule) == ProgramHandle()) return TRUE;
  std::lock_guard lock(Modules().mu);
  auto it = Modules().counts.find(hLibModule);
  if (it == Modules().counts.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second == 0) Modules().counts.erase(it);
  dlclose(hLibModule);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!IsLoaded(hModule)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const WIN32_EXPORT* table = ExportTable(hModule);
  if (IS_INTRESOURCE(lpProcName)) {
    auto ordinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpProcName));
    for (const WIN32_EXPORT* e = table; e != nullptr && e->Ordinal != 0; ++e) {
      if (ordinal != 0 && e->Ordinal == ordinal) return e->Function;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  for (const WIN32_EXPORT* e = table; e != nullptr && e->Ordinal != 0; ++e) {
    if (e->Name != nullptr && std::strcmp(e->Name, lpProcName) == 0) return e->Function;
  }
  if (void* symbol = OwnSymbol(hModule, lpProcName)) return reinterpret_cast<FARPROC>(symbol);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  if (hModule == nullptr || static_cast<void*>(hModule) == ProgramHandle()) {
    path = ProgramPath();
  } else if (IsLoaded(hModule)) {
    link_map* map = LinkMapOf(hModule);
    if (map != nullptr && map->l_name != nullptr) path = RealPath(map->l_name);
  } else {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (lpFilename == nullptr || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < nSize) {
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(lpFilename, path.data(), nSize - 1);
  lpFilename[nSize - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName == nullptr) return static_cast<HMODULE>(ProgramHandle());
  std::string file = *lpModuleName != '\0' ? Resolve(lpModuleName) : std::string();
  void* handle = file.empty() ? nullptr : dlopen(RealPath(file).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  dlclose(handle);  // RTLD_NOLOAD counted a reference; GetModuleHandleA takes none
  return static_cast<HMODULE>(handle);
}

BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
  if (phModule == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phModule = nullptr;
  HMODULE module = nullptr;
  if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    Dl_info info{};
    link_map* owner = nullptr;
    if (lpModuleName == nullptr ||
        dladdr1(lpModuleName, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        owner == nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    // The program's link map is the handle dlopen(NULL) gives.
    module = static_cast<HMODULE>(owner == LinkMapOf(ProgramHandle()) ? ProgramHandle()
                                                                        : static_cast<void*>(owner));
  } else {
    module = GetModuleHandleA(lpModuleName);
    if (module == nullptr) return FALSE;
  }
  if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) &&
      static_cast<void*>(module) != ProgramHandle()) {
    // A reference of our own, as LoadLibraryA takes one, so that FreeLibrary balances it.
    link_map* map = LinkMapOf(module);
    void* again = map != nullptr && map->l_name != nullptr
                      ? dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD)
                      : nullptr;
    if (again == nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    std::lock_guard lock(Modules().mu);
    ++Modules().counts[again];
  }
  *phModule = module;
  return TRUE;
}

namespace win32::module {

void* OwnSymbolOf(HMODULE module, const char* symbol, bool& module_ok) {
  void* handle = module == nullptr ? ProgramHandle() : static_cast<void*>(module);
  module_ok = handle == ProgramHandle() || IsLoaded(module);
  if (!module_ok) return nullptr;
  // For the program, dlsym searches every global library too; OwnSymbol keeps its own.
  return OwnSymbol(static_cast<HMODULE>(handle), symbol);
}

}  // namespace win32::module
