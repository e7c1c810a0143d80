#include "ftp_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonConfig(const FtpServerOptions& o, const std::filesystem::path& root) {
  std::ostringstream j;
  j << "{\"accounts\": [";
  for (size_t i = 0; i < o.accounts.size(); ++i) {
    const FtpAccount& a = o.accounts[i];
    j << (i ? ", " : "") << "{\"user\": " << JsonString(a.user)
      << ", \"password\": " << JsonString(a.password)
      << ", \"home\": " << JsonString((root / a.home).string())
      << ", \"perm\": " << JsonString(a.perm) << "}";
  }
  j << "], \"disabled_commands\": [";
  for (size_t i = 0; i < o.disabled_commands.size(); ++i)
    j << (i ? ", " : "") << JsonString(o.disabled_commands[i]);
  j << "], \"banner\": " << JsonString(o.banner)
    << ", \"masquerade_address\": " << JsonString(o.masquerade_address)
    << ", \"rate_limit\": " << o.rate_limit << ", \"idle_timeout\": " << o.idle_timeout;
  if (o.listing) j << ", \"listing\": " << JsonString(*o.listing);
  j << "}\n";
  return j.str();
}

std::filesystem::path MakeScratch() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ftp-server-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("FtpServer: mkdtemp failed");
  return pattern;
}

// Reads "port N\n" from the server's stdout, at most until `deadline`.
uint16_t ReadPort(int fd, Clock::time_point deadline) {
  std::string got;
  while (got.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return 0;
    char buf[64];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    got.append(buf, static_cast<size_t>(n));
  }
  unsigned port = 0;
  if (std::sscanf(got.c_str(), "port %u", &port) != 1 || port == 0 || port > 65535) return 0;
  return static_cast<uint16_t>(port);
}

}  // namespace

FtpServer::FtpServer(FtpServerOptions options) : options_(std::move(options)) {
  scratch_ = MakeScratch();
  root_ = options_.root.empty() ? scratch_ / "root" : options_.root;
  for (const FtpAccount& a : options_.accounts)
    std::filesystem::create_directories(root_ / a.home);
  const auto config = scratch_ / "config.json";
  std::ofstream(config) << JsonConfig(options_, root_);

  // Everything the child needs is made before fork: only exec-safe calls after it.
  std::string python = FTP_SERVER_PYTHON, script = FTP_SERVER_SCRIPT, cfg = config.string();
  char* argv[] = {python.data(), script.data(), cfg.data(), nullptr};
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("FtpServer: pipe failed");
  int log = open((scratch_ / "server.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                 0600);
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(out[1], STDOUT_FILENO);
    if (log >= 0) dup2(log, STDERR_FILENO);
    execv(argv[0], argv);
    _exit(127);
  }
  close(out[1]);
  if (log >= 0) close(log);
  if (pid_ < 0) {
    close(out[0]);
    throw std::runtime_error("FtpServer: fork failed");
  }
  port_ = ReadPort(out[0], Clock::now() + options_.start_wait);
  close(out[0]);
  if (port_ == 0) {
    std::string log_text = Log();
    Kill();
    std::filesystem::remove_all(scratch_);
    throw std::runtime_error("FtpServer did not start:\n" + log_text);
  }
}

FtpServer::~FtpServer() {
  if (pid_ > 0) {
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    Reap(std::chrono::milliseconds(3000));
  }
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

std::string FtpServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

void FtpServer::Pause() {
  if (pid_ > 0) kill(pid_, SIGSTOP);
}

void FtpServer::Resume() {
  if (pid_ > 0) kill(pid_, SIGCONT);
}

void FtpServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  Reap(std::chrono::milliseconds(3000));
}

void FtpServer::Reap(std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string FtpServer::Log() const {
  std::ifstream in(scratch_ / "server.log", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace test_support
