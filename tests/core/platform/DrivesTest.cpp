// Which mountinfo lines become drives: disks, network shares, FUSE mounts and ZFS datasets do;
// kernel views, runtime memory, system images and overlay layers do not.

#include "platform/Drives.h"
#include "platform/MountFilter.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct MountCase {
    const char* fsType;
    const char* source;
    const char* path;
    bool shown;
};

std::string MountInfoLine(const MountCase& c, int id = 40) {
    return std::to_string(id) + " 1 0:" + std::to_string(id) + " / " + c.path + " rw,relatime shared:7 - " +
           c.fsType + " " + c.source + " rw\n";
}

TEST(MountFilter, ShowsWhatUsersOpenAndHidesSystemViews) {
    const MountCase cases[] = {
        {"zfs", "rpool/ROOT/debian", "/", true},
        {"zfs", "rpool/home", "/home", true},
        {"btrfs", "/dev/nvme0n1p2", "/srv", true},
        {"ext4", "/dev/sda1", "/data", true},
        {"exfat", "/dev/mmcblk0p1", "/media/alice/ZT5", true},
        {"iso9660", "/dev/sr0", "/media/alice/AUDIO_CD", true},
        {"nfs", "nas:/music", "/mnt/music", true},
        {"nfs4", "nas:/takes", "/mnt/takes", true},
        {"cifs", "//studio/share", "/mnt/share", true},
        {"smb3", "//studio/mix", "/mnt/mix", true},
        {"fuse.sshfs", "alice@studio:/audio", "/home/alice/studio", true},
        {"fuseblk", "/dev/sdc1", "/media/alice/NTFS", true},
        {"9p", "", "/mnt/host", true}, // an empty source leaves an empty field
        {"newfs", "somewhere", "/mnt/new", true},
        {"overlay", "overlay", "/", true}, // a container's or live system's root
        {"proc", "proc", "/proc", false},
        {"sysfs", "sysfs", "/sys", false},
        {"cgroup", "cgroup", "/sys/fs/cgroup/cpu", false},
        {"cgroup2", "cgroup2", "/sys/fs/cgroup", false},
        {"devpts", "devpts", "/dev/pts", false},
        {"devtmpfs", "udev", "/dev", false},
        {"tmpfs", "tmpfs", "/run/user/1000", false},
        {"ramfs", "ramfs", "/run/credentials", false},
        {"mqueue", "mqueue", "/dev/mqueue", false},
        {"hugetlbfs", "hugetlbfs", "/dev/hugepages", false},
        {"securityfs", "securityfs", "/sys/kernel/security", false},
        {"debugfs", "debugfs", "/sys/kernel/debug", false},
        {"tracefs", "tracefs", "/sys/kernel/tracing", false},
        {"pstore", "pstore", "/sys/fs/pstore", false},
        {"bpf", "bpf", "/sys/fs/bpf", false},
        {"configfs", "configfs", "/sys/kernel/config", false},
        {"fusectl", "fusectl", "/sys/fs/fuse/connections", false},
        {"binfmt_misc", "binfmt_misc", "/proc/sys/fs/binfmt_misc", false},
        {"autofs", "systemd-1", "/mnt/auto", false},
        {"efivarfs", "efivarfs", "/sys/firmware/efi/efivars", false},
        {"selinuxfs", "selinuxfs", "/sys/fs/selinux", false},
        {"rpc_pipefs", "sunrpc", "/run/rpc_pipefs", false},
        {"nsfs", "nsfs", "/run/netns/lab", false},
        {"overlay", "overlay", "/var/lib/docker/overlay2/3f/merged", false},
        {"squashfs", "/dev/loop0", "/snap/core22/1380", false},
    };
    for (const MountCase& c : cases) {
        SCOPED_TRACE(std::string(c.fsType) + " at " + c.path);
        const auto mounts = ParseMountInfo(MountInfoLine(c));
        ASSERT_EQ(mounts.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(mounts[0].path, c.path);
            EXPECT_EQ(mounts[0].fsType, c.fsType);
            EXPECT_EQ(mounts[0].device, c.source);
        }
    }
}

TEST(MountFilter, OneDrivePerPathSortedAndHiddenMountsDoNotClaimAPath) {
    // The automounter's placeholder comes first; the share mounted on it is the drive.
    const std::string text = MountInfoLine({"autofs", "systemd-1", "/mnt/nas", false}, 50) +
                             MountInfoLine({"nfs4", "nas:/", "/mnt/nas", true}, 51) +
                             MountInfoLine({"cifs", "//other/share", "/mnt/nas", true}, 52) +
                             "53 1 0:53 / /broken rw - \n" + // cut off: no type or source
                             MountInfoLine({"zfs", "rpool/ROOT/debian", "/", true}, 54);
    const auto mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].path, "/");
    EXPECT_EQ(mounts[1].path, "/mnt/nas");
    EXPECT_EQ(mounts[1].fsType, "nfs4");
}

} // namespace

namespace {

TEST(RemovableDrive, DecidedFromTheDeviceFactsAlone) {
    struct Case {
        DeviceFacts facts;
        bool removable;
    };
    const Case cases[] = {
        {{"/media/a/ZT", "vfat", "usb", false, false, false}, true},   // USB reader, no flag
        {{"/media/a/ZT", "exfat", "sdio", false, false, false}, true}, // built-in SD slot
        {{"/media/a/ZT", "vfat", "", true, false, false}, true},       // flagged removable
        {{"/media/a/ZT", "vfat", "", false, true, false}, true},       // removable medium
        {{"/media/a/ZT", "vfat", "usb", true, true, true}, false},     // the system's own, whatever else
        {{"/", "vfat", "usb", true, true, false}, false},              // the system root never
        {{"/data", "ext4", "", false, false, false}, false},           // a fixed disk
        {{"/media/a/ZT", "tmpfs", "usb", true, true, false}, false},   // no file system a user opens
        {{"/mnt/nas", "nfs4", "", false, false, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.facts.mountPoint + " " + c.facts.fsType + " bus=" + c.facts.bus);
        EXPECT_EQ(IsRemovableDrive(c.facts), c.removable);
    }
}

TEST(MountFilter, SystemViewsAreKernelInterfacesAndWhatLiesUnderTheSystemFolders) {
    const MountCase cases[] = {
        {"proc", "proc", "/proc", true},
        {"sysfs", "sysfs", "/sys", true},
        {"devtmpfs", "udev", "/dev", true},
        {"tmpfs", "tmpfs", "/run", true},
        {"tmpfs", "tmpfs", "/dev/shm", true},
        {"cgroup2", "cgroup2", "/mnt/cg", true},
        {"tmpfs", "tmpfs", "/tmp", false},
        {"squashfs", "/dev/loop0", "/snap/core", false},
        {"tmpfs", "tmpfs", "/running", false},
        {"ext4", "/dev/sda1", "/", false},
        {"vfat", "/dev/sdb1", "/run/media/a/ZT", false}, // a card the desktop mounted below /run
    };
    for (const MountCase& c : cases) {
        SCOPED_TRACE(std::string(c.fsType) + " at " + c.path);
        EXPECT_EQ(IsSystemView(c.fsType, c.path), c.shown);
    }
}

} // namespace
