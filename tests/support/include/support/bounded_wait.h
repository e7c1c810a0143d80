// Waiting for something that happens on an event loop, never longer than a limit.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

using Pump = std::function<void()>;

// Polls `done` until it holds or `limit` has passed, calling `pump` (the loop that makes it
// happen: Qt events, a window-message queue) between polls and sleeping `step` after each.
// Gives done() as it stands at the end.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               const Pump& pump = {},
               std::chrono::milliseconds step = std::chrono::milliseconds(5));

// Runs `pump` for the whole of `span`: for checks that something does not happen.
void PumpFor(std::chrono::milliseconds span, const Pump& pump,
             std::chrono::milliseconds step = std::chrono::milliseconds(5));

}  // namespace testsupport
