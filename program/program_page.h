// "Read File": checks a program file and turns it into the editable page, by putting its
// fields as a script array into the shipped template.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "program/message.h"

namespace program {

inline constexpr const char* kArrayPlaceholder = "P=new Array(0)";
inline constexpr std::size_t kMinFileLength = 231;
inline constexpr std::size_t kMaxFileLength = 252;

// One field as a script literal: a plain integer bare, a simple double-quoted item as it is,
// anything else as an escaped string, so no file content runs as script or ends the script
// element. Non-ASCII characters are escaped too, so the page is plain ASCII.
std::string ScriptLiteral(const std::string& field);

// Checks the text of a program file (line ends already dropped) and gives the data array
// literal "P=new Array(...)" with its 70 fields, or the message that refuses the file.
std::variant<std::string, Message> DataArrayLiteral(std::string text);

// Every occurrence of the placeholder replaced by `literal`.
std::string FillTemplate(const std::string& page, const std::string& literal);

// Makes raw_dir + "/Program_Files" the current directory; the message when it cannot.
std::optional<Message> EnterProgramFilesDir(const std::string& raw_dir);

// The file chosen in the dialog turned into the page raw_dir + "/Templates/Rx_Pgm.htm":
// every refusal shown through `show`. Gives the page to show, nullopt when nothing changes.
// The page is shown even when writing it failed (its old content then stays).
std::optional<std::string> BuildProgramPage(const std::string& chosen_path,
                                            const std::string& raw_dir, const std::string& app_path,
                                            const ShowMessage& show);

}  // namespace program
