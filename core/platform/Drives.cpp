#include "platform/Drives.h"

#include "platform/MountFilter.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

// Mount points in mountinfo escape space, tab, newline and backslash as octal.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool ReadFlag(const std::string& path) {
    std::ifstream in(path);
    int value = 0;
    return (in >> value) && value == 1;
}

std::string Canonical(const std::string& path) {
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf))
        return {};
    return buf;
}

// What sysfs says of a mount's block device: its bus and the removable flag of it or its parent disk.
DeviceFacts ProbeSysfs(const MountEntry& mount) {
    DeviceFacts facts{mount.path, mount.fsType, {}, false, false, false};
    struct stat st {};
    const std::string& device = mount.device;
    if (device.rfind("/dev/", 0) != 0 || ::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return facts;
    const std::string sys = Canonical("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                      std::to_string(minor(st.st_rdev)));
    if (sys.empty())
        return facts;
    if (sys.find("/usb") != std::string::npos)
        facts.bus = "usb";
    else if (sys.find("/mmcblk") != std::string::npos)
        facts.bus = "sdio";
    const auto slash = sys.rfind('/');
    facts.removable = ReadFlag(sys + "/removable") ||
                      (slash != std::string::npos && ReadFlag(sys.substr(0, slash) + "/removable"));
    return facts;
}

std::mutex g_probeMutex;
MountProbe g_probe;

DeviceFacts Probe(const MountEntry& mount) {
    MountProbe probe;
    {
        std::lock_guard lock(g_probeMutex);
        probe = g_probe;
    }
    return probe ? probe(mount) : ProbeSysfs(mount);
}

std::string ReadMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every line of mountinfo, in its order, whatever the type.
std::vector<MountEntry> ParseMountTable(const std::string& text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // Fields are separated by single spaces; a mount made with an empty source has an empty field.
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ' '))
            f.push_back(field);
        // Six fixed fields, optional ones, then "-", the type and the source.
        if (f.size() < 9)
            continue;
        const auto dash = std::find(f.begin() + 6, f.end(), "-");
        if (dash == f.end() || std::distance(dash, f.end()) < 3)
            continue;
        mounts.push_back({Unescape(f[4]), Unescape(*(dash + 2)), *(dash + 1), false});
    }
    return mounts;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> mounts;
    std::set<std::string> seen;
    for (MountEntry& m : ParseMountTable(text))
        if (IsUserFileSystem(m.fsType, m.path) && seen.insert(m.path).second)
            mounts.push_back(std::move(m));
    std::sort(mounts.begin(), mounts.end(),
              [](const MountEntry& a, const MountEntry& b) { return a.path < b.path; });
    return mounts;
}

bool IsRemovableDrive(const DeviceFacts& facts) {
    if (facts.mountPoint == "/" || facts.hintSystem || !IsUserFileSystem(facts.fsType, facts.mountPoint))
        return false;
    return facts.removable || facts.mediaRemovable || facts.bus == "usb" || facts.bus == "sdio";
}

void SetMountProbe(MountProbe probe) {
    std::lock_guard lock(g_probeMutex);
    g_probe = std::move(probe);
}

std::vector<DeviceFacts> ProbeMounts() {
    // Probed before the filter: a test's probe may describe a mount of its own as a card.
    std::vector<DeviceFacts> mounted;
    std::set<std::string> seen;
    for (const MountEntry& m : ParseMountTable(ReadMountInfo())) {
        DeviceFacts facts = Probe(m);
        if (IsUserFileSystem(facts.fsType, facts.mountPoint) && seen.insert(facts.mountPoint).second)
            mounted.push_back(std::move(facts));
    }
    std::sort(mounted.begin(), mounted.end(),
              [](const DeviceFacts& a, const DeviceFacts& b) { return a.mountPoint < b.mountPoint; });
    return mounted;
}

std::vector<MountEntry> ListMounts() {
    auto mounts = ParseMountInfo(ReadMountInfo());
    for (auto& m : mounts)
        m.removable = IsRemovableDrive(Probe(m));
    return mounts;
}

std::vector<std::string> ListRemovableDrives() {
    std::vector<std::string> drives;
    for (const auto& facts : ProbeMounts())
        if (IsRemovableDrive(facts))
            drives.push_back(facts.mountPoint);
    return drives;
}

std::vector<std::string> ListSystemViewMounts() {
    std::vector<std::string> views;
    for (const MountEntry& m : ParseMountTable(ReadMountInfo()))
        if (IsSystemView(m.fsType, m.path))
            views.push_back(m.path);
    return views;
}

} // namespace platform
