#include "comms/sntp_verdict.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace comms {
namespace {

constexpr std::size_t kPacketSize = 48;
constexpr int kModeServer = 4;
constexpr int kModeBroadcast = 5;
// Seconds from the NTP era's start (1900) to the Unix epoch.
constexpr double kEraToUnix = 2208988800.0;

double Timestamp(const std::string& p, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned char>(p[at + i]);
  return static_cast<double>(v >> 32) + static_cast<double>(v & 0xffffffffu) / 4294967296.0;
}

double Seconds(SystemTime t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count() + kEraToUnix;
}

const char* LeapMeaning(int leap) {
  switch (leap) {
    case 0:
      return "no warning";
    case 1:
      return "last minute of the day has 61 seconds";
    case 2:
      return "last minute of the day has 59 seconds";
    default:
      return "clock not synchronised";
  }
}

// A kiss code is four printable ASCII letters; anything else is shown in hexadecimal.
std::string KissCode(const std::string& p) {
  std::string code = p.substr(12, 4);
  bool text = true;
  for (char c : code) text = text && std::isprint(static_cast<unsigned char>(c)) != 0;
  while (text && !code.empty() && code.back() == ' ') code.pop_back();
  if (text && !code.empty()) return code;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%02X%02X%02X%02X", static_cast<unsigned char>(p[12]),
                static_cast<unsigned char>(p[13]), static_cast<unsigned char>(p[14]),
                static_cast<unsigned char>(p[15]));
  return hex;
}

}  // namespace

std::string SntpVerdict(const std::string& reply, SystemTime sent, SystemTime received) {
  const int mode = reply.size() >= kPacketSize ? static_cast<unsigned char>(reply[0]) & 7 : 0;
  if (mode != kModeServer && mode != kModeBroadcast) {
    return "Not a time reply (" + std::to_string(reply.size()) + " bytes)";
  }
  const int leap = static_cast<unsigned char>(reply[0]) >> 6;
  const int stratum = static_cast<unsigned char>(reply[1]);
  if (stratum == 0) {
    return "Not synchronised: stratum 0, kiss code " + KissCode(reply);
  }
  // The server stamps when it received (T2) and sent (T3); the request carries no time of
  // its own, so the workstation's clock gives T1 and T4.
  const double t1 = Seconds(sent);
  const double t4 = Seconds(received);
  const double t2 = Timestamp(reply, 32);
  const double t3 = Timestamp(reply, 40);
  const double offset = ((t2 - t1) + (t3 - t4)) / 2;
  char offset_text[48];
  double shown = std::round(offset * 1000) / 1000;
  if (shown == 0) shown = 0;  // never "-0.000"
  std::snprintf(offset_text, sizeof offset_text, "%+.3f s", shown);
  const bool synchronised = leap != 3 && stratum < 16;
  return std::string(synchronised ? "Synchronised" : "Not synchronised") + ": stratum " +
         std::to_string(stratum) + ", leap " + std::to_string(leap) + " (" + LeapMeaning(leap) +
         "), offset " + offset_text;
}

}  // namespace comms
