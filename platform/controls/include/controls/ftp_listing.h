// Directory listings as FTP servers send them: MLSD facts, or LIST text in the Unix and the
// MS-DOS formats. Only names that are safe as one local path component come out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace controls {

struct FtpListEntry {
  std::string name;
  bool is_dir = false;
  int64_t size = 0;
};

enum class FtpListFormat { kList, kMlsd };

// One line without its line end; nullopt for lines that name no entry ("total 8", ".",
// "..", banners) and for names that are not a single safe path component.
std::optional<FtpListEntry> ParseFtpListLine(std::string_view line, FtpListFormat format);

// A name that stays inside the directory it is joined to: not empty, not "." or "..", no
// "/" or "\", no control characters.
bool IsSafeListName(std::string_view name);

// Splits a growing listing into lines, at most kMaxLine bytes each (longer lines are
// dropped), and hands each entry on.
class FtpListingReader {
 public:
  static constexpr size_t kMaxLine = 4096;
  explicit FtpListingReader(FtpListFormat format) : format_(format) {}
  template <typename Emit>
  void Feed(std::string_view data, Emit&& sink) {
    for (char c : data) {
      if (c == '\n') {
        Line(sink);
      } else if (pending_.size() < kMaxLine + 1) {
        pending_ += c;
      }
    }
  }
  template <typename Emit>
  void Finish(Emit&& sink) {
    if (!pending_.empty()) Line(sink);
  }

 private:
  template <typename Emit>
  void Line(Emit& sink) {
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    if (pending_.size() <= kMaxLine) {
      if (auto e = ParseFtpListLine(pending_, format_)) sink(*e);
    }
    pending_.clear();
  }
  FtpListFormat format_;
  std::string pending_;
};

}  // namespace controls
