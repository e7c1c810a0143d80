// The FTP client control against a real FTP server on 127.0.0.1 that each test starts.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/ftp_client.h"
#include "controls/idle_hook.h"
#include "forms/runtime_error.h"
#include "ftp_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using controls::FtpClient;
using forms::RuntimeError;
using test_support::FtpServer;
using test_support::FtpServerOptions;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

// Everything the control reports, in order, as one text per event.
struct Recorder {
  std::vector<std::string> log;
  std::vector<int32_t> transfers;
  std::vector<int32_t> selector_during_transfer;
  std::function<void(int32_t)> on_transfer;

  explicit Recorder(FtpClient& c) {
    auto& e = c.events();
    e.ProtocolTrail = [this](int16_t dir, const std::string& line) {
      log.push_back(std::to_string(dir) + " " + line);
    };
    e.Error = [this](int16_t code, const std::string& text) {
      log.push_back("error " + std::to_string(code) + " " + text);
    };
    e.Transfer = [this, &c](int32_t bytes) {
      transfers.push_back(bytes);
      selector_during_transfer.push_back(c.CommandSelector());
      if (on_transfer) on_transfer(bytes);
    };
    e.DirEntry = [this](const std::string& name, bool dir, int32_t size) {
      log.push_back("entry " + name + (dir ? " <dir> " : " ") + std::to_string(size));
    };
    e.TransferStart = [this] { log.push_back("start"); };
    e.TransferEnd = [this] { log.push_back("end"); };
  }
  size_t Count(const std::string& line) const { return std::count(log.begin(), log.end(), line); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> out;
    for (const auto& l : log)
      if (l.starts_with("entry ")) out.push_back(l.substr(6));
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string Text() const {
    std::string out;
    for (const auto& l : log) out += l + "\n";
    return out;
  }
};

// A scratch directory for the local side of transfers.
struct LocalDir {
  fs::path path;
  LocalDir() {
    std::string t = (fs::temp_directory_path() / "ftp-local-XXXXXX").string();
    path = mkdtemp(t.data());
  }
  ~LocalDir() { fs::remove_all(path); }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

void Connect(FtpClient& c, const FtpServer& server, const std::string& user = "meter",
             const std::string& password = "secret") {
  c.SetRemoteHost(server.host());
  c.SetUser(user);
  c.SetPassword(password);
  c.SetTimeout(5);
  c.SetCommandSelector(FtpClient::kCommandLogOn);
}

template <typename F>
RuntimeError Failure(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e;
  }
  ADD_FAILURE() << "no run-time failure";
  return RuntimeError(0, "");
}

TEST(FtpClient, LogOnGoodAndRefused) {
  FtpServer server;
  struct Case {
    const char* user;
    const char* password;
    int error;  // 0: accepted
  };
  for (Case c : {Case{"meter", "secret", 0}, Case{"meter", "wrong", 12015},
                 Case{"nobody", "secret", 12015}}) {
    SCOPED_TRACE(c.user + std::string("/") + c.password);
    FtpClient client;
    Recorder rec(client);
    if (c.error == 0) {
      Connect(client, server, c.user, c.password);
      EXPECT_TRUE(client.Connected());
      EXPECT_EQ(client.RemotePath(), "/");
      // The notice follows the server's acceptance, whatever its words.
      auto accepted = std::find(rec.log.begin(), rec.log.end(), "1 230 Login successful.");
      ASSERT_NE(accepted, rec.log.end()) << rec.Text();
      EXPECT_EQ(*(accepted + 1), "2 User meter logged in");
      EXPECT_EQ(rec.Count("0 PASS ********"), 1u) << "the password never shows in the trail";
    } else {
      auto e = Failure([&] { Connect(client, server, c.user, c.password); });
      EXPECT_EQ(e.Number(), c.error);
      EXPECT_EQ(e.Description(), "Log-in refused: 530 Authentication failed.");
      EXPECT_FALSE(client.Connected());
      EXPECT_EQ(rec.Text().find("logged in"), std::string::npos) << rec.Text();
    }
  }
}

TEST(FtpClient, HostsThatCannotBeReached) {
  uint16_t closed_port;
  {
    FtpServer gone;
    closed_port = gone.port();
  }
  struct Case {
    std::string host;
    int error;
    std::string text;
  };
  const std::string long_label(70, 'a');
  for (const Case& c : {Case{"127.0.0.1:" + std::to_string(closed_port), 12029,
                             "Cannot connect to 127.0.0.1:" + std::to_string(closed_port)},
                        Case{"no such host", 12007, "Server not found: no such host"},
                        Case{long_label + ".invalid", 12007,
                             "Server not found: " + long_label + ".invalid"},
                        Case{"", 12007, "Server not found: "}}) {
    SCOPED_TRACE(c.host);
    FtpClient client;
    client.SetRemoteHost(c.host);
    client.SetTimeout(5);
    auto e = Failure([&] { client.LogOn(); });
    EXPECT_EQ(e.Number(), c.error);
    EXPECT_EQ(e.Description(), c.text);
    EXPECT_FALSE(client.Connected());
  }
}

TEST(FtpClient, LogOffSaysDisconnectedOnceAndLaterCallsFail) {
  FtpServer server;
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  client.SetCommandSelector(FtpClient::kCommandLogOff);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(rec.Count("0 QUIT"), 1u) << rec.Text();
  EXPECT_EQ(rec.Count("2 Disconnected"), 1u) << rec.Text();
  EXPECT_EQ(rec.log.back(), "2 Disconnected");
  auto e = Failure([&] { client.ListDir(); });
  EXPECT_EQ(e.Number(), 12019);
  client.LogOff();  // again: nothing to say
  EXPECT_EQ(rec.Count("2 Disconnected"), 1u);
}

TEST(FtpClient, ServerClosingAnIdleConnectionIsNoticed) {
  FtpServer server;
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  server.Kill();
  // Nobody asks: pumping the thread's queue is enough for the notice to arrive.
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (rec.Count("2 Disconnected") == 0 && std::chrono::steady_clock::now() < deadline)
    controls::PumpQueue(50);
  EXPECT_EQ(rec.Count("2 Disconnected"), 1u) << rec.Text();
  EXPECT_FALSE(client.Connected());
  client.DoEvents();
  EXPECT_EQ(rec.Count("2 Disconnected"), 1u) << rec.Text();
}

TEST(FtpClient, RemotePathIsWhatTheServerSays) {
  FtpServer server;
  fs::create_directories(server.root() / "a b" / "c");
  FtpClient client;
  client.SetRemotePath("/a b");  // before the log-on: where to go right after it
  Connect(client, server);
  EXPECT_EQ(client.RemotePath(), "/a b");
  struct Case {
    const char* set;
    const char* want;
  };
  for (Case c : {Case{"c", "/a b/c"}, Case{"/a b/c/..", "/a b"}, Case{"..", "/"},
                 Case{"a b/c", "/a b/c"}}) {
    client.SetRemotePath(c.set);
    EXPECT_EQ(client.RemotePath(), c.want) << c.set;
  }
  auto e = Failure([&] { client.SetRemotePath("/missing"); });
  EXPECT_EQ(e.Number(), 12003);
  EXPECT_TRUE(e.Description().starts_with("550 ")) << e.Description();
  EXPECT_EQ(client.RemotePath(), "/a b/c");
  EXPECT_TRUE(client.Connected());
}

TEST(FtpClient, ListingsFromEachKindOfServer) {
  struct Case {
    const char* what;
    std::vector<std::string> disabled;
    std::string masquerade;
    bool passive;
  };
  const Case cases[] = {
      {"MLSD", {}, "", true},
      {"LIST in Unix format", {"MLSD", "MLST"}, "", true},
      {"plain passive naming an unroutable address", {"EPSV"}, "0.0.0.0", true},
      {"active mode", {}, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FtpServerOptions o;
    o.disabled_commands = c.disabled;
    o.masquerade_address = c.masquerade;
    FtpServer server(o);
    fs::create_directories(server.root() / "sub dir");
    WriteFile(server.root() / "name with spaces.txt", "12345");
    WriteFile(server.root() / "empty", "");
    FtpClient client;
    Recorder rec(client);
    client.SetPassive(c.passive);
    Connect(client, server);
    client.ListDir();
    struct stat dir {};
    stat((server.root() / "sub dir").c_str(), &dir);
    EXPECT_EQ(rec.Entries(), (std::vector<std::string>{"empty 0", "name with spaces.txt 5",
                                                        "sub dir <dir> " +
                                                            std::to_string(dir.st_size)}))
        << rec.Text();
  }
}

TEST(FtpClient, HostileListingNamesNeverComeOut) {
  FtpServerOptions o;
  o.disabled_commands = {"MLSD", "MLST"};
  o.listing =
      "-rw-r--r-- 1 u g 5 Jan 15 10:30 ../../outside\r\n"
      "-rw-r--r-- 1 u g 5 Jan 15 10:30 /etc/passwd\r\n"
      "drwxr-xr-x 2 u g 0 Jan 15 10:30 ..\r\n"
      "01-15-20  10:30AM                   7 ..\\up.ini\r\n"
      "01-15-20  10:30AM       <DIR>          Meter Logs\r\n"
      "-rw-r--r-- 1 u g 9 Jan 15 10:30 fine name.txt\r\n";
  FtpServer server(o);
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  client.ListDir();
  EXPECT_EQ(rec.Entries(), (std::vector<std::string>{"Meter Logs <dir> 0", "fine name.txt 9"}));
}

TEST(FtpClient, TransfersByteForByteInEachMode) {
  FtpServer server;
  LocalDir local;
  const std::string binary = RandomBytes(3 * 1024 * 1024 + 17, 7);
  struct Case {
    int32_t mode;
    const char* name;
    std::string bytes;    // uploaded
    std::string stored;   // found on the server (a Unix server keeps text with LF)
    std::string fetched;  // what a download of it gives
  };
  const Case cases[] = {
      {FtpClient::kModeBinary, "fw.bin", binary, binary, binary},
      {FtpClient::kModeAuto, "fw.dat", binary, binary, binary},
      {FtpClient::kModeBinary, "crlf.txt", "a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\n"},
      {FtpClient::kModeBinary, "lf.txt", "a\nb\n", "a\nb\n", "a\nb\n"},
      // ASCII: the network's CRLF lands as is, as on the workstation the files come from.
      {FtpClient::kModeAscii, "crlf.txt", "a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
      {FtpClient::kModeAuto, "crlf.txt", "a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
      {FtpClient::kModeAscii, "lf.txt", "a\nb\n", "a\nb\n", "a\r\nb\r\n"},
  };
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.name);
    rec.log.clear();
    rec.transfers.clear();
    rec.selector_during_transfer.clear();
    client.SetTransferMode(c.mode);
    WriteFile(local.path / "up", c.bytes);
    client.SetLocalFile((local.path / "up").string());
    client.SetRemoteFile(c.name);
    client.Upload();
    EXPECT_EQ(ReadFile(server.root() / c.name), c.stored);
    ASSERT_FALSE(rec.transfers.empty());
    EXPECT_EQ(rec.transfers.back(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_TRUE(std::is_sorted(rec.transfers.begin(), rec.transfers.end()));
    EXPECT_EQ(rec.selector_during_transfer.front(), FtpClient::kCommandUpload);
    EXPECT_EQ(rec.log.front(), "start");
    EXPECT_EQ(rec.log.back(), "end");

    rec.selector_during_transfer.clear();
    client.SetLocalFile((local.path / "down").string());
    client.SetCommandSelector(FtpClient::kCommandDownload);
    EXPECT_EQ(ReadFile(local.path / "down"), c.fetched);
    EXPECT_EQ(rec.selector_during_transfer.front(), FtpClient::kCommandDownload);
    EXPECT_EQ(client.CommandSelector(), FtpClient::kCommandNone);
  }
  EXPECT_EQ(local.Names(), (std::vector<std::string>{"down", "up"})) << "no temporary files left";
}

TEST(FtpClient, RemoteFileOperations) {
  FtpServer server;
  WriteFile(server.root() / "old name.txt", "x");
  FtpClient client;
  Connect(client, server);
  client.SetRemoteFile("new dir");
  client.MakeDir();
  EXPECT_TRUE(fs::is_directory(server.root() / "new dir"));
  client.SetRemoteFile("old name.txt");
  client.SetNewName("new dir/renamed.txt");
  client.Rename();
  EXPECT_EQ(ReadFile(server.root() / "new dir" / "renamed.txt"), "x");
  client.SetRemotePath("new dir");
  client.SetRemoteFile("renamed.txt");
  client.DeleteFile();
  EXPECT_FALSE(fs::exists(server.root() / "new dir" / "renamed.txt"));
  auto e = Failure([&] { client.DeleteFile(); });
  EXPECT_EQ(e.Number(), 12003);
  EXPECT_TRUE(e.Description().starts_with("550 ")) << e.Description();
  client.SetRemoteFile("evil\r\nDELE x");
  EXPECT_EQ(Failure([&] { client.DeleteFile(); }).Number(), 380);
  EXPECT_TRUE(client.Connected());
}

TEST(FtpClient, FailedDownloadKeepsTheLocalFile) {
  struct Case {
    const char* what;
    const char* remote;
    std::function<void(FtpServer&, FtpClient&, Recorder&)> arrange;
    int error;
    size_t disconnects;  // a transfer cut short takes the connection with it
  };
  const std::string big = RandomBytes(4 * 1024 * 1024, 3);
  const Case cases[] = {
      {"missing remote file", "missing.bin", {}, 12003, 0},
      {"server killed during the transfer", "big.bin",
       [](FtpServer& s, FtpClient&, Recorder& r) {
         r.on_transfer = [&s](int32_t) { s.Kill(); };
       },
       12030, 1},
      {"disk full", "big.bin",
       [](FtpServer&, FtpClient&, Recorder&) {
         rlimit small{1024 * 1024, RLIM_INFINITY};
         setrlimit(RLIMIT_FSIZE, &small);
       },
       61, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FtpServerOptions o;
    o.rate_limit = 2 * 1024 * 1024;
    FtpServer server(o);
    WriteFile(server.root() / "big.bin", big);
    LocalDir local;
    WriteFile(local.path / "keep.bin", "precious");
    FtpClient client;
    Recorder rec(client);
    Connect(client, server);
    client.SetRemoteFile(c.remote);
    client.SetLocalFile((local.path / "keep.bin").string());
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    if (c.arrange) c.arrange(server, client, rec);
    auto e = Failure([&] { client.Download(); });
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(e.Number(), c.error) << e.Description() << "\n" << rec.Text();
    EXPECT_EQ(ReadFile(local.path / "keep.bin"), "precious");
    EXPECT_EQ(local.Names(), std::vector<std::string>{"keep.bin"});
    EXPECT_EQ(rec.log.back(), "end") << rec.Text();
    EXPECT_EQ(rec.Count("2 Disconnected"), c.disconnects) << rec.Text();
    EXPECT_EQ(client.Connected(), c.disconnects == 0);
  }
}

TEST(FtpClient, ServerKilledDuringAnUploadEndsPromptly) {
  FtpServerOptions o;
  o.rate_limit = 1024 * 1024;
  FtpServer server(o);
  LocalDir local;
  WriteFile(local.path / "up.bin", RandomBytes(8 * 1024 * 1024, 5));
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  rec.on_transfer = [&](int32_t bytes) {
    if (bytes > 0) server.Kill();
  };
  client.SetLocalFile((local.path / "up.bin").string());
  client.SetRemoteFile("up.bin");
  const auto start = std::chrono::steady_clock::now();
  auto e = Failure([&] { client.Upload(); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(e.Number(), 12030) << e.Description();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(rec.Count("2 Disconnected"), 1u) << rec.Text();
}

TEST(FtpClient, SilentServerEndsWithinTheTimeout) {
  FtpServer server;
  LocalDir local;
  WriteFile(local.path / "f.txt", "x");
  struct Case {
    const char* what;
    std::function<void(FtpClient&)> call;
  };
  const Case cases[] = {
      {"listing", [](FtpClient& c) { c.ListDir(); }},
      {"upload", [](FtpClient& c) { c.Upload(); }},
      {"change directory", [](FtpClient& c) { c.SetRemotePath("/"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FtpClient client;
    Recorder rec(client);
    Connect(client, server);
    client.SetTimeout(2);
    client.SetLocalFile((local.path / "f.txt").string());
    client.SetRemoteFile("f.txt");
    server.Pause();
    const auto start = std::chrono::steady_clock::now();
    auto e = Failure([&] { c.call(client); });
    const auto took = std::chrono::steady_clock::now() - start;
    server.Resume();
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 6s);
    EXPECT_EQ(e.Number(), 12002);
    EXPECT_EQ(e.Description(), "Timeout: the server did not answer within 2 seconds");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(rec.Count("2 Disconnected"), 1u) << rec.Text();
  }
}

TEST(FtpClient, InterruptAndReentryDuringATransfer) {
  FtpServerOptions o;
  o.rate_limit = 1024 * 1024;
  FtpServer server(o);
  WriteFile(server.root() / "big.bin", RandomBytes(4 * 1024 * 1024, 9));
  LocalDir local;
  FtpClient client;
  Recorder rec(client);
  Connect(client, server);
  int busy = 0;
  rec.on_transfer = [&](int32_t bytes) {
    if (bytes == 0) return;
    busy = Failure([&] { client.ListDir(); }).Number();
    client.Interrupt();
  };
  client.SetRemoteFile("big.bin");
  client.SetLocalFile((local.path / "big.bin").string());
  auto e = Failure([&] { client.Download(); });
  EXPECT_EQ(busy, 12110);
  EXPECT_EQ(e.Number(), 12017);
  EXPECT_EQ(e.Description(), "The operation was interrupted");
  EXPECT_TRUE(local.Names().empty());
  EXPECT_EQ(rec.Count("end"), 1u);
}

TEST(FtpClient, InvalidPropertyValues) {
  FtpClient client;
  for (int32_t bad : {-1, 3}) EXPECT_EQ(Failure([&] { client.SetTransferMode(bad); }).Number(), 380);
  for (int32_t bad : {0, 1, 6}) EXPECT_EQ(Failure([&] { client.SetCommandSelector(bad); }).Number(), 380);
  EXPECT_EQ(Failure([&] { client.SetTimeout(0); }).Number(), 380);
  EXPECT_EQ(Failure([&] { client.Download(); }).Number(), 12019);
}

}  // namespace
