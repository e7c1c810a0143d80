#include <iconv.h>
#include <cerrno>

#include <string>

#include "codepage.h"

namespace win32::nls {
namespace {

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible; returns the number of input bytes consumed.
  std::size_t Run(const char* in, std::size_t len, std::string& out, int& error) {
    char* src = const_cast<char*>(in);
    std::size_t left = len;
    char buf[256];
    error = 0;
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        error = errno;
        break;
      }
    }
    return len - left;
  }

 private:
  iconv_t cd_;
};

std::string Name(unsigned codepage) {
  return codepage == 932 ? std::string("CP932") : "CP" + std::to_string(codepage);
}

}  // namespace

bool IsSupported(unsigned codepage) {
  if (codepage == 1252 || codepage == 65001) return true;
  Converter c("UTF-16LE", Name(codepage));
  return c.ok();
}

Outcome DecodeIconv(unsigned codepage, std::string_view in, std::u16string& out) {
  Converter c("UTF-16LE", Name(codepage));
  if (!c.ok()) return Outcome::Unsupported;
  // Windows' default Unicode character for an undecodable byte.
  const char16_t fallback = codepage == 932 ? u'\u30FB' : u'?';
  std::string bytes;
  Outcome result = Outcome::Ok;
  std::size_t pos = 0;
  while (pos < in.size()) {
    int error = 0;
    pos += c.Run(in.data() + pos, in.size() - pos, bytes, error);
    if (error == 0) break;
    result = Outcome::Invalid;
    bytes.append(reinterpret_cast<const char*>(&fallback), sizeof fallback);
    ++pos;
  }
  out.assign(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
  return result;
}

Outcome EncodeIconv(unsigned codepage, std::u16string_view in, std::string& out,
                    std::string_view fallback) {
  Converter c(Name(codepage), "UTF-16LE");
  if (!c.ok()) return Outcome::Unsupported;
  out.clear();
  Outcome result = Outcome::Ok;
  for (std::size_t i = 0; i < in.size(); ++i) {
    std::size_t units = (in[i] >= 0xD800 && in[i] < 0xDC00 && i + 1 < in.size()) ? 2 : 1;
    int error = 0;
    std::string piece;
    c.Run(reinterpret_cast<const char*>(in.data() + i), units * 2, piece, error);
    if (error != 0) {
      piece.assign(fallback);
      result = Outcome::Replaced;
    }
    out += piece;
    i += units - 1;
  }
  return result;
}

}  // namespace win32::nls
