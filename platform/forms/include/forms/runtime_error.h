// A failing platform operation inside a window handler, with the number and description a
// handler reports ("Error in file creation: " + description ...).
#pragma once

#include <stdexcept>
#include <string>

namespace forms {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int number_;
};

// Run-time error numbers of the forms runtime.
enum ErrorNumber {
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrTypeMismatch = 13,
  kErrFileNotFound = 53,
  kErrFileAlreadyOpen = 55,
  kErrDiskFull = 61,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
};

// The runtime's error for a failed system call (errno).
RuntimeError ErrorFromErrno(int err);

}  // namespace forms
