// "Load Data From File" of the network setup window: the dialog's start, the file's serial,
// the read and the fields applied in order. The window reads its controls, calls this and
// applies what comes back.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/message.h"
#include "network/setup_state.h"

namespace network {

// The serial of a name "setup_" + 16 characters + ".txt" (26 characters once trimmed), when
// those characters are numeric.
std::optional<std::string> SerialFromFileName(const std::string& name);

// Applies the pieces of a file (41 expected) to the controls in field order. Stops at a field
// that its control cannot take and says which; the fields before it stay applied.
std::optional<forms::Message> ApplyPieces(const std::vector<std::string>& pieces, SetupState& s);

// Loads the chosen file (`path` full, `name` without directory) into the window's values and
// `nw_fields`; the message to show when the load stops early.
std::optional<forms::Message> LoadNetworkFile(const std::string& path, const std::string& name,
                                              SetupState& s, std::vector<std::string>& nw_fields);

struct PickedFile {
  std::string path;  // empty when the technician cancelled
  std::string name;  // without directory
};
// Shows the open dialog for text files, starting in `start_dir`.
using PickFile = std::function<PickedFile(const std::string& start_dir)>;

// The whole click: the dialog opens in Program_Files, or in the application directory when
// that cannot be entered; the chosen path becomes the run's last opened file path; then the
// load, its message shown through `show`. `app_path` ends in "/".
void LoadFromChosenFile(const std::string& app_path, SetupState& s,
                        std::vector<std::string>& nw_fields, const PickFile& pick,
                        const forms::ShowMessage& show);

}  // namespace network
