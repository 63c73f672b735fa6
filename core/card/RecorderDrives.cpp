#include "card/RecorderDrives.h"

#include "platform/Drives.h"

#include <algorithm>
#include <mutex>

namespace card {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_extra;

} // namespace

std::vector<std::string> FindRecorderDrives() {
    std::vector<std::string> drives = platform::ListRemovableDrives();
    for (const auto& folder : ExtraCardFolders())
        if (std::find(drives.begin(), drives.end(), folder) == drives.end())
            drives.push_back(folder);
    return drives;
}

void SetExtraCardFolders(std::vector<std::string> folders) {
    std::lock_guard lock(g_mutex);
    g_extra = std::move(folders);
}

std::vector<std::string> ExtraCardFolders() {
    std::lock_guard lock(g_mutex);
    return g_extra;
}

} // namespace card
