// A download lands in a temporary file beside its target and replaces the target only when
// complete, so a failed download never harms a local file of the same name.
#pragma once

#include <cstdio>
#include <string>

namespace controls {

class PartFile {
 public:
  // Creates the temporary file; the errno of the failure, or 0.
  int Open(const std::string& target);
  ~PartFile();
  PartFile() = default;
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  FILE* file() const { return file_; }
  // Flushes, closes and renames over the target; the errno of the failure, or 0. The
  // temporary file is gone either way.
  int Commit();

 private:
  std::string target_;
  std::string temp_;
  FILE* file_ = nullptr;
};

}  // namespace controls
