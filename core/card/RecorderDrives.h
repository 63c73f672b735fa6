#pragma once
// Which drives count as recorder drives: the removable drives of the machine, plus folders that the
// caller asks to treat as cards (a card copied to disk, a test card).

#include <string>
#include <vector>

namespace card {

// Removable drives first (sorted by mount path), then the extra card folders in the order given.
std::vector<std::string> FindRecorderDrives();

// Folders to list as recorder drives besides the removable ones; replaces any earlier list.
void SetExtraCardFolders(std::vector<std::string> folders);
std::vector<std::string> ExtraCardFolders();

} // namespace card
