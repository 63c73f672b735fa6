#include "card/TrackSource.h"

#include "card/CardRules.h"
#include "platform/FileSystem.h"

namespace card {

std::string PcTrackSourcePath(const std::string& pcFolder, int track) {
    std::string plain = TrackFilePath(pcFolder, track);
    if (platform::IsRegularFile(plain))
        return plain;
    // The page ticks a track for TR02.wav as well; on a case-sensitive disk tr02.wav does not find it.
    for (const auto& entry : platform::FindFiles(pcFolder, "*.wav")) {
        if (TrackOfPcFileName(entry.name) == track &&
            !(entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
            return platform::JoinPath(pcFolder, entry.name);
    }
    return plain;
}

} // namespace card
