// Pumps the thread's window-message queue, where the controls' notices arrive.
#pragma once

#include <chrono>
#include <functional>

// Pumps until done() or the time is up; true when done.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Pumps for the whole time given.
void PumpFor(std::chrono::milliseconds time);
