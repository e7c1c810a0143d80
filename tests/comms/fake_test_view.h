// The test window as the logic sees it, recorded: lamps, buttons, labels, messages; a watchdog
// that fires from the event loop like the window's timer; events pumped from the thread's
// message queue.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "comms/test_logic.h"

class FakeTestView final : public comms::TestView {
 public:
  explicit FakeTestView(std::chrono::milliseconds watchdog = std::chrono::milliseconds(1500))
      : watchdog_interval_(watchdog) {}

  void Attach(comms::TestLogic* logic) { logic_ = logic; }

  std::string sntp_server;
  std::string daytime_server;
  std::string ftp_server;
  std::string ftp_user;
  std::string ftp_password;
  std::vector<std::string> sntp_list;
  std::vector<std::string> daytime_list;
  std::map<comms::Test, int> lamps;
  std::map<comms::Test, bool> enabled{
      {comms::Test::Sntp, true}, {comms::Test::DayTime, true}, {comms::Test::Ftp, true}};
  bool watchdog = false;
  int watchdog_fired = 0;
  std::vector<std::string> ftp_status;  // every text the label showed, in order
  std::string verdict;
  std::vector<forms::Message> messages;

  bool AllEnabled() const;
  bool NoneEnabled() const;
  // Pumps (firing the watchdog when due) until done() or the limit.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  std::string SntpServer() const override { return sntp_server; }
  std::string DaytimeServer() const override { return daytime_server; }
  std::string FtpServer() const override { return ftp_server; }
  std::string FtpUsername() const override { return ftp_user; }
  std::string FtpPassword() const override { return ftp_password; }
  void FillServers(const std::vector<std::string>& sntp,
                   const std::vector<std::string>& daytime) override;
  void SetFtpTexts(const std::string& server, const std::string& user,
                   const std::string& password) override;
  void SetLamp(comms::Test test, int color) override { lamps[test] = color; }
  void EnableTest(comms::Test test, bool on) override {
    enabled[test] = on;
    enable_log.emplace_back(test, on);
  }
  // Every change in order: a loopback answer can re-enable a button inside its own click.
  std::vector<std::pair<comms::Test, bool>> enable_log;
  void EnableWatchdog(bool on) override;
  void SetFtpStatus(const std::string& text) override { ftp_status.push_back(text); }
  void SetSntpVerdict(const std::string& text) override { verdict = text; }
  void ShowMessage(const forms::Message& m) override { messages.push_back(m); }
  void DoEvents() override;
  void WaitEvents() override;

 private:
  comms::TestLogic* logic_ = nullptr;
  std::chrono::milliseconds watchdog_interval_;
  std::chrono::steady_clock::time_point watchdog_due_{};
};
