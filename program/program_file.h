// The program file: one line of 70 comma-separated fields and "*", named after the meter's
// serial number. Turns a read form into that text and writes it into Program_Files.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "program/message.h"
#include "program/program_form.h"

namespace program {

inline constexpr int kFieldCount = 70;
inline constexpr int kDateItemCount = 10;

// The date items: those of "redts" when re >= 1, then those of "nrdts" when nr > 0. Call
// only after the checks passed (re and nr are then integer text).
std::vector<std::string> DateItems(const FormValues& values);

// Fields 1 to 60 and the date items joined with ",", then "*". Quotes are not yet removed.
std::string AssembleProgramText(const FormValues& values);

// "setup_" + "10000000" + serial + ".txt".
std::string ProgramFileName(const std::string& serial);

struct ProgramFile {
  std::string text;       // without the line end
  std::string file_name;  // without directory
};

// The ten checks, the assembly, the layout refusal and the quote removal: either the file to
// write or the one message to show instead.
std::variant<ProgramFile, Message> PrepareProgramFile(const FormValues& values);

// Asks before overwriting, writes into app_path + "Program_Files/" and confirms. `app_path`
// ends with a separator. True when the file was written.
bool SaveProgramFile(const ProgramFile& file, const std::string& app_path, const ShowMessage& show);

}  // namespace program
