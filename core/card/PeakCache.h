#pragma once
// Peaks of a song's audio files kept in the user's cache folder, one small file per audio file, so a
// song opened a second time draws at once. An entry is used only while the audio file has the path,
// size and modification time it had, and the same first and last 64 KiB (a card keeps times to two
// seconds, so a quick rewrite may keep its time). The folder has a size cap: the entries used least
// recently go first. Nothing is ever written onto the card.

#include "platform/Job.h"
#include "wave/Peaks.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace card {

constexpr uint64_t kDefaultPeakCacheCap = 256ull << 20;

// $XDG_CACHE_HOME/pelmora, or ~/.cache/pelmora when XDG_CACHE_HOME is unset or not absolute.
std::string DefaultPeakCacheFolder();

class CPeakCache {
public:
    // `card` is the card folder the audio files lie on: the cache is not used when its folder is on it.
    CPeakCache(std::string folder, const std::string& card, uint64_t capBytes = kDefaultPeakCacheCap);

    // What identifies an audio file's present content.
    struct FileKey {
        std::string path; // resolved
        uint64_t size = 0;
        int64_t mtime = 0;                  // nanoseconds
        std::array<uint8_t, 32> edges = {}; // SHA-256 of the first and last 64 KiB
    };
    // False when the file cannot be read.
    static bool ReadKey(const std::string& audioPath, FileKey* key);

    // The peaks of the file when the cache holds a current entry for it.
    bool Find(const std::string& audioPath, wave::Peaks* peaks) const;
    bool Find(const FileKey& key, wave::Peaks* peaks) const;
    // Keeps the peaks of the file (written beside and renamed into place), then trims the folder to
    // its cap. False when nothing was kept (the folder cannot be written, or lies on the card).
    bool Store(const std::string& audioPath, const wave::Peaks& peaks);
    // The same for a key already read; with `trim` false the folder is left for one Trim after a batch.
    bool Store(const FileKey& key, const wave::Peaks& peaks, bool trim = true);
    // Removes the entries used least recently until the folder is within its cap, and part files that
    // writers which ended halfway left.
    void Trim() const;
    // True when the folder may be written: it is not on the card.
    bool IsUsable() const { return m_usable; }
    // The entry file for an audio file.
    std::string EntryPath(const std::string& audioPath) const;

private:
    std::string EntryPathOf(const std::string& resolvedPath) const;

    std::string m_folder;
    uint64_t m_cap;
    bool m_usable = false;
};

struct SongPeaksParams {
    std::string card;
    std::string song;
    std::vector<std::string> files; // audio file names in the song folder
    std::string cacheFolder;        // DefaultPeakCacheFolder() when empty
    uint64_t cacheCap = kDefaultPeakCacheCap;
};

enum class SongPeaksOutcome { Finished, Cancelled };

struct SongPeaksResult : platform::JobResult<SongPeaksOutcome> {
    std::map<std::string, wave::Peaks> peaks; // by file name; a file that cannot be read has none
    int computed = 0;                         // files read now (the others came from the cache)
};

// The peaks of every file: from the cache when current, else read (the bar counts their bytes) and
// kept. The status line names the file being read.
SongPeaksResult RunSongPeaks(const SongPeaksParams& params, platform::IMessageBox* box,
                             platform::ITextLine* status, platform::IProgressBar* progress,
                             const platform::CancelFlag* cancel, platform::IMessageTarget* target);
// The cached peaks alone; the files without a current entry are left out of the result.
SongPeaksResult FindCachedSongPeaks(const SongPeaksParams& params);

using CSongPeaksJob = platform::CFunctionJob<SongPeaksParams, SongPeaksResult, RunSongPeaks>;

} // namespace card
