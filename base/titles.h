// Titles of the message boxes the program file and network setup features show.
#pragma once

namespace base {

inline constexpr const char* kTitleModule = "Mv900 Program Module";
inline constexpr const char* kTitleProgrammer = "Mv900 Programmer";
inline constexpr const char* kTitleFileProgrammer = "Mv900 File Programmer";
inline constexpr const char* kTitleNetworkSetup = "Network Setup";

}  // namespace base
