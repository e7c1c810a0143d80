// A meter's debug-trail port, simulated: what it answers to a "SendData" request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace metersim {

struct Options {
  std::string address = "127.0.0.1";
  uint16_t port = 12345;  // 0: any free port (printed at start)
  int count = 3;          // trace lines per answer
  int per_datagram = 0;   // lines per datagram; 0: the whole answer in one datagram
  double rate = 0;        // lines per second; 0: as fast as the socket takes them
  bool crlf = false;      // CR LF line endings instead of LF
  bool big = false;       // each answer starts with one datagram of kBigSize bytes
  bool silent = false;    // receive and count requests, never answer
  double stream = 0;      // seconds of continuous trace after a request (0: one answer)
  double duration = 0;    // seconds until the simulator stops by itself (0: until signalled)
};

// Larger than the debug window's 2048-byte receive buffer.
inline constexpr std::size_t kBigSize = 3000;
inline constexpr char kRequest[] = "SendData";

// The options, or the message to show for a bad command line.
struct Parsed {
  std::optional<Options> options;
  std::string error;
};
Parsed ParseOptions(const std::vector<std::string>& args);
std::string Usage();

// Trace line `sequence` with its line ending.
std::string TraceLine(uint64_t sequence, bool crlf);
// Packs lines first..first+count-1 into datagrams of `per_datagram` lines (0: one datagram).
std::vector<std::string> Datagrams(uint64_t first, int count, int per_datagram, bool crlf);
// A datagram of exactly kBigSize bytes made of whole trace lines and filler.
std::string BigDatagram(bool crlf);

}  // namespace metersim
