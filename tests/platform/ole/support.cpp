#include "support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "oleauto.h"

namespace oletest {

ScratchRegistry::ScratchRegistry() {
  std::string tmpl = std::filesystem::temp_directory_path() / "ole-test-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
  dir_ = tmpl;
  file_ = dir_ + "/registry.txt";
  if (const char* old = std::getenv("OLE_REGISTRY")) {
    old_ = old;
    had_old_ = true;
  }
  setenv("OLE_REGISTRY", file_.c_str(), 1);
}

ScratchRegistry::~ScratchRegistry() {
  if (had_old_) {
    setenv("OLE_REGISTRY", old_.c_str(), 1);
  } else {
    unsetenv("OLE_REGISTRY");
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string ScratchRegistry::Text() const {
  std::ifstream in(file_, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Run RunProgram(const std::vector<std::string>& argv) {
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  Run run;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int open_fds = 2;
  while (open_fds > 0 && std::chrono::steady_clock::now() < deadline) {
    if (poll(fds, 2, 1000) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int status = 0;
  if (open_fds > 0) kill(pid, SIGKILL);  // it ran past its time
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool ClassesValue(const std::string& path, const char* name, std::string* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  char buf[1024];
  DWORD size = sizeof buf, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return false;
  if (value) value->assign(buf, size ? size - 1 : 0);
  return true;
}

std::u16string Text(BSTR s) {
  return std::u16string(s ? s : u"", SysStringLen(s));
}

LARGE_INTEGER Offset(LONGLONG n) {
  LARGE_INTEGER li;
  li.QuadPart = n;
  return li;
}

std::string ReadAll(IStream* stream, ULONG chunk) {
  stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr);
  std::string out;
  std::string buf(chunk, '\0');
  ULONG got = 0;
  do {
    got = 0;
    if (stream->Read(buf.data(), chunk, &got) != S_OK) break;
    out.append(buf.data(), got);
  } while (got == chunk);
  return out;
}

}  // namespace oletest
