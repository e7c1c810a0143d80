// Scratch directories with their own registry file, and running a program to its end.
#pragma once

#include <string>
#include <vector>

#include "objidl.h"
#include "winreg.h"

namespace oletest {

// A fresh directory; OLE_REGISTRY names a file in it for as long as it exists.
class ScratchRegistry {
 public:
  ScratchRegistry();
  ~ScratchRegistry();
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;
  const std::string& dir() const { return dir_; }
  const std::string& file() const { return file_; }
  std::string Text() const;  // the registry file as it is on disk

 private:
  std::string dir_, file_, old_;
  bool had_old_ = false;
};

struct Run {
  int exit_code = -1;
  std::string out, err;
};
// Runs argv[0] with the environment of the test, waiting at most 30 seconds.
Run RunProgram(const std::vector<std::string>& argv);

// The default text of HKCR\path (nothing when absent), read through the registry API.
bool ClassesValue(const std::string& path, const char* name, std::string* value = nullptr);

std::u16string Text(BSTR s);

LARGE_INTEGER Offset(LONGLONG n);
// The whole stream from its start, read `chunk` bytes at a time.
std::string ReadAll(IStream* stream, ULONG chunk = 4096);

}  // namespace oletest
