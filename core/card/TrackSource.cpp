#include "card/TrackSource.h"

#include "card/CardRules.h"
#include "platform/FileSystem.h"

namespace card {

std::string PcTrackSourcePath(const std::string& pcFolder, int track) {
    std::string plain = TrackFilePath(pcFolder, track);
    if (platform::IsRegularFile(plain))
        return plain;
    // The page ticks a track for TR02.wav as well; on a case-sensitive disk tr02.wav does not find it.
    // Of several (TR02.wav, TR02.WAV), the first in the listing's order, the same on every run.
    for (const std::string& name : ListPcWaveFiles(pcFolder)) {
        if (TrackOfPcFileName(name) == track)
            return platform::JoinPath(pcFolder, name);
    }
    return plain;
}

} // namespace card
