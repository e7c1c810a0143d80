// Datagrams per second that the engine delivers to a counting sink, side by side with a
// raw poll + recvfrom loop over the same traffic on 127.0.0.1.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "datagram_load.h"
#include "marlet/datagram_engine.h"
#include "marlet/winsock_library.h"

namespace {

using Clock = std::chrono::steady_clock;

class CountingSink : public marlet::EventSink {
 public:
  void Deliver(const char*, int, const char*, uint16_t) override {
    count.fetch_add(1, std::memory_order_release);
  }
  void Error(marlet::Code, const char*) override { ++errors; }
  void ReadyToSend() override {}

  std::atomic<uint64_t> count{0};
  uint64_t errors = 0;
};

bench::Run EngineReceive(size_t size, uint64_t count) {
  CountingSink sink;
  marlet::DatagramEngine engine(&sink);
  bench::Run run;
  if (!engine.winsock_loaded() || engine.SetLocalHost("127.0.0.1") != marlet::kOk ||
      engine.SetInBufferSize(bench::kReceiveBuffer) != marlet::kOk ||
      engine.Activate() != marlet::kOk) {
    std::fprintf(stderr, "engine: %s\n", marlet::WinsockLibrary::Description());
    return run;
  }
  uint16_t port = 0;
  engine.GetLocalPort(&port);
  const auto start = Clock::now();
  {
    bench::Sender sender(port, size, count, sink.count);
    auto last_progress = Clock::now();
    uint64_t seen = 0;
    while (sink.count.load() < count && Clock::now() - last_progress < std::chrono::seconds(2)) {
      engine.PumpStep(20);
      if (sink.count.load() != seen) {
        seen = sink.count.load();
        last_progress = Clock::now();
      }
    }
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.received = sink.count.load();
  engine.Deactivate();
  return run;
}

double Rate(const bench::Run& run) {
  return run.seconds > 0 ? run.received / run.seconds : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  marlet::WinsockLibrary::SetPath(MARLET_WSOCK32_PATH);

  std::printf("%8s %14s %14s %7s %10s %10s\n", "payload", "raw dgram/s", "engine dgram/s", "ratio",
              "raw recv", "eng recv");
  bool ok = true;
  for (size_t size : {8, 200, 1400}) {
    // Best of a few rounds each, alternating, so both see the same machine load.
    bench::Run raw, engine;
    for (int i = 0; i < rounds; ++i) {
      const bench::Run r = bench::RawReceive(size, count);
      const bench::Run e = EngineReceive(size, count);
      if (Rate(r) > Rate(raw)) raw = r;
      if (Rate(e) > Rate(engine)) engine = e;
    }
    const double ratio = Rate(raw) > 0 ? Rate(engine) / Rate(raw) : 0;
    std::printf("%8zu %14.0f %14.0f %7.3f %10llu %10llu\n", size, Rate(raw), Rate(engine), ratio,
                static_cast<unsigned long long>(raw.received),
                static_cast<unsigned long long>(engine.received));
    if (engine.received < raw.received) ok = false;
  }
  if (!ok) std::printf("LOST: the engine received fewer datagrams than the raw loop\n");
  return ok ? 0 : 1;
}
