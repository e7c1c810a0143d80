// A failing platform operation inside a window handler, with the number and description a
// handler reports ("Error in file creation: " + description ...). Free of Qt, so the plain
// logic of the windows raises the same failures.
#pragma once

#include <cerrno>
#include <new>
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
  kErrInvalidFileFormat = 321,
};

// The runtime's error for a failed system call (errno).
inline RuntimeError ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return {kErrFileNotFound, "File not found"};
    case ENOTDIR: return {kErrPathNotFound, "Path not found"};
    case EACCES:
    case EPERM:
    case EROFS: return {kErrPermissionDenied, "Permission denied"};
    case ENOSPC: return {kErrDiskFull, "Disk full"};
    default: return {kErrPathFileAccess, "Path/File access error"};
  }
}

// The description a handler reports for any failure that reaches it: a run-time error's own,
// "Out of memory" for a failed allocation, else what the failure says of itself.
inline std::string DescriptionOf(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return r->Description();
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "Out of memory";
  return e.what();
}

// Any failure that reaches a handler as the runtime error it reports: a run-time error as it
// is, anything else under number 7 with its description.
inline RuntimeError AsRuntimeError(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return *r;
  return {kErrOutOfMemory, DescriptionOf(e)};
}

}  // namespace forms
