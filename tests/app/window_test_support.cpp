#include "window_test_support.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "forms/do_events.h"

namespace fs = std::filesystem;

namespace testsupport {
namespace {
std::string Root() {
  static const std::string root = [] {
    char tmpl[] = "/tmp/debugger-tests-XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  return root;
}
}  // namespace

const std::string& AppDir() {
  static const std::string dir = [] {
    std::string d = Root() + "/app";
    fs::create_directories(d + "/Program_Files");
    fs::create_directories(d + "/Templates");
    return d;
  }();
  return dir;
}

std::string MakeTempDir(const std::string& name) {
  std::string d = Root() + "/" + name;
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    forms::DoEvents();
    QThread::msleep(5);
  }
  return true;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int& EndCalls() {
  static int calls = 0;
  return calls;
}

std::string BinDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe(buf, static_cast<std::size_t>(n > 0 ? n : 0));
  return exe.substr(0, exe.rfind('/'));
}

}  // namespace testsupport
