// What the engine tells its owner: the control turns these into its three events.
#pragma once

#include <cstdint>

#include "marlet/error_codes.h"

namespace marlet {

class EventSink {
 public:
  // data[length] is a NUL for the duration of the call; data holds length bytes, NULs
  // included. The pointer is valid only during the call.
  virtual void Deliver(const char* data, int length, const char* address, uint16_t port) = 0;
  // A failure while receiving, when no call is running to return it to.
  virtual void Error(Code code, const char* text) = 0;
  virtual void ReadyToSend() = 0;

  virtual ~EventSink() = default;
};

}  // namespace marlet
