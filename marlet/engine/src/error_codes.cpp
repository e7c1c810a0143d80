#include "marlet/error_codes.h"

#include <array>

#include "wsaerror.h"

namespace marlet {
namespace {

struct Row {
  Code code;
  const char* text;
};

constexpr std::array kRules{
    Row{kAlreadyActive, "Marlet is already Active."},
    Row{kLocalPortWhileActive, "You cannot change the LocalPort while the control is Active."},
    Row{kLocalHostWhileActive, "Cannot change LocalHost while the control is Active."},
    Row{kNotActive, "The control must be Active for this operation."},
    Row{kMaxPacketSizeWhileActive, "Cannot change MaxPacketSize while the control is Active."},
    Row{kRemoteHostWhileConnected,
        "Cannot change RemoteHost when UseConnection is set and the control is Active."},
    Row{kRemotePortWhileConnected,
        "Cannot change RemotePort when UseConnection is set and the control is Active."},
    Row{kRemotePortZero,
        "RemotePort can't be zero when UseConnection is set. Please specify a valid service "
        "port number."},
    Row{kUseConnectionWhileActive,
        "Cannot change UseConnection option while the control is Active."},
};

// Searched from the first row; the row of code 0 ends it. The odd spellings are the texts
// that hosts already show and match on.
constexpr Row kSocketErrors[] = {
    {WSAEINTR, "Interrupted system call"},
    {WSAEBADF, "Bad file number"},
    {WSAEACCES, "Access denied"},
    {WSAEFAULT, "Bad address"},
    {WSAEINVAL, "Invalid argument"},
    {WSAEMFILE, "Too many open files"},
    {WSAEWOULDBLOCK, "Operation would block"},
    {WSAEINPROGRESS, "Operation now in progress"},
    {WSAEALREADY, "Operation already in progress"},
    {WSAENOTSOCK, "Socket operation on non-socket"},
    {WSAEDESTADDRREQ, "Destination address required"},
    {WSAEMSGSIZE, "Message too long"},
    {WSAEPROTOTYPE, "Protocol wrong type for socket"},
    {WSAENOPROTOOPT, "Bad protocol option"},
    {WSAEPROTONOSUPPORT, "Protocol not supported"},
    {WSAESOCKTNOSUPPORT, "Socket type not supported"},
    {WSAEOPNOTSUPP, "Operation not supported on socket"},
    {WSAEPFNOSUPPORT, "Protocol family not supported"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol family"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Can't assign requested address"},
    {WSAENETDOWN, "Network is down"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAENETRESET, "Net dropped connection or reset"},
    {WSAECONNABORTED, "Software caused connection abort"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAEISCONN, "Socket is already connected"},
    {WSAENOTCONN, "Socket is not connected"},
    {WSAESHUTDOWN, "Can't send after socket shutdown"},
    {WSAETOOMANYREFS, "Too many references, can't splice"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAECONNREFUSED, "Connection refused"},
    {WSAELOOP, "Too many levels of symbolic links"},
    {WSAENAMETOOLONG, "File name too long"},
    {WSAEHOSTDOWN, "Host is down"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENOTEMPTY, "Directory not empt"},
    {WSAEPROCLIM, "Too many processes"},
    {WSAEUSERS, "Too many users"},
    {WSAEDQUOT, "Disc Quota Exceeded"},
    {WSAESTALE, "Stale NFS file handle"},
    {WSAEREMOTE, "Too many levels of remote in path"},
    {WSASYSNOTREADY, "Network subsystem is unavailable"},
    {WSAVERNOTSUPPORTED, "WINSOCK DLL Version out of range"},
    {WSANOTINITIALISED, "Winsock not loaded yet (WSANOTINITIALISED)"},
    {WSAHOST_NOT_FOUND, "Host not found"},
    {WSATRY_AGAIN, "Non-authoritative 'Host not found' (try again or check DNS setup)"},
    {WSANO_RECOVERY, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP"},
    {WSANO_DATA, "Valid name, no data record (check DNS setup)"},
    {0, nullptr},
};

}  // namespace

const char* RuleText(Code code) {
  for (const Row& row : kRules) {
    if (row.code == code) return row.text;
  }
  return nullptr;
}

const char* SocketErrorText(Code code) {
  const Row* row = kSocketErrors;
  while (row->code != 0 && row->code != code) ++row;
  return row->text;
}

std::string CodeText(Code code) {
  if (code == kOutOfMemory) return "Out of memory.";
  const char* text = SocketErrorText(code);
  return "[" + std::to_string(code) + "] " + (text ? text : "(no description available)");
}

}  // namespace marlet
