// WritePrivateProfileStringA on a hostile existing file: any bytes in the file, any section,
// key and value (or none, to delete). The write succeeds or fails without harm, and setting a
// key to a value, both of a kind the format can hold, a second time changes nothing.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "windows.h"

namespace {

// A directory of this process on a memory file system, gone at exit. Never destroyed
// itself, so that the exit handler can still name it.
const std::string& ScratchDir() {
  static const std::string* dir = [] {
    char name[] = "/dev/shm/fuzz-profile-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    std::atexit([] { std::filesystem::remove_all(ScratchDir()); });
    return new std::string(name);
  }();
  return *dir;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One argument: up to the next NUL of the input; a first byte of 0xFF stands for none.
const char* Take(std::string& out, const uint8_t*& p, const uint8_t* end) {
  if (p < end && *p == 0xFF) {
    ++p;
    return nullptr;
  }
  while (p < end && *p != 0) out.push_back(static_cast<char>(*p++));
  if (p < end) ++p;
  return out.c_str();
}

// A line break, a section name's "]", a key's "=" or leading "[", or blanks around a name
// (which a reader trims) write something that reads back as other names.
bool Holdable(const char* text, const char* forbidden) {
  if (text == nullptr) return true;
  const std::string t(text);
  if (t.find_first_of(std::string("\r\n") + forbidden) != std::string::npos) return false;
  return forbidden[0] == '\0' || t.empty() ||
         (!std::isspace(static_cast<unsigned char>(t.front())) &&
          !std::isspace(static_cast<unsigned char>(t.back())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  std::string section, key, value;
  const char* s = Take(section, p, end);
  const char* k = Take(key, p, end);
  const char* v = Take(value, p, end);
  const std::string path = ScratchDir() + "/Settings.ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(p), end - p);

  if (!WritePrivateProfileStringA(s, k, v, path.c_str())) return 0;
  // A deletion takes the first of duplicate sections or keys; the next one may follow.
  if (k == nullptr || v == nullptr) return 0;
  if (!Holdable(s, "]") || !Holdable(k, "=") || !Holdable(v, "") || k[0] == '[') return 0;
  const std::string once = Read(path);
  if (!WritePrivateProfileStringA(s, k, v, path.c_str()) || Read(path) != once) std::abort();
  return 0;
}
