// A socket library whose start-up answers as the test asks (environment FAKE_WSASTARTUP: a
// result code, "v2" for a started library of the wrong version, "ok" for 1.1), to walk the
// loader's failure paths, which the real library never takes.
#include <cstdlib>
#include <cstring>

#include "windows.h"
#include "winsock.h"

namespace {

int g_cleanups = 0;

int WINAPI Startup(WORD, LPWSADATA data) {
  const char* how = std::getenv("FAKE_WSASTARTUP");
  if (how && std::strcmp(how, "v2") == 0) {
    data->wVersion = 0x0002;
    data->wHighVersion = 0x0002;
    return 0;
  }
  if (how && std::strcmp(how, "ok") == 0) {
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    return 0;
  }
  return how ? std::atoi(how) : WSASYSNOTREADY;
}
int WINAPI Cleanup() {
  return ++g_cleanups, 0;
}
int WINAPI CancelBlockingCall() {
  return 0;
}
int WINAPI LastError() {
  return WSAEINVAL;
}
int WINAPI CleanupCount() {
  return g_cleanups;
}

}  // namespace

WIN32_API const WIN32_EXPORT Win32ExportTable[] = {
    {WSOCK32_ORD_WSAGETLASTERROR, "WSAGetLastError", win32::AsFarProc(&LastError)},
    {WSOCK32_ORD_WSACANCELBLOCKINGCALL, "WSACancelBlockingCall",
     win32::AsFarProc(&CancelBlockingCall)},
    {WSOCK32_ORD_WSASTARTUP, "WSAStartup", win32::AsFarProc(&Startup)},
    {WSOCK32_ORD_WSACLEANUP, "WSACleanup", win32::AsFarProc(&Cleanup)},
    {999, "FakeCleanupCount", win32::AsFarProc(&CleanupCount)},
    {0, nullptr, nullptr},
};
