// DataIn events per second reaching a COM event sink through Invoke, side by side with a raw
// poll + recvfrom loop over the same traffic on 127.0.0.1. Two ways to feed them:
//   drain  receiver-limited: a batch is queued in the socket first, then only the draining
//          is timed (what the receiver can do);
//   paced  a sender thread keeps 32 datagrams in flight (what a live exchange looks like).
// With --soak N it runs N datagrams through each in drain mode and fails if the control lost
// any that the raw loop received, or delivered one out of order or altered.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "control_host.h"
#include "datagram_load.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kSize = 200;

double Rate(const bench::Run& run) {
  return run.seconds > 0 ? run.received / run.seconds : 0;
}

struct Scratch {
  Scratch() {
    char tmpl[] = "/tmp/control-bench-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  ~Scratch() { std::filesystem::remove_all(dir); }
  std::string dir;
};

// One control, activated on 127.0.0.1 with the same receive buffer the raw loop asks for.
bool Activate(bench::ControlHost& host, uint16_t& port) {
  if (!host.ok() || !host.PutText(u"LocalHost", u"127.0.0.1") ||
      !host.PutLong(u"InBufferSize", bench::kDrainBuffer) || !host.PutBool(u"Active", true)) {
    std::fprintf(stderr, "control: %s\n", host.ok() ? "activation failed" : host.error().c_str());
    return false;
  }
  port = static_cast<uint16_t>(host.GetLong(u"LocalPort"));
  host.PumpUntil(1, 50);  // lets the first notices (ReadyToSend) through
  return port != 0;
}

bench::Run ControlDrain(bench::ControlHost& host, uint64_t count, uint64_t batch) {
  bench::Run run;
  uint16_t port = 0;
  if (!Activate(host, port)) return run;
  bench::EventCounter& sink = host.sink();
  sink.data_in = 0;
  sink.next_sequence = 0;
  sink.expected_size = kSize;
  bench::BatchSender sender;
  Clock::duration drained{};
  for (uint64_t sent = 0; sent < count; sent += batch) {
    const uint64_t b = std::min(batch, count - sent);
    sender.Send(port, kSize, sent, b);
    const auto start = Clock::now();
    host.PumpUntil(sent + b, 200);
    drained += Clock::now() - start;
  }
  run.seconds = std::chrono::duration<double>(drained).count();
  run.received = sink.data_in.load();
  host.PutBool(u"Active", false);
  return run;
}

bench::Run ControlPaced(bench::ControlHost& host, uint64_t count) {
  bench::Run run;
  uint16_t port = 0;
  if (!Activate(host, port)) return run;
  bench::EventCounter& sink = host.sink();
  sink.data_in = 0;
  sink.check_sequence = false;
  const auto start = Clock::now();
  {
    bench::Sender sender(port, kSize, count, sink.data_in);
    host.PumpUntil(count, 2000);
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.received = sink.data_in.load();
  sink.check_sequence = true;
  host.PutBool(u"Active", false);
  return run;
}

void Row(const char* mode, const bench::Run& raw, const bench::Run& control) {
  const double ratio = Rate(raw) > 0 ? Rate(control) / Rate(raw) : 0;
  std::printf("%-6s %7zu %14.0f %16.0f %7.3f %10llu %10llu\n", mode, kSize, Rate(raw), Rate(control),
              ratio, static_cast<unsigned long long>(raw.received),
              static_cast<unsigned long long>(control.received));
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t count = 100000, batch = 200, soak = 0;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--count") count = value;
    if (option == "--batch") batch = value > 0 ? value : 1;
    if (option == "--rounds") rounds = static_cast<int>(value);
    if (option == "--soak") soak = value;
  }
  Scratch scratch;
  bench::ControlHost host(MARLET_LIBRARY_PATH, scratch.dir);
  if (!host.ok()) {
    std::fprintf(stderr, "control_bench: %s\n", host.error().c_str());
    return 2;
  }

  if (soak > 0) {
    const bench::Run raw = bench::RawDrain(kSize, soak, batch);
    const bench::Run control = ControlDrain(host, soak, batch);
    const bench::EventCounter& sink = host.sink();
    std::printf("soak: %llu datagrams of %zu bytes; raw received %llu, control delivered %llu "
                "(%.0f/s), out of order %llu, altered %llu, errors %llu\n",
                static_cast<unsigned long long>(soak), kSize,
                static_cast<unsigned long long>(raw.received),
                static_cast<unsigned long long>(control.received), Rate(control),
                static_cast<unsigned long long>(sink.out_of_order),
                static_cast<unsigned long long>(sink.wrong_size),
                static_cast<unsigned long long>(sink.errors));
    const bool ok = control.received >= raw.received && sink.out_of_order == 0 &&
                    sink.wrong_size == 0;
    if (!ok) std::printf("LOST or damaged: the control delivered less than the raw loop received\n");
    return ok ? 0 : 1;
  }

  std::printf("%-6s %7s %14s %16s %7s %10s %10s\n", "mode", "payload", "raw dgram/s",
              "control DataIn/s", "ratio", "raw recv", "ctl recv");
  bench::Run raw_drain, control_drain, raw_paced, control_paced;
  // Best of a few rounds each, alternating, so both see the same machine load.
  for (int i = 0; i < rounds; ++i) {
    const bench::Run r = bench::RawDrain(kSize, count, batch);
    const bench::Run c = ControlDrain(host, count, batch);
    if (Rate(r) > Rate(raw_drain)) raw_drain = r;
    if (Rate(c) > Rate(control_drain)) control_drain = c;
  }
  for (int i = 0; i < rounds; ++i) {
    const bench::Run r = bench::RawReceive(kSize, count);
    const bench::Run c = ControlPaced(host, count);
    if (Rate(r) > Rate(raw_paced)) raw_paced = r;
    if (Rate(c) > Rate(control_paced)) control_paced = c;
  }
  Row("drain", raw_drain, control_drain);
  Row("paced", raw_paced, control_paced);
  const bool ok = control_drain.received >= raw_drain.received;
  if (!ok) std::printf("LOST: the control delivered fewer datagrams than the raw loop received\n");
  return ok ? 0 : 1;
}
