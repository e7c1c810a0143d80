// What the FTP window tests need to act in the middle of a transfer.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "controls/ftp_client.h"
#include "ftp_server.h"

namespace ftptest {

// A file this large through a server this slow is still moving when a test acts.
inline constexpr std::size_t kSlowFileSize = 16 * 1024 * 1024;
inline test_support::FtpServerOptions Throttled() {
  test_support::FtpServerOptions o;
  o.rate_limit = 256 * 1024;
  return o;
}

// Runs `act` once, at the first transfer event that reports bytes, after the window's own
// handler has seen it.
inline void OnFirstBytes(controls::FtpClient& ftp, std::function<void()> act) {
  auto forward = ftp.events().Transfer;
  auto done = std::make_shared<bool>(false);
  ftp.events().Transfer = [forward, done, act = std::move(act)](int32_t bytes) {
    if (forward) forward(bytes);
    if (bytes > 0 && !*done) {
      *done = true;
      act();
    }
  };
}

}  // namespace ftptest
