// Directory listings as a server may send them, in both formats and in pieces of any size:
// every name that comes out is one safe path component.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "controls/ftp_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the piece size, as the network would.
  const size_t piece = 1 + data[0] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (auto format : {controls::FtpListFormat::kList, controls::FtpListFormat::kMlsd}) {
    controls::FtpListingReader reader(format);
    auto check = [](const controls::FtpListEntry& e) {
      if (!controls::IsSafeListName(e.name) || e.name.size() > controls::FtpListingReader::kMaxLine ||
          e.size < 0)
        std::abort();
    };
    for (size_t at = 0; at < text.size(); at += piece) reader.Feed(text.substr(at, piece), check);
    reader.Finish(check);
  }
  return 0;
}
