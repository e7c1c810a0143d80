// Atomic whole-file replacement shared by every writer of the process (profile files,
// program files, logs): a temporary file in the same directory, flushed, then renamed.
#pragma once

#include <sys/types.h>
#include <string>
#include <string_view>

namespace win32 {

struct FileResult {
  int error = 0;  // errno of the failing step, 0 on success
  explicit operator bool() const { return error == 0; }
};

// Reads a whole file. `error` is ENOENT when it does not exist.
__attribute__((visibility("default"))) FileResult ReadWholeFile(const std::string& path,
                                                                std::string& contents);

// Replaces `path` with `contents`. A new file gets `new_mode`; an existing file keeps its
// mode. A symbolic link is followed, so the file it names is replaced. On failure the old
// file is untouched and no temporary file is left behind; missing directories are not created.
__attribute__((visibility("default"))) FileResult ReplaceFile(const std::string& path,
                                                              std::string_view contents,
                                                              mode_t new_mode = 0644);

}  // namespace win32
