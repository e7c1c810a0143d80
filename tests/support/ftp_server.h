// A real FTP server for tests: pyftpdlib on 127.0.0.1, on a port the system chooses, serving
// a scratch root with the accounts the test gives. Stopped by its process id when the object
// goes; it also dies with the test process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct FtpAccount {
  std::string user;
  std::string password;
  // Home directory relative to the server's root; created if missing.
  std::string home;
  // pyftpdlib's permission letters; the default allows everything.
  std::string perm = "elradfmwMT";
};

struct FtpServerOptions {
  std::vector<FtpAccount> accounts{{"meter", "secret", "", "elradfmwMT"}};
  // Root served; empty: a scratch directory of its own, removed at the end.
  std::filesystem::path root;
  std::string banner = "Test FTP server ready.";
  // Commands the server answers as unknown, e.g. {"EPSV"} or {"MLSD", "MLST"}.
  std::vector<std::string> disabled_commands;
  // Address the server names in its passive replies instead of its own.
  std::string masquerade_address;
  // Bytes per second on data connections in each direction; 0 unlimited.
  int rate_limit = 0;
  // A fixed reply to LIST, whatever the directory holds.
  std::optional<std::string> listing;
  // Seconds of silence after which the server closes a control connection.
  int idle_timeout = 60;
  std::chrono::milliseconds start_wait{10000};
};

class FtpServer {
 public:
  // Starts the server and waits, bounded by options.start_wait, until it listens; throws
  // std::runtime_error (with the server's output) if it does not.
  explicit FtpServer(FtpServerOptions options = {});
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  uint16_t port() const { return port_; }
  // "127.0.0.1:port", the form a host text takes.
  std::string host() const;
  const std::filesystem::path& root() const { return root_; }
  pid_t pid() const { return pid_; }

  // Freezes the server: connections stay open and nothing is answered.
  void Pause();
  void Resume();
  // Ends the server at once (SIGKILL), connections reset; safe to call twice.
  void Kill();
  // What the server wrote to stdout and stderr so far, for failure messages.
  std::string Log() const;

 private:
  void Reap(std::chrono::milliseconds wait);

  FtpServerOptions options_;
  std::filesystem::path scratch_;
  std::filesystem::path root_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace test_support
