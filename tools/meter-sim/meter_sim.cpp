#include "meter_sim.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace metersim {
namespace {

bool Number(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && out >= 0 && out < 1e9;
}

bool Integer(const std::string& text, long max, long& out) {
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && p == text.data() + text.size() && out >= 0 && out <= max;
}

}  // namespace

std::string Usage() {
  return "usage: meter-sim [--address A] [--port N] [--count N] [--per-datagram N] [--rate R]\n"
         "                 [--crlf] [--big] [--silent] [--stream S] [--duration S]\n"
         "Answers each \"SendData\" datagram with trace lines. Defaults: 127.0.0.1:12345,\n"
         "3 lines in one datagram, LF endings, as fast as possible, one answer per request.\n"
         "--port 0 picks a free port; the first line printed names the address in use.\n";
}

Parsed ParseOptions(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--crlf") {
      o.crlf = true;
      continue;
    }
    if (a == "--big") {
      o.big = true;
      continue;
    }
    if (a == "--silent") {
      o.silent = true;
      continue;
    }
    if (i + 1 >= args.size()) return {{}, "missing value or unknown option: " + a};
    const std::string& v = args[++i];
    long n = 0;
    double d = 0;
    if (a == "--address") {
      o.address = v;
    } else if (a == "--port" && Integer(v, 65535, n)) {
      o.port = static_cast<uint16_t>(n);
    } else if (a == "--count" && Integer(v, 1000000, n)) {
      o.count = static_cast<int>(n);
    } else if (a == "--per-datagram" && Integer(v, 1000000, n)) {
      o.per_datagram = static_cast<int>(n);
    } else if (a == "--rate" && Number(v, d)) {
      o.rate = d;
    } else if (a == "--stream" && Number(v, d)) {
      o.stream = d;
    } else if (a == "--duration" && Number(v, d)) {
      o.duration = d;
    } else {
      return {{}, "bad option or value: " + a + " " + v};
    }
  }
  return {o, {}};
}

std::string TraceLine(uint64_t sequence, bool crlf) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Mv900 trace %06llu", static_cast<unsigned long long>(sequence));
  return std::string(buf) + (crlf ? "\r\n" : "\n");
}

std::vector<std::string> Datagrams(uint64_t first, int count, int per_datagram, bool crlf) {
  std::vector<std::string> out;
  const int per = per_datagram > 0 ? per_datagram : count;
  for (int i = 0; i < count; ++i) {
    if (i % per == 0) out.emplace_back();
    out.back() += TraceLine(first + static_cast<uint64_t>(i), crlf);
  }
  return out;
}

std::string BigDatagram(bool crlf) {
  std::string text;
  for (uint64_t i = 0; text.size() + 32 < kBigSize; ++i) text += TraceLine(900000 + i, crlf);
  text.append(kBigSize - text.size() - (crlf ? 2 : 1), '.');
  text += crlf ? "\r\n" : "\n";
  return text;
}

}  // namespace metersim
