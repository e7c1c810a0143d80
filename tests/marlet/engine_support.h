// Shared pieces of the engine tests: a sink that records every callback, a bounded pump,
// and the path of the socket library this build produced.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "marlet/datagram_engine.h"

namespace marlet_test {

inline const char* WinsockPath() {
  return MARLET_WSOCK32_PATH;
}

struct Event {
  enum Kind { kData, kError, kReady } kind;
  std::string data;
  std::string address;
  uint16_t port = 0;
  marlet::Code code = 0;
  std::string text;
};

class RecordingSink : public marlet::EventSink {
 public:
  void Deliver(const char* data, int length, const char* address, uint16_t port) override {
    terminated_ = terminated_ && data[length] == '\0';
    Record({Event::kData, std::string(data, static_cast<size_t>(length)), address, port, 0, {}});
  }
  void Error(marlet::Code code, const char* text) override {
    Record({Event::kError, {}, {}, 0, code, text});
  }
  void ReadyToSend() override { Record({Event::kReady, {}, {}, 0, 0, {}}); }

  size_t Count(Event::Kind kind) const;
  std::vector<std::string> Data() const;

  std::vector<Event> events;
  // Runs inside the callback, after the event is recorded: a handler calling back in.
  std::function<void(const Event&)> on_event;
  bool terminated_ = true;

 private:
  void Record(Event e) {
    events.push_back(e);
    if (on_event) on_event(events.back());
  }
};

// Pumps the engine's thread until `done` holds or `limit` has passed.
bool PumpUntil(marlet::DatagramEngine& engine, const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
// Pumps for the whole of `span`, for checks that something does not happen.
void PumpFor(marlet::DatagramEngine& engine, std::chrono::milliseconds span);

}  // namespace marlet_test
