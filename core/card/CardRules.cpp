#include "card/CardRules.h"

#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "wave/TrackRenderer.h"
#include "wave/WaveFile.h"

#include <algorithm>

namespace card {

std::vector<std::string> ListSongs(const std::string& card) {
    std::vector<std::string> songs;
    if (card.empty())
        return songs;
    for (const auto& entry : platform::FindFiles(card, "*")) {
        // This program's own temporary folders are never songs, whatever attributes the card keeps.
        if ((entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (entry.attributes & platform::FILE_ATTRIBUTE_HIDDEN) != 0 || platform::IsOwnName(entry.name))
            continue;
        songs.push_back(entry.name);
    }
    // Names that differ only in case (possible off a FAT card) keep a fixed order.
    std::sort(songs.begin(), songs.end(), [](const std::string& a, const std::string& b) {
        const int c = platform::CompareNoCase(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return songs;
}

std::string SongFolderPath(const std::string& card, const std::string& song) {
    return platform::JoinPath(card, song);
}

std::string AdlPath(const std::string& card, const std::string& song) {
    return platform::JoinPath(SongFolderPath(card, song), song + ".adl");
}

std::string AudioFilePath(const std::string& card, const std::string& song, const std::string& name) {
    return platform::JoinPath(SongFolderPath(card, song), name);
}

std::string MixFolderPath(const std::string& card, const std::string& song) {
    return platform::JoinPath(SongFolderPath(card, song), "2mix");
}

std::string TrackFilePath(const std::string& pcFolder, int track) {
    return platform::JoinPath(pcFolder, platform::Format("tr%02d.wav", track));
}

int TrackOfPcFileName(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    for (int n = 1; n <= kTrackCount; ++n)
        if (stem == platform::Format("tr%02d", n) || stem == platform::Format("TR%02d", n))
            return n;
    return 0;
}

std::vector<std::string> ListPcWaveFiles(const std::string& pcFolder) {
    std::vector<std::string> names;
    for (const auto& entry : platform::FindFiles(pcFolder, "*.wav")) {
        if (!(entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.name);
    }
    // The file system's own order changes from folder to folder and from run to run.
    std::sort(names.begin(), names.end(), platform::NaturalLess);
    return names;
}

std::array<bool, kTrackCount> FindPcTrackFiles(const std::string& pcFolder) {
    std::array<bool, kTrackCount> tracks{};
    for (const std::string& name : ListPcWaveFiles(pcFolder)) {
        if (const int n = TrackOfPcFileName(name); n > 0)
            tracks[static_cast<size_t>(n - 1)] = true;
    }
    return tracks;
}

std::string SampleRateText(adl::SampleRateCode sampleRateCode) {
    const uint32_t rate = adl::SampleRateOfCode(sampleRateCode);
    return rate ? std::to_string(rate) : std::string();
}

int GetSongBitDepth(const std::string& card, const std::string& song) {
    const std::string folder = SongFolderPath(card, song);
    const auto found = platform::FindFiles(folder, "*.wav");
    // A file of ours on its way into the song (or left there by a kill) is not the song's audio yet.
    const auto first = std::find_if(found.begin(), found.end(), [](const platform::FindEntry& e) {
        return !platform::IsOwnName(e.name);
    });
    if (first == found.end())
        return 0;
    wave::CWaveFile file;
    if (!file.Open(platform::JoinPath(folder, first->name), 1))
        return 0;
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    const int ok = file.GetFormat(&channels, &bits, &rate);
    file.Close();
    return ok ? bits : 0;
}

std::string BitDepthText(int bits) {
    return bits > 0 ? platform::Format("%2d", bits) : std::string("?");
}

std::array<bool, kTrackCount> GetTracksInUse(const adl::CAdlFile& adl) {
    std::array<bool, kTrackCount> inUse{};
    const std::vector<int> order = wave::BuildEntryOrder(adl);
    for (int track = 1; track <= kTrackCount; ++track) {
        const auto entries = wave::GetTrackEntries(adl, order, track);
        const auto runs = wave::BuildTimeline(entries, 0, wave::GetTrackEnd(entries));
        inUse[track - 1] = std::any_of(runs.begin(), runs.end(),
                                       [](const wave::TimelineRun& run) { return run.entry >= 0; });
    }
    return inUse;
}

std::string SongMissingText(const std::string& card, const std::string& song) {
    if (!platform::IsDirectory(card))
        return platform::Format("The card cannot be found.\ncard : %s", card.c_str());
    const std::string folder = SongFolderPath(card, song);
    if (!platform::IsDirectory(folder))
        return platform::Format("The song cannot be found on the card.\nfolder : %s", folder.c_str());
    return {};
}

bool IsSongProtected(const std::string& card, const std::string& song) {
    return platform::GetFileAttributes(AdlPath(card, song)) == platform::FILE_ATTRIBUTE_READONLY;
}

bool IsCardWritable(const std::string& card) {
    // One of this program's own names: a test folder left by a kill is never taken for a song, and a
    // folder the user named "chk" is never touched.
    const std::string path = platform::JoinPath(card, platform::NewOwnName("test"));
    if (!platform::CreateDirectory(path))
        return false;
    platform::RemoveDirectory(path);
    return true;
}

bool GetCardFreeSpace(const std::string& card, uint64_t* freeBytes) {
    return platform::GetDiskFreeSpace(card, freeBytes);
}

std::string NextAudioFileName(const std::string& songFolder, const std::set<std::string>& taken) {
    for (int n = 1; n <= kMaxAudioFiles; ++n) {
        std::string name = platform::Format("zt5%04d.wav", n);
        if (taken.count(name) == 0 && !platform::PathExists(platform::JoinPath(songFolder, name)))
            return name;
    }
    return {};
}

} // namespace card
