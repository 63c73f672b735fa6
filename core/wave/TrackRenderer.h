#pragma once
// Turns one track of a song into one continuous mono 16-bit WAV file. Each sample position takes the
// value of the topmost entry covering it (highest entry number): a Cut copies from its source file,
// a Silence gives zero, and so does a position no entry covers.

#include "adl/AdlFile.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wave {

// Indices of the song's entries in ascending entry number, one per number greater than 0; of several
// entries with the same number, the one listed last.
std::vector<int> BuildEntryOrder(const adl::CAdlFile& adl);

struct TrackEntry {
    int index = 0; // event index in the song
    uint32_t sourceIn = 0;
    uint32_t destIn = 0;
    uint32_t destOut = 0;
    bool silence = false; // any other edit type copies from its source file
    std::string sourceName;
};

// The track's entries in entry order. Entries that cover nothing (out not after in) are left out, and
// tracks outside 1..16 have none.
std::vector<TrackEntry> GetTrackEntries(const adl::CAdlFile& adl, const std::vector<int>& order, int track);

// The end of the track for a whole-track render: the last entry reaching past the end so far moves it
// out, a Silence over the end moves it back to where the Silence starts. 0 = nothing to render.
uint32_t GetTrackEnd(const std::vector<TrackEntry>& entries);

// A stretch of the output with one entry on top; entry is a position in the entry list, or -1 where
// the output is silent (no entry, or a Silence entry on top).
struct TimelineRun {
    uint64_t start = 0;
    uint64_t length = 0;
    int entry = -1;
};
// The runs covering [from, to), adjacent runs of the same kind merged.
std::vector<TimelineRun> BuildTimeline(const std::vector<TrackEntry>& entries, uint64_t from, uint64_t to);

// True when the source name stays inside the song folder ("/", "\", "." and ".." do not).
bool IsPlainSourceName(const std::string& name);

enum class RenderMode { All, AB };

struct RenderRequest {
    const adl::CAdlFile* adl = nullptr;
    const std::vector<int>* order = nullptr;
    int track = 1;
    RenderMode mode = RenderMode::All;
    uint32_t locateA = 0;
    uint32_t locateB = 0;
    std::string songFolder;
    std::string outputPath;
    platform::IMessageTarget* notify = nullptr; // receives the transfer messages (notified)
    platform::IProgressBar* progress = nullptr; // its range is set to the bytes to be written
    const platform::CancelFlag* cancel = nullptr;
};

enum class RenderStatus {
    Complete,
    Empty,          // nothing to render: no file
    Cancelled,      // the file was deleted
    WriteFailed,    // the output could not be created or written (path = output); partial file kept
    SourceFailed,   // a source could not be opened or ended early (path = source); partial file kept
    FormatMismatch, // a source is not mono 16-bit PCM (path = source); no file
    UnknownRate,    // the song's sample-rate code is not 1, 2 or 3; no file
};

struct RenderResult {
    RenderStatus status = RenderStatus::Empty;
    std::string path;     // the file concerned by a failure
    uint16_t code = 0;    // CWaveFile failure code
    uint64_t samples = 0; // samples written
};

RenderResult RenderTrack(const RenderRequest& request);

} // namespace wave
