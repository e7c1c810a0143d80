// The network setup file reader on any file: it loads or says why not, never fails otherwise,
// and a file it loaded that the writer accepts is written and read back to the same line.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/text_files.h"
#include "network/create_file.h"
#include "network/load_file.h"

namespace {

// A directory of this process on a memory file system, gone at exit. Never destroyed
// itself, so that the exit handler can still name it.
const std::string& ScratchDir() {
  static const std::string* dir = [] {
    char name[] = "/dev/shm/fuzz-network-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    std::filesystem::create_directory(std::string(name) + "/Program_Files");
    std::atexit([] { std::filesystem::remove_all(ScratchDir()); });
    return new std::string(name);
  }();
  return *dir;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The written line of `state`, empty when the writer's checks refuse it.
std::string Line(const network::SetupState& state) {
  network::lp_regexp re;
  const network::CreatePlan plan = network::PlanCreate(state, re, ScratchDir() + "/");
  return plan.refusal ? std::string() : plan.line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = "setup_1000000000000000.txt";
  const std::string path = ScratchDir() + "/Program_Files/" + name;
  Write(path, std::string(reinterpret_cast<const char*>(data), size));
  network::SetupState state;
  std::vector<std::string> fields(41);
  try {
    if (network::LoadNetworkFile(path, name, state, fields)) return 0;  // refused, and said so
  } catch (const std::exception&) {
    return 0;  // a run-time failure the window's handler reports
  }
  const std::string line = Line(state);
  if (line.empty()) return 0;
  // As the window's writer does: the line in the ANSI code page, with its line end.
  if (!base::WriteStringToFile(line, path, [](const forms::Message&) { return 0; })) std::abort();
  network::SetupState again;
  if (network::LoadNetworkFile(path, name, again, fields) || Line(again) != line) std::abort();
  return 0;
}
