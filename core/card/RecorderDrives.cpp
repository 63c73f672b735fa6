#include "card/RecorderDrives.h"

#include "platform/Drives.h"

#include <algorithm>
#include <mutex>

namespace card {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_extra;

} // namespace

std::vector<std::string> RecorderDrivesFrom(const std::vector<platform::DeviceFacts>& mounted) {
    std::vector<std::string> drives;
    for (const auto& facts : mounted)
        if (platform::IsRemovableDrive(facts))
            drives.push_back(facts.mountPoint);
    std::sort(drives.begin(), drives.end());
    drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
    for (const auto& folder : ExtraCardFolders())
        if (std::find(drives.begin(), drives.end(), folder) == drives.end())
            drives.push_back(folder);
    return drives;
}

std::vector<std::string> FindRecorderDrives() {
    return RecorderDrivesFrom(platform::ProbeMounts());
}

void SetExtraCardFolders(std::vector<std::string> folders) {
    std::lock_guard lock(g_mutex);
    g_extra = std::move(folders);
}

std::vector<std::string> ExtraCardFolders() {
    std::lock_guard lock(g_mutex);
    return g_extra;
}

std::string RemovalText(Removal result, const std::string& drive, const std::string& detail) {
    switch (result) {
    case Removal::Done:
        return "The card in " + drive + " can now be removed safely.";
    case Removal::Busy:
        return "The card in " + drive +
               " is still in use by another program. Close the files or programs that use it, then try "
               "again.";
    case Removal::NotRemovable:
        return drive + " is not a removable card.";
    case Removal::NoDiskService:
        return "The card in " + drive +
               " cannot be unmounted from here: this desktop has no disk service (UDisks2). Unmount it "
               "with the desktop (eject it in the file manager) before you remove it.";
    case Removal::Failed:
        break;
    }
    return "The card in " + drive + " could not be unmounted: " + detail;
}

} // namespace card
