// The launcher against a raw control connection: what the control tests rely on.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ftp_server.h"

namespace {

using namespace std::chrono_literals;
using test_support::FtpServer;
using test_support::FtpServerOptions;

int Connect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads until `done` says the text is whole, the peer closes, or `wait` passes.
template <typename Done>
std::optional<std::string> ReadUntil(int fd, std::chrono::milliseconds wait, Done done) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!done(got)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
      return std::nullopt;
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return got.empty() ? std::nullopt : std::optional(got);
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

class Session {
 public:
  explicit Session(uint16_t port) : fd_(Connect(port)) {}
  ~Session() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  // One whole reply, multi-line replies included; nullopt if none came in time.
  std::optional<std::string> Reply(std::chrono::milliseconds wait = 5000ms) {
    auto r = ReadUntil(fd_, wait, [](const std::string& s) {
      size_t start = 0;
      for (size_t end; (end = s.find("\r\n", start)) != std::string::npos; start = end + 2)
        if (end - start >= 4 && s[start + 3] == ' ') return true;
      return false;
    });
    return r;
  }
  std::optional<std::string> Ask(const std::string& command,
                                 std::chrono::milliseconds wait = 5000ms) {
    std::string line = command + "\r\n";
    if (write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
      return std::nullopt;
    return Reply(wait);
  }
  std::string Code(const std::string& command) {
    auto r = Ask(command);
    return r ? r->substr(0, 3) : "none";
  }

 private:
  int fd_;
};

bool LogIn(Session& s, const std::string& user, const std::string& password) {
  return s.Reply() && s.Code("USER " + user) == "331" && s.Code("PASS " + password) == "230";
}

TEST(FtpServer, AccountsAndOptionsShapeTheReplies) {
  struct Case {
    const char* what;
    FtpServerOptions options;
    std::string user, password, command, code;
  };
  FtpServerOptions two;
  two.accounts = {{"a", "pa", "", "elr"}, {"b", "p:\"b\\", "sub/dir", "elr"}};
  FtpServerOptions no_epsv;
  no_epsv.disabled_commands = {"EPSV"};
  FtpServerOptions no_mlsd;
  no_mlsd.disabled_commands = {"MLSD", "MLST"};
  const Case cases[] = {
      {"first account", two, "a", "pa", "PWD", "257"},
      {"password with quotes", two, "b", "p:\"b\\", "PWD", "257"},
      {"extended passive on by default", {}, "meter", "secret", "EPSV", "229"},
      {"extended passive disabled", no_epsv, "meter", "secret", "EPSV", "500"},
      {"plain passive still there", no_epsv, "meter", "secret", "PASV", "227"},
      {"listing facts disabled", no_mlsd, "meter", "secret", "MLSD", "500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FtpServer server(c.options);
    Session s(server.port());
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(LogIn(s, c.user, c.password)) << server.Log();
    EXPECT_EQ(s.Code(c.command), c.code);
  }
}

TEST(FtpServer, RefusesWrongPasswordsAndUnknownUsers) {
  FtpServer server;
  for (auto [user, password] : {std::pair{"meter", "wrong"}, {"nobody", "secret"}}) {
    Session s(server.port());
    ASSERT_TRUE(s.Reply());
    s.Ask(std::string("USER ") + user);
    EXPECT_EQ(s.Code(std::string("PASS ") + password), "530") << user;
  }
}

TEST(FtpServer, HomeIsUnderTheRootAndMasqueradeNamesThePassiveAddress) {
  FtpServerOptions o;
  o.accounts = {{"meter", "secret", "home", "elradfmw"}};
  o.masquerade_address = "0.0.0.0";
  FtpServer server(o);
  std::ofstream(server.root() / "home" / "f.txt") << "x";
  Session s(server.port());
  ASSERT_TRUE(LogIn(s, "meter", "secret"));
  EXPECT_EQ(s.Code("TYPE I"), "200");
  EXPECT_EQ(s.Code("SIZE f.txt"), "213");
  auto pasv = s.Ask("PASV");
  ASSERT_TRUE(pasv);
  EXPECT_NE(pasv->find("(0,0,0,"), std::string::npos) << *pasv;
}

TEST(FtpServer, FixedListingIsSentAsGiven) {
  FtpServerOptions o;
  o.listing = "-rw-r--r-- 1 u g 5 Jan 01 2020 ../x\r\n";
  FtpServer server(o);
  Session s(server.port());
  ASSERT_TRUE(LogIn(s, "meter", "secret"));
  auto epsv = s.Ask("EPSV");
  ASSERT_TRUE(epsv && epsv->starts_with("229")) << epsv.value_or("none");
  auto bar = epsv->find("|||");
  int data = Connect(static_cast<uint16_t>(std::stoi(epsv->substr(bar + 3))));
  ASSERT_GE(data, 0);
  EXPECT_TRUE(s.Ask("LIST"));
  auto text = ReadUntil(data, 5000ms, [](const std::string&) { return false; });
  close(data);
  EXPECT_EQ(text.value_or(""), *o.listing);
}

TEST(FtpServer, PauseSilencesKillCloses) {
  FtpServer server;
  Session s(server.port());
  ASSERT_TRUE(LogIn(s, "meter", "secret"));
  server.Pause();
  EXPECT_FALSE(s.Ask("NOOP", 300ms));
  server.Resume();
  auto late = s.Reply();
  ASSERT_TRUE(late);
  EXPECT_TRUE(late->starts_with("200")) << *late;
  server.Kill();
  EXPECT_FALSE(s.Ask("NOOP", 3000ms));
  EXPECT_LT(Connect(server.port()), 0);
}

TEST(FtpServer, DiesWithAStartupFailureInsteadOfHanging) {
  FtpServerOptions o;
  o.accounts = {{"meter", "secret", "", "not-a-permission"}};
  o.start_wait = 5000ms;
  EXPECT_THROW(FtpServer{o}, std::runtime_error);
}

}  // namespace
