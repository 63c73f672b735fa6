#include "card/TrackSource.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>

namespace card {
namespace {

// The FLAC and AIFF files of the folder whose names stand for a track, in the order they are preferred.
std::vector<std::string> ListOtherTrackFiles(const std::string& pcFolder) {
    std::vector<std::string> names;
    for (const char* pattern : {"*.flac", "*.aif", "*.aiff"}) {
        std::vector<std::string> found;
        for (const auto& entry : platform::FindFiles(pcFolder, pattern)) {
            if (!(entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) && TrackOfPcFileName(entry.name) > 0)
                found.push_back(entry.name);
        }
        std::sort(found.begin(), found.end(), platform::NaturalLess);
        names.insert(names.end(), found.begin(), found.end());
    }
    return names;
}

} // namespace

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

std::string PcTrackSourcePath(const std::string& pcFolder, int track, bool otherTypes) {
    std::string wave = PcTrackSourcePath(pcFolder, track);
    if (!otherTypes || platform::IsRegularFile(wave))
        return wave;
    for (const std::string& name : ListOtherTrackFiles(pcFolder)) {
        if (TrackOfPcFileName(name) == track)
            return platform::JoinPath(pcFolder, name);
    }
    return wave;
}

PcTrackSources FindPcTrackSources(const std::string& pcFolder, bool otherTypes) {
    PcTrackSources sources;
    std::vector<std::string> names = ListPcWaveFiles(pcFolder);
    if (otherTypes) {
        const std::vector<std::string> others = ListOtherTrackFiles(pcFolder);
        names.insert(names.end(), others.begin(), others.end());
    }
    for (const std::string& name : names) {
        const int track = TrackOfPcFileName(name);
        if (track == 0)
            continue;
        const std::string path = platform::JoinPath(pcFolder, name);
        const std::string used = PcTrackSourcePath(pcFolder, track, otherTypes);
        if (path != used)
            sources.unused.emplace_back(path, used);
        sources.tracks[static_cast<size_t>(track - 1)] = true;
    }
    return sources;
}

} // namespace card
