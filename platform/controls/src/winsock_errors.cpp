#include <algorithm>
#include <array>
#include <string>

#include "controls/winsock.h"

namespace controls {
namespace {

struct ErrorText {
  int number;
  const char* text;
};

// The descriptions the platform's sockets control gives for its error numbers, word for word.
constexpr std::array<ErrorText, 38> kErrors{{
    {7, "Out of memory"},
    {380, "The property value is invalid"},
    {383, "The property is read-only"},
    {394, "The property can't be read"},
    {1004, "The operation was canceled"},
    {10004, "The operation was canceled"},
    {10014, "The requested address is a broadcast address, but flag is not set"},
    {10035, "Socket is non-blocking and the specified operation will block"},
    {10036, "A blocking Winsock operation in progress"},
    {10037, "The operation is completed. No blocking operation in progress"},
    {10038, "The descriptor is not a socket"},
    {10040, "The datagram is too large to fit into the buffer and is truncated"},
    {10043, "The specified port is not supported"},
    {10048, "Address in use"},
    {10049, "Address not available from the local machine"},
    {10050, "Network subsystem failed"},
    {10051, "The network cannot be reached from this host at this time"},
    {10052, "Connection has timed out when SO_KEEPALIVE is set"},
    {10053, "Connection is aborted due to timeout or other failure"},
    {10054, "The connection is reset by remote side"},
    {10055, "No buffer space is available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Socket has been shut down"},
    {10060, "Socket has been shut down"},
    {10061, "Connection is forcefully rejected"},
    {10093, "WinsockInit should be called first"},
    {11001, "Authoritative answer: Host not found"},
    {11002, "Non-Authoritative answer: Host not found"},
    {11003, "Nonrecoverable errors"},
    {11004, "Valid name, no data record of requested type"},
    {40006, "Wrong protocol or connection state for the requested transaction or request"},
    {40014, "The argument passed to a function was not in the correct format or in the specified range"},
    {40017, "Successful"},
    {40018, "Unsupported variant type"},
    {40020, "Invalid operation at current state"},
    {40021, "Argument is out of range"},
    {40026, "Wrong protocol for the requested transaction or request"},
}};

}  // namespace

std::string WinsockErrorText(int number) {
  auto it = std::find_if(kErrors.begin(), kErrors.end(),
                         [number](const ErrorText& e) { return e.number == number; });
  return it != kErrors.end() ? it->text : "";
}

}  // namespace controls
