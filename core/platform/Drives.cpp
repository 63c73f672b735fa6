#include "platform/Drives.h"

#include "platform/MountFilter.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
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

// A block device counts as removable when it or its parent disk says so, when it is an SD/MMC
// card, or when it sits on USB.
bool IsRemovableDevice(const std::string& device) {
    struct stat st {};
    if (device.rfind("/dev/", 0) != 0 || ::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    const std::string sys = Canonical("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                      std::to_string(minor(st.st_rdev)));
    if (sys.empty())
        return false;
    if (sys.find("/usb") != std::string::npos || sys.find("/mmcblk") != std::string::npos)
        return true;
    if (ReadFlag(sys + "/removable"))
        return true;
    const auto slash = sys.rfind('/');
    return slash != std::string::npos && ReadFlag(sys.substr(0, slash) + "/removable");
}

} // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> mounts;
    std::set<std::string> seen;
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
        MountEntry m;
        m.path = Unescape(f[4]);
        m.fsType = *(dash + 1);
        m.device = Unescape(*(dash + 2));
        if (!IsUserFileSystem(m.fsType, m.path))
            continue;
        if (!seen.insert(m.path).second)
            continue;
        mounts.push_back(std::move(m));
    }
    std::sort(mounts.begin(), mounts.end(),
              [](const MountEntry& a, const MountEntry& b) { return a.path < b.path; });
    return mounts;
}

std::vector<MountEntry> ListMounts() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    auto mounts = ParseMountInfo(text.str());
    for (auto& m : mounts)
        m.removable = m.path != "/" && IsRemovableDevice(m.device);
    return mounts;
}

std::vector<std::string> ListRemovableDrives() {
    std::vector<std::string> drives;
    for (const auto& m : ListMounts())
        if (m.removable)
            drives.push_back(m.path);
    return drives;
}

} // namespace platform
