// A failing method or property of an outside control: the run-time error its host sees, with
// the number and description the control reports.
#pragma once

#include <stdexcept>
#include <string>

namespace controls {

class ControlError : public std::runtime_error {
 public:
  ControlError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

}  // namespace controls
