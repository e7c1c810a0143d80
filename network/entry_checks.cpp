#include "network/entry_checks.h"

#include <algorithm>

#include "forms/runtime_error.h"
#include "forms/text_rules.h"
#include "network/address.h"

namespace network {
namespace {

using forms::IntegerValue;
using forms::IsNumeric;
using forms::Len;
using forms::Trim;

using Result = std::optional<CheckFailure>;

// CT ratio, PT ratio and LP scaler: numeric, no decimals, 1 to 999.
Result CheckRatio(int first_step, const std::string& name, const std::string& entry) {
  if (!IsNumeric(Trim(entry))) return CheckFailure{first_step, name + " must be a numeric value."};
  if (entry.find('.') != std::string::npos) {
    return CheckFailure{first_step + 1,
                        name + " must be an Integer value from 1 to 999. No Decimals allowed"};
  }
  const int value = IntegerValue(entry);
  if (value > 999) return CheckFailure{first_step + 2, name + " cannot be higher than 999."};
  if (value < 1) return CheckFailure{first_step + 3, name + " cannot be less than 1."};
  return std::nullopt;
}

// With a static address the servers must be numeric: an address, or a plain number.
bool NotNumericAddress(const std::string& entry) {
  return !IsNumeric(entry) && !CheckIP(entry);
}

std::string StaticAddressError(const std::string& what) {
  return what + " Error: You must use numeric IP Address values with DHCP turned off!";
}

// The serial's first character compared with the number 0: a non-digit cannot be converted.
bool StartsWithZero(const std::string& serial) {
  const std::string first = serial.substr(0, 1);
  if (first.empty() || !IsNumeric(first))
    throw forms::RuntimeError(forms::kErrTypeMismatch, "Type mismatch");
  return first == "0";
}

Result CheckReportsAndRatios(const SetupState& s) {
  const auto& days = s.Chk_WeekDay;
  if (std::none_of(days.begin(), days.end(), [](bool on) { return on; })) {
    return CheckFailure{1, "Please select atleast 1 day to send an email report."};
  }
  if (!s.Chk_CurrentBilling && !s.Chk_LastReset && !s.Chk_LastSeason && !s.Chk_Status &&
      !s.Chk_LoadProfile) {
    return CheckFailure{2, "Atleast 1 email report must be selected."};
  }
  if (!s.Chk_DisableModBus && s.cmb_MBSlaveID == 0) {
    return CheckFailure{3, "ModBus Slave ID cannot be 0."};
  }
  if (auto r = CheckRatio(4, "CT Ratio", s.txt_CTRatio)) return r;
  if (auto r = CheckRatio(8, "PT Ratio", s.txt_PTRatio)) return r;

  const std::string threshold = Trim(s.txt_Threshold);
  if (!IsNumeric(threshold)) return CheckFailure{12, "Threshold must be a numeric value."};
  if (IntegerValue(s.txt_Threshold) > 999) {
    return CheckFailure{13, "Threshold cannot be higher than 999."};
  }
  if (Len(threshold) != 4) {
    return CheckFailure{14, "Threshold must be 4 characters." + std::to_string(Len(threshold))};
  }
  return CheckRatio(15, "LP Scaler", s.txt_LPScaler);
}

Result CheckAddresses(const SetupState& s, lp_regexp& re) {
  if (!s.Chk_DisableEmail) {
    if (!re.IsValid(PatternKind::kEmail, Trim(s.txt_EmailAddress)))
      return CheckFailure{19, "Error in Email Address."};
    if (!re.IsValid(PatternKind::kEmail, Trim(s.txt_EmailAddressCC))) {
      return CheckFailure{20, "Error in Email CC Address."};
    }
  }
  if (!s.Chk_DisableDHCP) return std::nullopt;
  if (!CheckIP(s.txt_StaticIPAddress)) return CheckFailure{21, "Invalid Static IP Address."};
  if (!CheckIP(s.txt_SubNetMask)) return CheckFailure{22, "Invalid Sub Net IP Address."};
  if (!CheckIP(s.txt_Gateway)) return CheckFailure{23, "Invalid Gateway IP Address."};
  if (!s.Chk_DisableEmail) {
    if (NotNumericAddress(s.txt_POP3Domain))
      return CheckFailure{24, StaticAddressError("POP3 Address")};
    if (NotNumericAddress(s.txt_SMTPDomain))
      return CheckFailure{25, StaticAddressError("SMPT Address")};
  }
  if (!s.Chk_DisableFTP && NotNumericAddress(s.txt_FTPServerAddress)) {
    return CheckFailure{26, StaticAddressError("FTP Server Address")};
  }
  if (!s.txt_DNSAddress1.empty() && NotNumericAddress(s.txt_DNSAddress1)) {
    return CheckFailure{27, StaticAddressError("DNS Server1 Address")};
  }
  if (!s.txt_DNSAddress2.empty() && NotNumericAddress(s.txt_DNSAddress2)) {
    return CheckFailure{28, StaticAddressError("DNS Server2 Address")};
  }
  if (!s.Chk_DisableSNTP) {
    // A host name for a time server is fine once a DNS server is given to resolve it.
    const bool no_dns = Trim(s.txt_DNSAddress1).empty() && Trim(s.txt_DNSAddress2).empty();
    if (NotNumericAddress(s.txt_SNTPAddress1) && no_dns) {
      return CheckFailure{29, StaticAddressError("SNTP Address1")};
    }
    if (NotNumericAddress(s.txt_SNTPAddress2) && no_dns) {
      return CheckFailure{30, StaticAddressError("SNTP Address2")};
    }
  }
  return std::nullopt;
}

Result CheckTimeAndSerial(const SetupState& s) {
  if (!s.Chk_DisableSNTP) {
    if (s.cmb_SNTPPeriodicity == 0) return CheckFailure{31, "SNTP Periodicity cannot be 0."};
    if (Trim(s.txt_SNTPAddress1).empty() && Trim(s.txt_SNTPAddress2).empty()) {
      return CheckFailure{32, "Atleast 1 SNTP Server address must exist."};
    }
  }
  const std::string& serial = s.txt_MeterSerialNumber;
  if (Len(serial) != 16) return CheckFailure{33, "Meter Serial Number must be 16 digits."};
  if (!IsNumeric(serial)) return CheckFailure{34, "Meter Serial Number must be numeric."};
  if (StartsWithZero(serial)) {
    return CheckFailure{35, "First Digit of Meter Serial Number Cannot be zero."};
  }
  return std::nullopt;
}

}  // namespace

std::optional<CheckFailure> CheckEntries(const SetupState& s, lp_regexp& re) {
  if (auto r = CheckReportsAndRatios(s)) return r;
  if (auto r = CheckAddresses(s, re)) return r;
  return CheckTimeAndSerial(s);
}

}  // namespace network
