#pragma once
// Turns one track of a song into one continuous mono 16-bit WAV file: the track's stretches
// (Timeline.h) in turn, audio copied from its source file, a Silence entry or no entry as zero.

#include "adl/AdlFile.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"
#include "wave/Timeline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wave {

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
