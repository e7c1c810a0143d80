// Writes the stored form of the type library its sources define (see OleTypeLib.cmake).
#include <cstdio>
#include <fstream>
#include <string>

#include "ole/type_library_file.h"

const ole::TypeLibDef& OleTypeLibDefinition();

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file.tlb>\n", argv[0]);
    return 2;
  }
  const std::string image = ole::SaveTypeLibDef(OleTypeLibDefinition());
  // Written beside, then renamed: a failed build never leaves half a file that looks current.
  const std::string temporary = std::string(argv[1]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(image.data(), static_cast<std::streamsize>(image.size())) || !out.flush()) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[1]) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
