// The one-line verdict beside the SNTP lamp: what a time server's reply says about its clock,
// so a technician can tell "answers" from "answers but is not synchronised".
#pragma once

#include <chrono>
#include <string>

namespace comms {

using SystemTime = std::chrono::system_clock::time_point;

// `reply` as received; `sent` and `received` are the workstation's clock when the request left
// and the reply arrived. The offset is the server's clock minus the workstation's.
std::string SntpVerdict(const std::string& reply, SystemTime sent, SystemTime received);

}  // namespace comms
