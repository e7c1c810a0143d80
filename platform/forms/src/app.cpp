#include "forms/app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace forms {
namespace {

std::string& PathOverride() {
  static std::string path;
  return path;
}

std::string& TitleStore() {
  static std::string title;
  return title;
}

std::string ExecutablePath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string LockPath() {
  if (const char* explicit_path = std::getenv("FORMS_INSTANCE_LOCK");
      explicit_path && *explicit_path)
    return explicit_path;
  std::string exe = ExecutablePath();
  std::string name = exe.substr(exe.rfind('/') + 1);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/" + name + ".lock";
  return "/tmp/" + name + "-" + std::to_string(getuid()) + ".lock";
}

}  // namespace

std::string App::Path() {
  if (!PathOverride().empty()) return PathOverride();
  std::string exe = ExecutablePath();
  auto slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

void App::SetPathOverride(const std::string& dir) {
  PathOverride() = dir;
}

std::string App::Title() {
  if (TitleStore().empty()) {
    std::string exe = ExecutablePath();
    return exe.substr(exe.rfind('/') + 1);
  }
  return TitleStore();
}

void App::SetTitle(const std::string& title) {
  TitleStore() = title;
  if (QCoreApplication::instance() != nullptr)
    QCoreApplication::setApplicationName(QString::fromStdString(title));
}

bool App::PrevInstance() {
  static int fd = -2;
  static bool previous = false;
  if (fd == -2) {
    fd = open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file we cannot open cannot show another instance either.
    previous = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  }
  return previous;
}

namespace {
std::function<void()>& EndHook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void SetEndHook(std::function<void()> hook) {
  EndHook() = std::move(hook);
}

void End() {
  if (EndHook()) {
    EndHook()();
    return;
  }
  QCoreApplication::exit(0);
}

void EndNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace forms
