#include "support.h"

namespace testsupport {

program::ShowMessage Boxes::Show() {
  return [this](const program::Message& m) {
    shown.push_back(m);
    if (!answers_.empty()) {
      int a = answers_.front();
      answers_.pop_front();
      return a;
    }
    return (m.buttons & 0xF) == program::kYesNo ? int{program::kYes} : int{program::kOK};
  };
}

program::FormValues ValidForm() {
  program::FormValues v = {{"PMD", "1"},
                           {"PDST", "1"},
                           {"PTOU", "1"},
                           {"re", "5"},
                           {"nr", "0"},
                           {"MS", "12345678"},
                           {"LS", "0"},
                           {"MID1", "17"},
                           {"MC", "3"},
                           {"TC", "2"},
                           {"TS", "1"},
                           {"CD0", "1"},
                           {"CD1", "2"},
                           {"CE0", "3"},
                           {"CE1", "4"},
                           {"CL0", "5"},
                           {"CL1", "6"},
                           {"DH", "2"},
                           {"DM", "30"},
                           {"Do", "60"},
                           {"D1", "1"},
                           {"D2", "1"},
                           {"D3", "1"},
                           {"D4", "1"},
                           {"D5", "1"},
                           {"D6", "2"},
                           {"D7", "3"},
                           {"WON", "2"},
                           {"WDON", "1"},
                           {"MON", "3"},
                           {"DA1", "1"},
                           {"WOF", "1"},
                           {"WDOF", "1"},
                           {"MOF", "11"},
                           {"DA2", "0"},
                           {"redts",
                            "01/01/2026 00:00,1,07/04/2026 12:00,2,12/25/2026 00:00,3,11/11/2026 "
                            "11:00,4,10/31/2026 23:59,5"},
                           {"nrdts", ""}};
  for (const auto& t : program::TierInputNames()) v[t] = t[2] == 'H' ? "-1" : "0";
  v["T1H1"] = "6";
  v["T1M1"] = "15";
  v["T2H1"] = "12";
  v["T3H1"] = "18";
  v["T3M1"] = "45";
  return v;
}

const char* const kValidText =
    "1,1,1,5,0,12345678,0,17,3,2,1,1,2,3,4,5,6,2,30,60,"
    "6,15,12,0,18,45,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,-1,0,"
    "3,1,1,1,1,1,2,3,2,1,3,1,1,1,11,0,"
    "01/01/2026 00:00,1,07/04/2026 12:00,2,12/25/2026 00:00,3,11/11/2026 11:00,4,10/31/2026 "
    "23:59,5*";

}  // namespace testsupport
