// regsvr [-u] [-s] library: registers (or unregisters) an in-process server by calling its
// DllRegisterServer (DllUnregisterServer), reporting as regsvr32 does. Exit codes are
// regsvr32's: 0 done, 1 bad arguments, 2 runtime start failed, 3 library not loaded,
// 4 entry point missing, 5 the call failed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ole2.h"
#include "win32/module.h"

namespace {

// FARPROC to the entry point's own type; the detour through void (*)() is the cast that
// does not warn.
template <typename F>
F ProcAs(FARPROC p) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

enum Exit { kOk = 0, kArgs = 1, kOle = 2, kLoad = 3, kEntry = 4, kCall = 5 };

int Usage() {
  std::fprintf(stderr,
               "usage: regsvr [-u] [-s] library\n"
               "  -u  unregister the server\n"
               "  -s  silent: report nothing, only the exit code\n");
  return kArgs;
}

bool IsFlag(const char* arg, char flag) {
  return (arg[0] == '-' || arg[0] == '/') && (arg[1] == flag || arg[1] == flag - 32) &&
         arg[2] == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false, silent = false;
  const char* library = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (IsFlag(argv[i], 'u')) {
      unregister = true;
    } else if (IsFlag(argv[i], 's')) {
      silent = true;
    } else if (argv[i][0] == '-' || library) {
      return Usage();
    } else {
      library = argv[i];
    }
  }
  if (!library) return Usage();
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";

  HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) {
    if (!silent)
      std::fprintf(stderr, "The object runtime could not be started (0x%08X).\n",
                   static_cast<unsigned>(hr));
    return kOle;
  }
  // A library named without a directory is looked for in the current one, as regsvr32
  // does; it is loaded by its full path, which is what the server writes into the registry.
  std::string path = std::strchr(library, '/') ? library : std::string("./") + library;
  if (char* full = realpath(path.c_str(), nullptr)) {
    path = full;
    std::free(full);
  }
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    if (!silent) {
      std::fprintf(stderr, "The module \"%s\" failed to load.\n\nError %u.\n", library,
                   static_cast<unsigned>(GetLastError()));
    }
    OleUninitialize();
    return kLoad;
  }
  auto call = ProcAs<HRESULT (*)()>(GetProcAddress(module, entry));
  int code = kOk;
  if (!call) {
    if (!silent) {
      std::fprintf(stderr, "The module \"%s\" was loaded but the entry-point %s was not found.\n",
                   library, entry);
    }
    code = kEntry;
  } else if (FAILED(hr = call())) {
    if (!silent) {
      std::fprintf(stderr,
                   "The module \"%s\" was loaded but the call to %s failed with error code "
                   "0x%08X.\n",
                   library, entry, static_cast<unsigned>(hr));
    }
    code = kCall;
  } else if (!silent) {
    std::printf("%s in %s succeeded.\n", entry, library);
  }
  OleUninitialize();
  FreeLibrary(module);
  return code;
}
