#pragma once
// The drives of this machine: mounted real file systems (not proc, sys, tmpfs, overlay, ...), and
// which of them are removable (a USB stick, an SD card in a reader).

#include <string>
#include <vector>

namespace platform {

struct MountEntry {
    std::string path;   // mount point, e.g. /media/alice/ZT5
    std::string device; // e.g. /dev/sdb1
    std::string fsType; // e.g. vfat
    bool removable = false;
};

// Mounted real file systems, sorted by path.
std::vector<MountEntry> ListMounts();
// Parses the text of /proc/self/mountinfo (exposed for tests); removable is not filled in.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Mount points of the removable drives, sorted by path; the system root never counts.
std::vector<std::string> ListRemovableDrives();

} // namespace platform
