#include "ntp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

NtpServer::NtpServer(NtpServerOptions options) : options_(options) {
  const std::string conf = dir_.File("chrony.conf");
  std::ofstream(conf) << "port " << options_.port << "\n"
                      << "bindaddress 127.0.0.1\n"
                      << "allow 127.0.0.1\n"
                      << "local stratum " << options_.stratum << "\n"
                      << "cmdport 0\n"
                      << "pidfile " << dir_.File("chronyd.pid") << "\n";
  const std::string log = dir_.File("chronyd.log");
  // Foreground (-d), never the system clock (-x), keeps root for the scratch files (-u root).
  const char* argv[] = {"/usr/sbin/chronyd", "-f", conf.c_str(), "-d", "-x", "-u", "root", nullptr};
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  if (pid_ < 0) throw std::runtime_error("NtpServer: fork failed");
  const auto end = std::chrono::steady_clock::now() + options_.start_wait;
  while (!Answers()) {
    if (std::chrono::steady_clock::now() > end || waitpid(pid_, nullptr, WNOHANG) == pid_) {
      std::string text = Log();
      Stop();
      throw std::runtime_error("NtpServer: chronyd did not answer on 127.0.0.1:" +
                               std::to_string(options_.port) + "\n" + text);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

NtpServer::~NtpServer() { Stop(); }

void NtpServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

bool NtpServer::Answers() const {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(options_.port));
  char request[48] = {0x0B};
  sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  pollfd p{fd, POLLIN, 0};
  char reply[64];
  bool ok = poll(&p, 1, 100) > 0 && recv(fd, reply, sizeof reply, 0) >= 48;
  close(fd);
  return ok;
}

std::string NtpServer::Log() const {
  std::ifstream in(dir_.File("chronyd.log"));
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace testsupport
