#include "module_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>

namespace win32::module {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names a bare name may be spelled as, best first.
std::vector<std::string> Spellings(std::string_view name) {
  std::string file(name);
  if (!file.empty() && file.back() == '.') {
    file.pop_back();  // a trailing dot says "no extension", as on Windows
  } else if (file.find('.') == std::string::npos) {
    file += ".dll";
  }
  std::vector<std::string> out{file};
  constexpr std::string_view kDll = ".dll";
  if (file.size() > kDll.size() &&
      EqualNoCase(std::string_view(file).substr(file.size() - 4), kDll)) {
    out.push_back("lib" + file.substr(0, file.size() - kDll.size()) + ".so");
  }
  return out;
}

// The entry of `dir` that matches one of `spellings`: an earlier spelling wins, then an exact
// spelling over one that differs in case, then the smallest name.
std::optional<std::string> MatchInDir(const std::string& dir,
                                      const std::vector<std::string>& spellings) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return std::nullopt;
  std::optional<std::string> best;
  std::size_t best_rank = SIZE_MAX;
  while (dirent* e = readdir(d)) {
    std::string_view entry = e->d_name;
    for (std::size_t i = 0; i < spellings.size(); ++i) {
      if (!EqualNoCase(entry, spellings[i])) continue;
      std::size_t rank = i * 2 + (entry == spellings[i] ? 0 : 1);
      std::string path = (dir.ends_with('/') ? dir : dir + "/") + std::string(entry);
      if ((rank < best_rank || (rank == best_rank && path < *best)) && IsFile(path)) {
        best = std::move(path);
        best_rank = rank;
      }
    }
  }
  closedir(d);
  return best;
}

}  // namespace

std::string FindBareName(std::string_view name, const std::vector<std::string>& dirs) {
  if (name.empty()) return {};
  std::vector<std::string> spellings = Spellings(name);
  for (const std::string& dir : dirs) {
    if (auto found = MatchInDir(dir, spellings)) return *found;
  }
  return {};
}

std::string FindPath(std::string_view path) {
  std::string p(path);
  if (IsFile(p)) return p;
  std::size_t slash = p.rfind('/');
  if (slash == std::string::npos || slash + 1 == p.size()) return {};
  std::string dir = slash == 0 ? "/" : p.substr(0, slash);
  return MatchInDir(dir, {p.substr(slash + 1)}).value_or("");
}

}  // namespace win32::module
