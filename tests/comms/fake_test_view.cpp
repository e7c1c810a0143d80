#include "fake_test_view.h"

#include "windows.h"

void FakeTestView::FillServers(const std::vector<std::string>& sntp,
                               const std::vector<std::string>& daytime) {
  sntp_list = sntp;
  daytime_list = daytime;
  sntp_server = sntp.empty() ? "" : sntp.front();
  daytime_server = daytime.empty() ? "" : daytime.front();
}

void FakeTestView::SetFtpTexts(const std::string& server, const std::string& user,
                               const std::string& password) {
  ftp_server = server;
  ftp_user = user;
  ftp_password = password;
}

// Enabling a running watchdog leaves its time as it is, as the window's timer does.
void FakeTestView::EnableWatchdog(bool on) {
  if (on && !watchdog) watchdog_due_ = std::chrono::steady_clock::now() + watchdog_interval_;
  watchdog = on;
}

void FakeTestView::DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  if (watchdog && logic_ != nullptr && std::chrono::steady_clock::now() >= watchdog_due_) {
    ++watchdog_fired;
    logic_->Timer_Watchdog_Timer();
  }
}

void FakeTestView::WaitEvents() {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  DoEvents();
}

bool FakeTestView::AllEnabled() const {
  for (const auto& [test, on] : enabled) {
    if (!on) return false;
  }
  return true;
}

bool FakeTestView::NoneEnabled() const {
  for (const auto& [test, on] : enabled) {
    if (on) return false;
  }
  return true;
}

bool FakeTestView::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    WaitEvents();
  }
  return true;
}
