#include "cdwriter/TrackInfo.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <algorithm>

namespace cdwriter {

bool ReadWaveTrackSizes(const std::string& path, WaveTrackSizes* sizes) {
    wave::CWaveFile file;
    if (!file.Open(path, 1))
        return false;
    if (sizes) {
        sizes->fileSize = file.GetRiffSize();
        sizes->dataSize = file.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
    }
    file.Close();
    return true;
}

bool IsCdAudioFile(const std::string& path) {
    wave::CWaveFile file;
    if (!file.Open(path, 1))
        return false;
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    const bool ok = file.GetFormat(&channels, &bits, &rate) != 0;
    file.Close();
    return ok && channels == 2 && bits == 16 && rate == 44100;
}

std::string TrackTimeText(uint32_t dataSize) {
    const unsigned seconds = dataSize / kCdBytesPerSecond;
    const unsigned hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours == 0)
        return platform::Format("%um%us", minutes, rest);
    return platform::Format("%uh%um%us", hours, minutes, rest);
}

uint32_t AudioSectors(uint32_t dataSize) {
    return dataSize / kSectorBytes + (dataSize % kSectorBytes != 0 ? 1 : 0);
}

uint32_t TrackSectors(uint32_t dataSize) {
    return std::max(AudioSectors(dataSize), kMinTrackSectors);
}

bool IsShorterThanCdMinimum(uint32_t dataSize) {
    return AudioSectors(dataSize) < kMinTrackSectors;
}

std::vector<std::string> ListCdWaveFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty())
        return names;
    for (const platform::FindEntry& entry : platform::FindFiles(folder, "*.wav")) {
        if (!(entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) &&
            IsCdAudioFile(platform::JoinPath(folder, entry.name)))
            names.push_back(entry.name);
    }
    // The same order as the transfer pages' file lists.
    std::sort(names.begin(), names.end(), platform::NaturalLess);
    return names;
}

} // namespace cdwriter
