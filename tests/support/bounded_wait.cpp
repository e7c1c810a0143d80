#include "support/bounded_wait.h"

#include <thread>

namespace testsupport {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               const Pump& pump, std::chrono::milliseconds step) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    if (pump) pump();
    std::this_thread::sleep_for(step);
  }
  return true;
}

void PumpFor(std::chrono::milliseconds span, const Pump& pump, std::chrono::milliseconds step) {
  const auto deadline = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < deadline) {
    if (pump) pump();
    std::this_thread::sleep_for(step);
  }
}

}  // namespace testsupport
