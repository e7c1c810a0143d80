// Start-up of the Debugger against a bare Widgets window: process start to the main window
// first exposed, and peak memory, measured alternately in one run.
//   startup_bench [runs]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
  double ms = 0;
  long peak_kb = 0;
};

std::string BinDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe(buf, static_cast<std::size_t>(n > 0 ? n : 0));
  return exe.substr(0, exe.rfind('/'));
}

bool RunOnce(const std::string& exe, const std::string& scratch, Sample& out) {
  int pipe_fd[2];
  if (pipe(pipe_fd) != 0) return false;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fd[1], STDOUT_FILENO);
    close(pipe_fd[0]);
    setenv("FORMS_EXIT_ON_EXPOSE", "1", 1);
    setenv("FORMS_INSTANCE_LOCK", (scratch + "/bench.lock").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fd[1]);
  char buf[64];
  std::string seen;
  ssize_t n;
  // The child prints "exposed" once its window is on screen; reading ends at its exit.
  while (seen.find("exposed") == std::string::npos && (n = read(pipe_fd[0], buf, sizeof buf)) > 0)
    seen.append(buf, static_cast<std::size_t>(n));
  auto exposed = std::chrono::steady_clock::now();
  close(pipe_fd[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  out.ms = std::chrono::duration<double, std::milli>(exposed - start).count();
  out.peak_kb = usage.ru_maxrss;
  return seen.find("exposed") != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char tmpl[] = "/tmp/startup-bench-XXXXXX";
  const std::string scratch = mkdtemp(tmpl);
  const std::string dir = BinDir();
  const std::string programs[2] = {dir + "/bare_window", dir + "/Debugger"};
  std::vector<double> ms[2], kb[2];
  // One warm-up each, then alternate so both see the same machine state.
  for (int i = -1; i < runs; ++i) {
    for (int p = 0; p < 2; ++p) {
      Sample s;
      if (!RunOnce(programs[p], scratch, s)) {
        std::fprintf(stderr, "%s did not reach its window\n", programs[p].c_str());
        return 1;
      }
      if (i < 0) continue;
      ms[p].push_back(s.ms);
      kb[p].push_back(static_cast<double>(s.peak_kb));
    }
  }
  std::string cleanup = "rm -rf '" + scratch + "'";
  if (std::system(cleanup.c_str()) != 0) std::fputs("could not remove scratch directory\n", stderr);

  const double t0 = Median(ms[0]), t1 = Median(ms[1]);
  const double m0 = Median(kb[0]) / 1024, m1 = Median(kb[1]) / 1024;
  std::printf("runs: %d each, platform: %s\n", runs,
              std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb");
  std::printf("%-12s %10s %12s\n", "", "start (ms)", "peak (MB)");
  std::printf("%-12s %10.1f %12.1f\n", "bare window", t0, m0);
  std::printf("%-12s %10.1f %12.1f\n", "Debugger", t1, m1);
  std::printf("%-12s %10.2f %12.2f\n", "ratio", t1 / t0, m1 / m0);
  return 0;
}
