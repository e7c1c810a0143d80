// "Load Data From File" of the network setup window, after the file dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "network/message.h"
#include "network/nw_setup_state.h"

namespace network {

// Reads a file as one text, its lines joined; a failure is thrown as a std::runtime_error
// whose text is the platform's description.
using FileReader = std::function<std::string(const std::string& path)>;

// The serial of a name "setup_" + 16 characters + ".txt" (26 characters once trimmed), when
// those characters are numeric.
std::optional<std::string> SerialFromFileName(const std::string& name);

// Applies the pieces of a file (41 expected) to the controls in field order. Stops at a field
// that its control cannot take and says which; the fields before it stay applied.
std::optional<Message> ApplyPieces(const std::vector<std::string>& pieces, NWSetupState& s);

// Loads the chosen file (`path` full, `name` without directory) into the window's values and
// `nw_fields`; the message to show when the load stops early.
std::optional<Message> LoadNetworkFile(const std::string& path, const std::string& name,
                                       NWSetupState& s, std::vector<std::string>& nw_fields,
                                       const FileReader& read);

}  // namespace network
