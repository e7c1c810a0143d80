// Address tests of the network setup window, offered to the other windows too.
#pragma once

#include <string>

namespace network {

// True when the text is one octet: 0-9 in one digit, 10-99 in two, 100-255 in three.
// A leading zero ("01", "001") is refused; "0" alone is accepted.
bool CheckOctet(const std::string& strOctet);

// True when the text is a dotted quad of four octets. Cuts octets off its argument; callers
// pass a copy. Spaces are not trimmed, so a leading or trailing space fails.
bool CheckIP(std::string strIPaddress);

}  // namespace network
