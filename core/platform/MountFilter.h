#pragma once
// Which mounts are file systems a user can open and browse (disks, network shares, FUSE mounts, ZFS
// datasets), as opposed to the kernel's and the system's own runtime views (proc, sysfs, tmpfs, ...).

#include <string_view>

namespace platform {

// True when a mount of type `fsType` (as /proc/self/mountinfo names it, e.g. "ext4", "nfs4",
// "fuse.sshfs") at `mountPoint` holds the user's files. The system root always does, whatever it is
// mounted from (an overlay on a live system or in a container).
bool IsUserFileSystem(std::string_view fsType, std::string_view mountPoint);

// True for the kernel's and the system's own views: kernel interfaces wherever they are mounted, and
// anything at or below /proc, /sys, /dev and /run. Memory and image file systems elsewhere (a tmpfs
// /tmp, a snap) are plain folders to browse, only not drives of their own.
bool IsSystemView(std::string_view fsType, std::string_view mountPoint);

} // namespace platform
