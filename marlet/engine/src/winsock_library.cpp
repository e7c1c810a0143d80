#include "marlet/winsock_library.h"

#include <algorithm>
#include <cstring>

#include "marlet/socket_function_table.h"

namespace marlet {
namespace {

constexpr WORD kVersion11 = 0x0101;

struct State {
  bool window_class_registered;
  HMODULE module;
  uint16_t load_count;
  WSADATA startup;
  char path[WinsockLibrary::kMaxPath + 1];
};

template <std::size_t N>
constexpr void Copy(char (&target)[N], const char* text) {
  std::size_t i = 0;
  for (; i + 1 < N && text[i] != '\0'; ++i) target[i] = text[i];
  target[i] = '\0';
}

constexpr State Initial() {
  State s{};
  Copy(s.startup.szSystemStatus, "Down");
  Copy(s.path, WinsockLibrary::kDefaultPath);
  return s;
}

constinit State g_state = Initial();

void ResetStartupData() {
  g_state.startup.szDescription[0] = '\0';
  Copy(g_state.startup.szSystemStatus, "Down");
  g_state.startup.iMaxSockets = 0;
  g_state.startup.iMaxUdpDg = 0;
}

}  // namespace

void WinsockLibrary::Initialize() {
  if (g_state.startup.wVersion == kVersion11) return;
  g_state.window_class_registered = false;
  g_state.module = nullptr;
  g_state.load_count = 0;
  ResetStartupData();
  Copy(g_state.path, kDefaultPath);
}

bool WinsockLibrary::Load() {
  // Every load loads the module again; it is never unloaded, so its handle stays valid.
  HMODULE module = LoadLibraryA(g_state.path);
  if (!module) {
    Copy(g_state.startup.szDescription, "Could not load Winsock DLL.");
    return false;
  }
  g_state.module = module;
  if (++g_state.load_count == 1) ResolveSocketFunctions(g_sockets, module);

  const WORD previous_version = g_state.startup.wVersion;
  g_state.startup.wVersion = 0;
  const int result = g_sockets.WSAStartup(kVersion11, &g_state.startup);
  const char* failure = nullptr;
  if (result == WSAEINVAL || result == WSAVERNOTSUPPORTED) {
    failure = "Version not supported.";
  } else if (result == WSASYSNOTREADY) {
    failure = "Network subsystem not ready.";
  }
  if (failure) {
    // Not started, so no cleanup is owed; the other loads keep the version they started.
    g_state.startup.wVersion = previous_version;
    GiveBack(false);
  } else if (g_state.startup.wVersion == kVersion11) {
    return true;
  } else {
    failure = "Incompatible Winsock version.";
    GiveBack(true);
  }
  // After giving back, which clears the description when it was the last load.
  Copy(g_state.startup.szDescription, failure);
  return false;
}

void WinsockLibrary::Release() {
  GiveBack(true);
}

void WinsockLibrary::GiveBack(bool started) {
  if (g_state.load_count == 0 || !g_state.module) return;
  --g_state.load_count;
  g_sockets.WSACancelBlockingCall();
  if (started) g_sockets.WSACleanup();
  // The start-up record describes the library for the loads that remain.
  if (g_state.load_count == 0) {
    ResetStartupData();
    ResetSocketFunctions(g_sockets);
    g_state.module = nullptr;
  }
}

void WinsockLibrary::SetPath(const char* path) {
  Copy(g_state.path, path && *path ? path : kDefaultPath);
}

const char* WinsockLibrary::Path() {
  if (g_state.module) {
    char name[kMaxPath + 1];
    const DWORD n = GetModuleFileNameA(g_state.module, name, sizeof name);
    if (n > 0) {
      name[std::min<DWORD>(n, kMaxPath)] = '\0';
      Copy(g_state.path, name);
    }
  }
  return g_state.path;
}

const char* WinsockLibrary::Description() {
  return g_state.startup.szDescription;
}
const char* WinsockLibrary::Status() {
  return g_state.startup.szSystemStatus;
}
int WinsockLibrary::MaxSockets() {
  return g_state.startup.iMaxSockets;
}
int WinsockLibrary::MaxDatagramSize() {
  return g_state.startup.iMaxUdpDg;
}
unsigned WinsockLibrary::LoadCount() {
  return g_state.load_count;
}
bool WinsockLibrary::WindowClassRegistered() {
  return g_state.window_class_registered;
}
void WinsockLibrary::SetWindowClassRegistered(bool registered) {
  g_state.window_class_registered = registered;
}

}  // namespace marlet
