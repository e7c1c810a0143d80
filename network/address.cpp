#include "network/address.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "forms/text_rules.h"

namespace network {

bool CheckOctet(const std::string& strOctet) {
  // The bounds depend on the length, which is what refuses a leading zero.
  static constexpr std::array<int, 3> kLow = {0, 10, 100};
  static constexpr std::array<int, 3> kHigh = {9, 99, 255};
  if (strOctet.empty() || strOctet.size() > kLow.size()) return false;
  // Digits only: the general numeric test would also let "1e2" through as 100.
  if (!std::all_of(strOctet.begin(), strOctet.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
    return false;
  }
  const int value = std::stoi(strOctet);
  return value >= kLow.at(strOctet.size() - 1) && value <= kHigh.at(strOctet.size() - 1);
}

bool CheckIP(std::string strIPaddress) {
  if (forms::Trim(strIPaddress).empty()) return false;
  for (int i = 0; i < 3; ++i) {
    const auto dot = strIPaddress.find('.');
    if (dot == std::string::npos) return false;
    if (!CheckOctet(strIPaddress.substr(0, dot))) return false;
    strIPaddress.erase(0, dot + 1);
  }
  return CheckOctet(strIPaddress);
}

}  // namespace network
