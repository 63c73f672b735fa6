#pragma once
// The export ("PC to ZT"): copies tr01.wav .. tr16.wav of a PC folder into a song on the card as new
// audio files, each entered as a Cut in the song's event list. The page and the command line gather
// the inputs, run the export command's checks, and run the job behind a progress dialog.
//
// A song is never lost on the way: every audio file is complete and on the card before the event
// naming it is added, and the ADL file changes only by an atomic replace, so a failed write at any
// point leaves a song that opens, with an event for every complete file and none for any other.

#include "card/CardRules.h"
#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace card {

struct ExportParams {
    std::string card;                       // the card's root folder
    std::string song;                       // the song's folder name
    std::string pcFolder;                   // where tr01.wav .. tr16.wav are
    std::array<bool, kTrackCount> tracks{}; // ticked tracks, TR1 first
};

// --- The export command, before the job runs ---

enum class ExportCommand {
    Run,          // the song exists and the user agreed to add to it
    RunNewSong,   // the song was created; the page adds it to its list
    TooManySongs, // the card holds 99 songs already (message shown; the page selects song 0)
    Stopped,      // refused or declined (any message shown); nothing written
};

// The checks and questions of the Export button: the card still there, new or existing song, the
// 99-song limit, the write test, the question, and for a new song its creation. A new song is asked for
// only when the ticked files pass the checks of CheckTracks at the rate of the lowest-numbered ticked
// file (the rate the song is made with), so that no song is made that the export would then refuse.
ExportCommand PrepareExport(const ExportParams& params, platform::IMessageBox* box);

// --- Parts of the job, also used by the page ---

// Bytes free to the caller on the card; 0 when there is no card text or it cannot be asked.
uint64_t GetFreeSpace(const std::string& card);
// Bytes the export writes: per ticked track, the audio offset of our files plus the source's data size.
uint64_t GetTransferSize(const std::string& pcFolder, const std::array<bool, kTrackCount>& tracks);
// True when every ticked file is mono, 16-bit and at the song's rate; otherwise tells why (a ticked file
// that is not there is named).
bool CheckTracks(const ExportParams& params, platform::IMessageBox* box);

// --- The job ---

enum class ExportOutcome {
    Finished,  // every ticked track was handled (exported, or empty and skipped)
    Refused,   // the inputs (or a card or song gone) do not allow it (message shown, nothing written)
    Failed,    // a write failed (message shown); earlier tracks keep their files and events
    Cancelled, // the file being written was deleted; later tracks were not copied
};

struct ExportResult : platform::JobResult<ExportOutcome> {
    std::vector<int> written;       // tracks whose file and event are in the song
    std::vector<std::string> files; // their new file names, in the same order
    std::vector<int> skipped;       // ticked tracks with no audio: no file, no event
};

// Runs the whole export and returns when it is over. The copies, messages and questions happen on the
// calling thread; a helper thread puts each copied file on the card and adds its event while the next
// track is copied. `page` receives the transfer messages; without one the job moves `progress` itself.
// Every pointer may be null.
ExportResult RunExport(const ExportParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// The export behind the progress dialog; its status line shows the track being copied.
using CExportJob = platform::CFunctionJob<ExportParams, ExportResult, RunExport>;

} // namespace card
