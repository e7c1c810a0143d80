#include "marlet/socket_function_table.h"

#include <type_traits>

#include "marlet/error_codes.h"

namespace marlet {
namespace {

// What a function of the library answers while none is loaded: failure, no result, or 0.
template <typename R>
R FailValue() {
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else if constexpr (std::is_same_v<R, SOCKET>) {
    return INVALID_SOCKET;
  } else if constexpr (std::is_same_v<R, int>) {
    return SOCKET_ERROR;
  } else {
    return R{};  // byte-order conversions
  }
}

template <typename Signature>
struct Placeholder;

template <typename R, typename... Args>
struct Placeholder<R WINAPI(Args...)> {
  static R WINAPI Fail(Args...) {
    if constexpr (!std::is_void_v<R>) return FailValue<R>();
  }
};

template <typename Entry>
constexpr void SetPlaceholder(Entry& entry) {
  entry = &Placeholder<std::remove_pointer_t<Entry>>::Fail;
}

// The answers that differ from the general rule.
ULONG WINAPI NoAddress(const char*) {
  return INADDR_NONE;
}
BOOL WINAPI NotBlocking() {
  return FALSE;
}
int WINAPI NotLoaded() {
  return kNotInitialised;
}
int WINAPI SubsystemUnavailable(WORD, LPWSADATA) {
  return WSASYSNOTREADY;
}
int WINAPI NotInSet(SOCKET, WS_fd_set*) {
  return 0;
}

constexpr SocketFunctionTable Placeholders() {
  SocketFunctionTable table{};
#define MARLET_PLACEHOLDER(ordinal, name, type) SetPlaceholder(table.name);
  WSOCK32_ENTRY_POINTS(MARLET_PLACEHOLDER)
#undef MARLET_PLACEHOLDER
  table.inet_addr = &NoAddress;
  table.WSAIsBlocking = &NotBlocking;
  table.WSAGetLastError = &NotLoaded;
  table.WSAStartup = &SubsystemUnavailable;
  table.__WSAFDIsSet = &NotInSet;
  return table;
}

}  // namespace

// Constant-initialised, so it is valid before any constructor of the process runs.
constinit SocketFunctionTable g_sockets = Placeholders();

void ResetSocketFunctions(SocketFunctionTable& table) {
  table = Placeholders();
}

void ResolveSocketFunctions(SocketFunctionTable& table, HMODULE module) {
  // Function pointers of different types convert through void(*)(), which matches any.
#define MARLET_RESOLVE(ordinal, name, type)                               \
  if (FARPROC p = GetProcAddress(module, MAKEINTRESOURCEA(ordinal))) {    \
    table.name = reinterpret_cast<type>(reinterpret_cast<void (*)()>(p)); \
  }
  WSOCK32_ENTRY_POINTS(MARLET_RESOLVE)
#undef MARLET_RESOLVE
}

}  // namespace marlet
