// Reboot-time operations registered through MoveFileEx, as the system keeps them in
// PendingFileRenameOperations. Wine carries them out, and clears them, when a new session
// boots the prefix, so read them while the session that registered them still runs.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace support {

// Pairs of source and target ("" for a deletion), as registered (paths in the "\??\" form).
std::vector<std::pair<std::string, std::string>> PendingRenames();
// The pending operations whose source lies below folder.
std::vector<std::pair<std::string, std::string>> PendingRenamesUnder(const std::string& folder);
// The same, in order, each as "source -> target" with "\??\" and folder taken off both paths:
// a deletion ends in " -> ", and a move that replaces its target shows it as "!target".
std::vector<std::string> PendingOperationsUnder(const std::string& folder);
void ClearPendingRenames();

}  // namespace support
