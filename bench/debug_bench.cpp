// The debug trail window under a flood: the real window with the real Marlet control (registered
// into a scratch registry, created by class id), "Log Data Upon Receipt" on, polling meter-sim
// on 127.0.0.1, which streams trace lines as fast as its socket takes them. Counts the rows the
// list shows and the lines the log holds, and the longest gap between two turns of the event
// loop (a 5 ms timer that cannot fire while a turn is busy).
//
// The meter's port is fixed, so the bench runs in a network namespace of its own: it starts
// itself again under `unshare --net` unless it is already inside one.
//
//   debug_bench [--seconds S] [--per-datagram N] [--no-log]
#include <unistd.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "debug/frm_Debug.h"
#include "forms/app.h"
#include "forms/application.h"
#include "forms/message_pump.h"
#include "forms/prepare.h"

namespace {

struct Options {
  int seconds = 60;
  int per_datagram = 1;
  bool log = true;
};

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-log") {
      o.log = false;
    } else if (a == "--seconds" && i + 1 < argc) {
      o.seconds = std::atoi(argv[++i]);
    } else if (a == "--per-datagram" && i + 1 < argc) {
      o.per_datagram = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return o.seconds > 0 && o.seconds <= 3600 && o.per_datagram > 0 && o.per_datagram <= 100;
}

// Again under `unshare --net` with only loopback up; returns only if that cannot be started.
void EnterOwnNetwork(int argc, char** argv) {
  if (std::getenv("DEBUG_BENCH_OWN_NETWORK") != nullptr) return;
  setenv("DEBUG_BENCH_OWN_NETWORK", "1", 1);
  std::vector<char*> args = {const_cast<char*>("unshare"), const_cast<char*>("--net"),
                             const_cast<char*>("sh"), const_cast<char*>("-c"),
                             const_cast<char*>("ip link set lo up && exec \"$0\" \"$@\"")};
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execvp("unshare", args.data());
  std::perror("debug_bench: unshare");
}

uint64_t CountLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint64_t lines = 0;
  std::vector<char> buf(1 << 20);
  while (in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    lines += static_cast<uint64_t>(std::count(buf.data(), buf.data() + in.gcount(), '\n'));
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, o)) {
    std::fputs("usage: debug_bench [--seconds S] [--per-datagram N] [--no-log]\n", stderr);
    return 2;
  }
  EnterOwnNetwork(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  char scratch_template[] = "/tmp/debug-bench-XXXXXX";
  if (mkdtemp(scratch_template) == nullptr) return 1;
  const std::string scratch = scratch_template;
  setenv("OLE_REGISTRY", (scratch + "/registry.txt").c_str(), 1);
  setenv("FORMS_INSTANCE_LOCK", (scratch + "/bench.lock").c_str(), 1);

  forms::PrepareApplication();
  forms::Application application(argc, argv);
  forms::StartMessagePump();
  forms::App::SetPathOverride(scratch);

  QProcess regsvr;
  regsvr.start(QStringLiteral(DEBUG_BENCH_REGSVR), {QStringLiteral("/s"), QStringLiteral(DEBUG_BENCH_MARLETLIB)});
  if (!regsvr.waitForFinished(30000) || regsvr.exitCode() != 0) {
    std::fprintf(stderr, "debug_bench: regsvr failed: %s\n", regsvr.readAllStandardError().constData());
    return 1;
  }

  // Each poll keeps the stream going for two more seconds; it ends soon after the window stops.
  QProcess sim;
  sim.start(QStringLiteral(DEBUG_BENCH_METER_SIM),
            {QStringLiteral("--per-datagram"), QString::number(o.per_datagram), QStringLiteral("--stream"),
             QStringLiteral("2"), QStringLiteral("--duration"), QString::number(o.seconds + 10)});
  if (!sim.waitForReadyRead(10000)) {
    std::fputs("debug_bench: meter-sim did not start\n", stderr);
    return 1;
  }

  auto* window = new debug::frm_Debug;
  if (!window->Marlet1) return 1;
  window->txt_Mv_IPAddress->setText(QStringLiteral("127.0.0.1"));
  window->Chk_LogData->setChecked(o.log);
  window->show();

  uint64_t shown = 0;
  QObject::connect(window->lstResponse->model(), &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) { shown += static_cast<uint64_t>(last - first + 1); });

  QElapsedTimer clock;
  qint64 last_turn = 0, longest_gap = 0;
  int gaps_over_100 = 0;
  std::vector<uint64_t> per_second;
  uint64_t shown_at_second = 0;
  QTimer turns;
  turns.setTimerType(Qt::PreciseTimer);
  turns.setInterval(5);
  QObject::connect(&turns, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    const qint64 gap = now - last_turn;
    longest_gap = std::max(longest_gap, gap);
    if (gap > 100) ++gaps_over_100;
    last_turn = now;
    if (now >= static_cast<qint64>(per_second.size() + 1) * 1000) {
      per_second.push_back(shown - shown_at_second);
      shown_at_second = shown;
    }
  });

  clock.start();
  turns.start();
  window->cmd_StartStop->click();
  window->Timer_Process_Timer();  // the first poll now, not a second from now
  double elapsed = 0;
  uint64_t shown_total = 0, logged = 0;
  QTimer end;
  end.setTimerType(Qt::PreciseTimer);
  end.setSingleShot(true);
  QObject::connect(&end, &QTimer::timeout, [&] {
    elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
    shown_total = shown;
    if (o.log) logged = CountLines(scratch + "/Debug_Report.Txt");
    window->cmd_StartStop->click();
    QApplication::quit();
  });
  end.start(o.seconds * 1000);
  QApplication::exec();
  turns.stop();
  window->close();
  delete window;

  sim.terminate();
  sim.waitForFinished(10000);
  const std::string sim_out = sim.readAllStandardOutput().toStdString();
  std::filesystem::remove_all(scratch);

  std::sort(per_second.begin(), per_second.end());
  const uint64_t slowest = per_second.empty() ? 0 : per_second.front();
  const uint64_t median = per_second.empty() ? 0 : per_second[per_second.size() / 2];
  std::printf("debug window, %d line(s) per datagram, log %s, %.1f s\n", o.per_datagram, o.log ? "on" : "off",
              elapsed);
  std::printf("  rows shown:   %llu (%.0f lines/s; seconds: slowest %llu, median %llu)\n",
              static_cast<unsigned long long>(shown_total), static_cast<double>(shown_total) / elapsed,
              static_cast<unsigned long long>(slowest), static_cast<unsigned long long>(median));
  if (o.log) {
    std::printf("  lines logged: %llu (%.0f lines/s)\n", static_cast<unsigned long long>(logged),
                static_cast<double>(logged) / elapsed);
  }
  std::printf("  longest gap between event-loop turns: %lld ms (%d gaps over 100 ms)\n",
              static_cast<long long>(longest_gap), gaps_over_100);
  std::printf("  %s", sim_out.substr(sim_out.find('\n') + 1).c_str());
  return 0;
}
