#include "platform/MountFilter.h"

#include <algorithm>
#include <array>

namespace platform {
namespace {

// Kernel interfaces, runtime memory, system images and union layers: nothing a user keeps files in.
// Sorted for binary search.
constexpr auto kExcludedTypes = std::to_array<std::string_view>({
    "aufs",       "autofs",      "binfmt_misc",   "bpf",
    "cgroup",     "cgroup2",     "configfs",      "cpuset",
    "debugfs",    "devpts",      "devtmpfs",      "efivarfs",
    "fuse.lxcfs", "fuse.portal", "fuse.snapfuse", "fuse.squashfuse",
    "fusectl",    "hugetlbfs",   "mqueue",        "nfsd",
    "nsfs",       "overlay",     "proc",          "pstore",
    "ramfs",      "resctrl",     "rootfs",        "rpc_pipefs",
    "securityfs", "selinuxfs",   "smackfs",       "squashfs",
    "sysfs",      "tmpfs",       "tracefs",
});

// Excluded types that hold ordinary folders: memory, images, union layers, the automounter.
constexpr auto kFolderTypes = std::to_array<std::string_view>({
    "aufs",
    "autofs",
    "overlay",
    "ramfs",
    "rootfs",
    "squashfs",
    "tmpfs",
});

constexpr auto kSystemTrees = std::to_array<std::string_view>({"/dev", "/proc", "/run", "/sys"});

bool InSystemTree(std::string_view mountPoint) {
    return std::any_of(kSystemTrees.begin(), kSystemTrees.end(), [mountPoint](std::string_view tree) {
        return mountPoint == tree || (mountPoint.substr(0, tree.size()) == tree &&
                                      mountPoint.size() > tree.size() && mountPoint[tree.size()] == '/');
    });
}

} // namespace

bool IsSystemView(std::string_view fsType, std::string_view mountPoint) {
    if (IsUserFileSystem(fsType, mountPoint))
        return false;
    const bool folders = std::find(kFolderTypes.begin(), kFolderTypes.end(), fsType) != kFolderTypes.end() ||
                         fsType.substr(0, 5) == "fuse.";
    return !folders || InSystemTree(mountPoint);
}

bool IsUserFileSystem(std::string_view fsType, std::string_view mountPoint) {
    static_assert(std::is_sorted(kExcludedTypes.begin(), kExcludedTypes.end()));
    if (mountPoint == "/")
        return true;
    // Unknown types are shown: hiding a new disk or network file system would hide the user's files.
    return !std::binary_search(kExcludedTypes.begin(), kExcludedTypes.end(), fsType);
}

} // namespace platform
