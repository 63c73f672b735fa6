#pragma once
// Which drives count as recorder drives: the removable drives of the machine, plus folders that the
// caller asks to treat as cards (a card copied to disk, a test card). Also what the user is told when
// a card is taken out safely.

#include "platform/Drives.h"

#include <string>
#include <vector>

namespace card {

// The recorder drives among the mounted file systems: the removable ones (platform::IsRemovableDrive)
// sorted by mount path, then the extra card folders in the order given.
std::vector<std::string> RecorderDrivesFrom(const std::vector<platform::DeviceFacts>& mounted);
// The same for the mounts this machine has now.
std::vector<std::string> FindRecorderDrives();

// Folders to list as recorder drives besides the removable ones; replaces any earlier list.
void SetExtraCardFolders(std::vector<std::string> folders);
std::vector<std::string> ExtraCardFolders();

// How taking a card out ended.
enum class Removal {
    Done,          // unmounted (and powered off where the drive can be): the card can be pulled
    Busy,          // another program holds files on it open
    NotRemovable,  // not a removable card (a folder, a fixed disk)
    NoDiskService, // no disk service on this desktop to unmount it with
    Failed,        // the disk service refused; `detail` says why
};
// The message for the card mounted at `drive`.
std::string RemovalText(Removal result, const std::string& drive, const std::string& detail = {});

} // namespace card
