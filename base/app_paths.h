// Paths of the application directory: the program directory with its "Program_Files" (the
// files the program writes; the read dialogs open there) and "Templates".
#pragma once

#include <optional>
#include <string>

namespace base {

// The program directory with exactly one trailing separator; a root directory stays as it is.
std::string WithTrailingSeparator(const std::string& dir);

// `app_path` ends with a separator.
std::string ProgramFilesPath(const std::string& app_path, const std::string& file_name);
std::string TemplatesPath(const std::string& app_path, const std::string& file_name);

// Makes "Program_Files" under the program directory (no trailing separator) the current
// directory, so that a read dialog opens there. Gives the system's reason when it cannot.
std::optional<std::string> EnterProgramFiles(const std::string& program_dir);

}  // namespace base
