#include "network/record_fields.h"

#include "forms/text_rules.h"

namespace network {
namespace {

using S = SetupState;
using K = FieldKind;

bool SntpOff(const S& s) {
  return s.Chk_DisableSNTP;
}
bool ModBusOff(const S& s) {
  return s.Chk_DisableModBus;
}
bool EmailOff(const S& s) {
  return s.Chk_DisableEmail;
}
bool FtpOff(const S& s) {
  return s.Chk_DisableFTP;
}
// With DHCP in use there is no static address to write.
bool DhcpInUse(const S& s) {
  return !s.Chk_DisableDHCP;
}

constexpr FieldDef Check(int i, const char* control, const char* label, bool S::*m,
                         bool (*off)(const S&) = nullptr, const char* off_value = "") {
  return {.index = i,
          .control = control,
          .label = label,
          .kind = K::kCheck,
          .check = m,
          .switched_off = off,
          .off_value = off_value};
}
constexpr FieldDef List(int i, const char* control, const char* label, int S::*m, int items,
                        bool (*off)(const S&) = nullptr, const char* off_value = "",
                        bool two_digits = false) {
  return {.index = i,
          .control = control,
          .label = label,
          .kind = K::kList,
          .list = m,
          .list_items = items,
          .switched_off = off,
          .off_value = off_value,
          .two_digits = two_digits};
}
constexpr FieldDef Text(int i, const char* control, const char* label, std::string S::*m,
                        bool (*off)(const S&) = nullptr, int max_length = kAddressLimit) {
  return {.index = i,
          .control = control,
          .label = label,
          .kind = K::kText,
          .text = m,
          .max_length = max_length,
          .switched_off = off};
}

const std::array<FieldDef, kRecordFields - 1> kTable = {{
    Check(1, "chk_CC_Option", "CC: Option", &S::chk_CC_Option),
    {.index = 2, .control = "Chk_WeekDay", .label = "Day to Report", .kind = K::kDay},
    Check(3, "Chk_CurrentBilling", "Current Billing Values", &S::Chk_CurrentBilling),
    Check(4, "Chk_LastReset", "Last Reset Values", &S::Chk_LastReset),
    Check(5, "Chk_LastSeason", "Last Season Values", &S::Chk_LastSeason),
    Check(6, "Chk_Status", "Status Values", &S::Chk_Status),
    Check(7, "Chk_LoadProfile", "Load Profile", &S::Chk_LoadProfile),
    List(8, "cmb_EmailHour", "Schedule Time (hour)", &S::cmb_EmailHour, kEmailHourItems, nullptr,
         "", true),
    List(9, "cmb_EmailMinute", "Schedule Time (minute)", &S::cmb_EmailMinute, kEmailMinuteItems,
         nullptr, "", true),
    Check(10, "Chk_DisableFTP", "Disable FTP", &S::Chk_DisableFTP),
    Check(11, "Chk_DisableEmail", "Disable Email", &S::Chk_DisableEmail),
    Check(12, "Chk_DisableModBus", "Disable ModBus Server", &S::Chk_DisableModBus),
    Check(13, "Chk_DisableDHCP", "Disable DHCP ( Use Static IP )", &S::Chk_DisableDHCP),
    Check(14, "Chk_DisableSNTP", "Disable SNTP", &S::Chk_DisableSNTP),
    Check(15, "Chk_SNTP_Update_RTC", "Enable SNTP Update to Real Time Clock",
          &S::Chk_SNTP_Update_RTC, SntpOff, "0"),
    List(16, "cmb_MBSlaveID", "MB Slave ID", &S::cmb_MBSlaveID, kSlaveIdItems, ModBusOff, "255"),
    Text(17, "txt_CTRatio", "CT Ratio", &S::txt_CTRatio, nullptr, kNumberLimit),
    Text(18, "txt_PTRatio", "PT Ratio", &S::txt_PTRatio, nullptr, kNumberLimit),
    Text(19, "txt_Threshold", "Threshold", &S::txt_Threshold, nullptr, kThresholdLimit),
    Text(20, "txt_LPScaler", "LP Scaler", &S::txt_LPScaler, nullptr, kNumberLimit),
    List(21, "cmb_SNTPPeriodicity", "SNTP Periodicity", &S::cmb_SNTPPeriodicity,
         kSntpPeriodicityItems, SntpOff, "1"),
    List(22, "cmb_SNTP_UTC_Offset", "SNTP UTC Offset", &S::cmb_SNTP_UTC_Offset, kSntpUtcOffsetItems,
         SntpOff, "0"),
    Text(23, "txt_EmailAddress", "Email Address", &S::txt_EmailAddress, EmailOff),
    Text(24, "txt_EmailAddressCC", "CC: Email Address", &S::txt_EmailAddressCC, EmailOff),
    Text(25, "txt_POP3Domain", "POP3 Address", &S::txt_POP3Domain, EmailOff),
    Text(26, "txt_SMTPDomain", "SMTP Address", &S::txt_SMTPDomain, EmailOff),
    Text(27, "txt_EmailUserName", "User Name", &S::txt_EmailUserName, EmailOff),
    Text(28, "txt_EmailPassword", "Password", &S::txt_EmailPassword, EmailOff),
    Text(29, "txt_EmailDomain", "Email Domain", &S::txt_EmailDomain, EmailOff),
    Text(30, "txt_FTPServerAddress", "FTP Server", &S::txt_FTPServerAddress, FtpOff),
    Text(31, "txt_FTPUsername", "FTP Username", &S::txt_FTPUsername, FtpOff),
    Text(32, "txt_FTPPassword", "FTP Password", &S::txt_FTPPassword, FtpOff),
    Text(33, "txt_StaticIPAddress", "Static IP Address", &S::txt_StaticIPAddress, DhcpInUse),
    Text(34, "txt_SubNetMask", "Subnet Mask", &S::txt_SubNetMask, DhcpInUse),
    Text(35, "txt_Gateway", "Gateway", &S::txt_Gateway, DhcpInUse),
    Text(36, "txt_DNSAddress1", "DNS Address 1", &S::txt_DNSAddress1),
    Text(37, "txt_DNSAddress2", "DNS Address 2", &S::txt_DNSAddress2),
    Text(38, "txt_SNTPAddress1", "SNTP Address 1", &S::txt_SNTPAddress1, SntpOff),
    Text(39, "txt_SNTPAddress2", "SNTP Address 2", &S::txt_SNTPAddress2, SntpOff),
}};

std::string FieldValue(const FieldDef& f, const SetupState& s) {
  if (f.switched_off != nullptr && f.switched_off(s)) return f.off_value;
  switch (f.kind) {
    case K::kCheck:
      return s.*f.check ? "1" : "0";
    case K::kList: {
      std::string v = std::to_string(s.*f.list);
      return f.two_digits && v.size() == 1 ? "0" + v : v;
    }
    case K::kText:
      return forms::Trim(s.*f.text);
    case K::kDay:
      return DayField(s);
  }
  return {};
}

}  // namespace

const std::array<FieldDef, kRecordFields - 1>& FieldTable() {
  return kTable;
}

const FieldDef* FindField(std::string_view control) {
  for (const auto& f : kTable) {
    if (control == f.control) return &f;
  }
  return nullptr;
}

std::string DayField(const SetupState& s) {
  int first = -1;
  int weekdays = 0;
  for (int day = 0; day <= kEveryday; ++day) {
    if (!s.Chk_WeekDay.at(static_cast<std::size_t>(day))) continue;
    if (first < 0) first = day;
    if (day < kEveryday) ++weekdays;
  }
  if (weekdays >= 2) return "7";
  return first < 0 ? std::string() : std::to_string(first);
}

std::array<std::string, kRecordFields> BuildRecord(const SetupState& s) {
  std::array<std::string, kRecordFields> fields;
  // The record marker; assigned from a char* it trips a false -Wrestrict of GCC 12 at -O2.
  fields[0] = std::string(1, 'E');
  for (const auto& f : kTable) fields.at(static_cast<std::size_t>(f.index)) = FieldValue(f, s);
  return fields;
}

std::string RecordLine(const std::array<std::string, kRecordFields>& fields) {
  std::string line;
  for (const auto& f : fields) line += f + ",";
  return line;
}

}  // namespace network
