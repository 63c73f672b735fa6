#pragma once
// The drives of this machine: the mounted file systems a user can open (see MountFilter.h), and which
// of them are removable (a USB stick, an SD card in a reader).

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct MountEntry {
    std::string path;   // mount point, e.g. /media/alice/ZT5
    std::string device; // e.g. /dev/sdb1, server:/export, rpool/ROOT/debian
    std::string fsType; // e.g. vfat
    bool removable = false;
};

// What is known of a mounted file system and its device: from sysfs here, from the desktop's disk
// service in the window. IsRemovableDrive decides from these alone, so a test can describe any device.
struct DeviceFacts {
    std::string mountPoint;
    std::string fsType;
    std::string bus;        // "usb", "sdio" (an SD/MMC card) or empty (internal, unknown)
    bool removable = false; // the device or its disk says it can be taken out
    bool mediaRemovable = false;
    bool hintSystem = false; // the disk service counts the device as part of the system
};

// The one rule for a removable drive: a file system a user opens (MountFilter.h), not the system root,
// not a system device, and on USB, on an SD/MMC card or flagged removable.
bool IsRemovableDrive(const DeviceFacts& facts);

// How a mount's device facts are found; the default reads sysfs. Tests describe their own mounts with
// one of their own; null restores the default.
using MountProbe = std::function<DeviceFacts(const MountEntry& mount)>;
void SetMountProbe(MountProbe probe);
// The mounted file systems a user can open with their device facts, one per mount point, sorted.
std::vector<DeviceFacts> ProbeMounts();

// Mounted file systems a user can open, one per mount point, sorted by path.
std::vector<MountEntry> ListMounts();
// Parses the text of /proc/self/mountinfo (exposed for tests); removable is not filled in.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Mount points of the removable drives, sorted by path; the system root never counts.
std::vector<std::string> ListRemovableDrives();
// Mount points of the kernel's and the system's own views (/proc, /sys, /dev, /run and what is
// mounted below them), which a folder browser does not offer.
std::vector<std::string> ListSystemViewMounts();

} // namespace platform
