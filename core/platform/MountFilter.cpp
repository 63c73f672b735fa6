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

} // namespace

bool IsUserFileSystem(std::string_view fsType, std::string_view mountPoint) {
    static_assert(std::is_sorted(kExcludedTypes.begin(), kExcludedTypes.end()));
    if (mountPoint == "/")
        return true;
    // Unknown types are shown: hiding a new disk or network file system would hide the user's files.
    return !std::binary_search(kExcludedTypes.begin(), kExcludedTypes.end(), fsType);
}

} // namespace platform
