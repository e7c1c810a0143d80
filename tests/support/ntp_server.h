// A real NTP server for tests: chronyd serving its own clock ("local stratum") on 127.0.0.1,
// with a configuration of its own in a scratch directory, no upstream servers, no command
// port, and never touching the system clock. Binding port 123 needs root (tests run as root).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "support/scratch_dir.h"

namespace testsupport {

struct NtpServerOptions {
  int port = 123;
  int stratum = 10;
  std::chrono::milliseconds start_wait{10000};
};

class NtpServer {
 public:
  // Starts chronyd and waits, bounded by options.start_wait, until it answers a client
  // request; throws std::runtime_error with its log if it does not.
  explicit NtpServer(NtpServerOptions options = {});
  ~NtpServer();
  NtpServer(const NtpServer&) = delete;
  NtpServer& operator=(const NtpServer&) = delete;

  int port() const { return options_.port; }
  std::string Log() const;

 private:
  bool Answers() const;
  void Stop();

  NtpServerOptions options_;
  ScratchDir dir_{"ntp"};
  pid_t pid_ = -1;
};

}  // namespace testsupport
