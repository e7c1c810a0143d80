#include "engine_support.h"

namespace marlet_test {

size_t RecordingSink::Count(Event::Kind kind) const {
  size_t n = 0;
  for (const Event& e : events) n += e.kind == kind;
  return n;
}

std::vector<std::string> RecordingSink::Data() const {
  std::vector<std::string> out;
  for (const Event& e : events) {
    if (e.kind == Event::kData) out.push_back(e.data);
  }
  return out;
}

bool PumpUntil(marlet::DatagramEngine& engine, const std::function<bool()>& done,
               std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    engine.PumpStep(20);
  }
  return true;
}

void PumpFor(marlet::DatagramEngine& engine, std::chrono::milliseconds span) {
  const auto deadline = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < deadline) engine.PumpStep(10);
}

}  // namespace marlet_test
