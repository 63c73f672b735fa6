#pragma once
// The drives of this machine: the mounted file systems a user can open (see MountFilter.h), and which
// of them are removable (a USB stick, an SD card in a reader).

#include <string>
#include <vector>

namespace platform {

struct MountEntry {
    std::string path;   // mount point, e.g. /media/alice/ZT5
    std::string device; // e.g. /dev/sdb1, server:/export, rpool/ROOT/debian
    std::string fsType; // e.g. vfat
    bool removable = false;
};

// Mounted file systems a user can open, one per mount point, sorted by path.
std::vector<MountEntry> ListMounts();
// Parses the text of /proc/self/mountinfo (exposed for tests); removable is not filled in.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Mount points of the removable drives, sorted by path; the system root never counts.
std::vector<std::string> ListRemovableDrives();

} // namespace platform
