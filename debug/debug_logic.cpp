#include "debug/debug_logic.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include "base/clock.h"
#include "forms/runtime_error.h"
#include "win32/ansi_string.h"

namespace debug {
namespace {

// REGDB_E_CLASSNOTREG, compared as the 32 bits of the HRESULT.
constexpr uint32_t kClassNotRegistered = 0x80040154u;

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw forms::ErrorFromErrno(errno);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void DebugLogic::StartStop() {
  if (screen_.StartStopCaption() != kStop) {
    screen_.SetStartStopCaption(kStop);
    screen_.EnableTimer(true);
    return;
  }
  screen_.SetStartStopCaption(kStart);
  screen_.EnableTimer(false);
  screen_.SetCaption(kInactiveCaption);
}

void DebugLogic::Tick() {
  try {
    const std::string address = screen_.Address();
    screen_.SetCaption("Accessing: " + address + " @: " + base::TimeStamp());
    marlet_.SetRemoteHost(address);
    marlet_.SetRemotePort(kMeterPort);
    if (!marlet_.Active()) marlet_.SetActive(true);
    marlet_.Send(kRequest);
  } catch (const std::exception&) {
    // Polling goes on: an unreachable meter adds these two rows every second.
    screen_.AddRow("Warning! No network connection to Taluro meter @: " + base::TimeStamp());
    screen_.AddRow("");
  }
}

void DebugLogic::OnDataIn(const std::string& datagram) {
  screen_.SetCaption("RxData @: " + base::TimeStamp());
  for (const std::string& line : SplitAtLineFeeds(datagram)) {
    screen_.AddRow(line);
    if (screen_.LogChecked()) WriteLogInfo(line);
  }
}

void DebugLogic::OnError(int16_t code, const std::string& description) {
  if (code == kOversizeCode) return;
  screen_.AddRow("Error Code: " + std::to_string(code) + " Desc: " + description);
}

void DebugLogic::OnReadyToSend() { screen_.AddRow(kReadyRow); }

void DebugLogic::WriteToFile() {
  screen_.EnableWrite2File(false);
  // The rows as they stand: failure rows added meanwhile are not dumped by this click.
  for (const std::string& row : screen_.Rows()) WriteLogInfo(row);
  screen_.EnableWrite2File(true);
  screen_.Show({kSavedMessage, forms::vbOKOnly, kDebugTitle});
}

void DebugLogic::WriteLogInfo(const std::string& text) {
  try {
    AppendLine(log_path_, text);
  } catch (const std::exception& e) {
    screen_.AddRow("Log write failed: " + forms::DescriptionOf(e));
  }
}

void DebugLogic::Unload() {
  screen_.EnableTimer(false);
  try {
    marlet_.SetActive(false);
  } catch (const std::exception&) {
  }
}

std::vector<std::string> SplitAtLineFeeds(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

void AppendLine(const std::string& path, const std::string& utf8) {
  const auto bytes = win32::Utf8ToAnsi(utf8 + "\r\n");
  if (!bytes) throw forms::RuntimeError(forms::kErrPathFileAccess, "Path/File access error");
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    // A missing directory is "path not found", as the platform reports it for an open.
    if (errno == ENOENT) throw forms::RuntimeError(forms::kErrPathNotFound, "Path not found");
    throw forms::ErrorFromErrno(errno);
  }
  try {
    WriteAll(fd, *bytes);
  } catch (...) {
    close(fd);
    throw;
  }
  if (close(fd) != 0) throw forms::ErrorFromErrno(errno);
}

forms::Message CreateFailedMessage(int32_t hresult, const std::string& clsid) {
  std::string prompt = "The Marlet control " + clsid + " could not be created";
  if (static_cast<uint32_t>(hresult) == kClassNotRegistered) {
    prompt += ": the class is not registered.\nRegister the control library, then open this "
              "window again:\n    regsvr libmarletlib.so\n(scripts/run registers it before it "
              "starts the program.)";
  } else {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(hresult)));
    prompt += " (error " + std::string(code) + ").";
  }
  return {prompt, forms::vbCritical, kDebugTitle};
}

}  // namespace debug
