// Upload and download of one large file through the FTP client control against the curl
// command line, the same loopback FTP server for both, rounds alternating which goes first.
// Each timing covers connecting, logging on, the transfer and logging off, for both sides.
//   ftp_bench [MiB] [rounds]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "controls/ftp_client.h"
#include "forms/runtime_error.h"
#include "ftp_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void MakeFile(const fs::path& p, size_t mib) {
  std::mt19937_64 gen(42);
  std::vector<uint64_t> block(1024 * 1024 / sizeof(uint64_t));
  std::ofstream out(p, std::ios::binary);
  for (size_t i = 0; i < mib; ++i) {
    for (auto& v : block) v = gen();
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(1 << 20));
  }
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  if (fs::file_size(a) != fs::file_size(b)) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> bx(1 << 20), by(1 << 20);
  while (x && y) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() || !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin()))
      return false;
  }
  return true;
}

double Curl(std::vector<std::string> args) {
  args.insert(args.begin(), {"curl", "-s", "-S", "--fail"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename F>
double Control(const test_support::FtpServer& server, F&& transfer) {
  const auto start = Clock::now();
  try {
    controls::FtpClient c;
    c.SetRemoteHost(server.host());
    c.SetUser("meter");
    c.SetPassword("secret");
    c.SetTransferMode(controls::FtpClient::kModeBinary);
    c.LogOn();
    transfer(c);
    c.LogOff();
  } catch (const forms::RuntimeError& e) {
    std::fprintf(stderr, "control: %d %s\n", e.Number(), e.what());
    return -1;
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  test_support::FtpServer server;
  const fs::path local = server.root().parent_path() / "local";
  fs::create_directories(local);
  const fs::path source = local / "source.bin";
  MakeFile(source, mib);
  const std::string url = "ftp://meter:secret@" + server.host() + "/";

  std::vector<double> up_control, up_curl, down_control, down_curl;
  for (int r = 0; r < rounds; ++r) {
    auto control_up = [&] {
      return Control(server, [&](controls::FtpClient& c) {
        c.SetLocalFile(source.string());
        c.SetRemoteFile("control.bin");
        c.Upload();
      });
    };
    auto curl_up = [&] { return Curl({"-T", source.string(), url + "curl.bin"}); };
    auto control_down = [&] {
      return Control(server, [&](controls::FtpClient& c) {
        c.SetRemoteFile("control.bin");
        c.SetLocalFile((local / "control.down").string());
        c.Download();
      });
    };
    auto curl_down = [&] { return Curl({"-o", (local / "curl.down").string(), url + "curl.bin"}); };
    const bool control_first = r % 2 == 0;
    auto pair = [&](auto& a, auto& b, std::vector<double>& ta, std::vector<double>& tb) {
      if (control_first) {
        ta.push_back(a());
        tb.push_back(b());
      } else {
        tb.push_back(b());
        ta.push_back(a());
      }
    };
    pair(control_up, curl_up, up_control, up_curl);
    pair(control_down, curl_down, down_control, down_curl);
    for (const char* name : {"control.bin", "curl.bin"})
      if (!SameBytes(source, server.root() / name)) return std::fprintf(stderr, "%s differs\n", name), 1;
    for (const char* name : {"control.down", "curl.down"})
      if (!SameBytes(source, local / name)) return std::fprintf(stderr, "%s differs\n", name), 1;
  }
  for (auto* v : {&up_control, &up_curl, &down_control, &down_curl})
    if (std::any_of(v->begin(), v->end(), [](double t) { return t < 0; })) return 1;

  auto mbps = [&](double seconds) { return static_cast<double>(mib) / seconds; };
  std::printf("%zu MiB, %d rounds, loopback pyftpdlib; median MiB/s (best)\n", mib, rounds);
  auto row = [&](const char* what, const std::vector<double>& control, const std::vector<double>& curl) {
    double c = mbps(Median(control)), k = mbps(Median(curl));
    std::printf("%-8s control %7.1f (%7.1f)   curl %7.1f (%7.1f)   ratio %.2f\n", what, c,
                mbps(*std::min_element(control.begin(), control.end())), k,
                mbps(*std::min_element(curl.begin(), curl.end())), c / k);
  };
  row("upload", up_control, up_curl);
  row("download", down_control, down_curl);
  return 0;
}
