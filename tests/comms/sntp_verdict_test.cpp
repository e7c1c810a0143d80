#include "comms/sntp_verdict.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t kEraToUnix = 2208988800ull;

// A reply with the given first byte, stratum and reference id, stamped receive/transmit at
// `stamp` (NTP seconds with a fraction).
std::string Reply(std::uint8_t first, std::uint8_t stratum, const std::string& refid,
                  double stamp) {
  std::string p(48, '\0');
  p[0] = static_cast<char>(first);
  p[1] = static_cast<char>(stratum);
  for (std::size_t i = 0; i < 4 && i < refid.size(); ++i) p[12 + i] = refid[i];
  auto seconds = static_cast<std::uint64_t>(stamp);
  auto fraction = static_cast<std::uint64_t>((stamp - static_cast<double>(seconds)) * 4294967296.0);
  std::uint64_t v = (seconds << 32) | fraction;
  for (std::size_t at : {32u, 40u}) {
    for (std::size_t i = 0; i < 8; ++i) p[at + i] = static_cast<char>(v >> (56 - 8 * i));
  }
  return p;
}

TEST(SntpVerdict, ReadsStratumLeapOffsetAndKissCode) {
  const comms::SystemTime sent{std::chrono::seconds(1'765'190'000)};
  const double t1 = 1'765'190'000.0 + kEraToUnix;
  struct Case {
    std::string reply;
    comms::SystemTime received;
    std::string verdict;
  } cases[] = {
      {Reply(0x24, 2, "GPS", t1 + 2.5), sent, "Synchronised: stratum 2, leap 0 (no warning), offset +2.500 s"},
      // Half the round trip is the way out: a server right on time shows no offset.
      {Reply(0x24, 3, "", t1 + 0.1), sent + 200ms,
       "Synchronised: stratum 3, leap 0 (no warning), offset +0.000 s"},
      {Reply(0x64, 1, "PPS", t1 - 0.25), sent,
       "Synchronised: stratum 1, leap 1 (last minute of the day has 61 seconds), offset -0.250 s"},
      {Reply(0xE4, 16, "", t1), sent,
       "Not synchronised: stratum 16, leap 3 (clock not synchronised), offset +0.000 s"},
      {Reply(0x0C, 10, "", t1 + 1), sent,
       "Synchronised: stratum 10, leap 0 (no warning), offset +1.000 s"},
      {Reply(0xE4, 0, "RATE", 0), sent, "Not synchronised: stratum 0, kiss code RATE"},
      {Reply(0xE4, 0, std::string("\x01\x02\x03\x04", 4), 0), sent,
       "Not synchronised: stratum 0, kiss code 0x01020304"},
      {Reply(0x0B, 2, "", t1), sent, "Not a time reply (48 bytes)"},  // our own request echoed
      {"hello", sent, "Not a time reply (5 bytes)"},
      {"", sent, "Not a time reply (0 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verdict);
    EXPECT_EQ(comms::SntpVerdict(c.reply, sent, c.received), c.verdict);
  }
}

}  // namespace
