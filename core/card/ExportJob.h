#pragma once
// The export ("PC to ZT"): copies tr01.wav .. tr16.wav of a PC folder into a song on the card as new
// audio files, each entered as a Cut in the song's event list; where the user asked for it, files of
// another format are converted into the song's on the way (ExportPlan.h). The page and the command
// line gather the inputs, run the export command's checks, and run the job behind a progress dialog.
//
// A song is never lost on the way: every audio file is complete and on the card before the event
// naming it is added, and the ADL file changes only by an atomic replace, so a failed write at any
// point leaves a song that opens, with an event for every complete file and none for any other.

#include "card/CardRules.h"
#include "card/ExportPlan.h"
#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace card {

// --- The export command, before the job runs ---

enum class ExportCommand {
    Run,          // the song exists and the user agreed to add to it
    RunNewSong,   // the song was created; the page adds it to its list
    TooManySongs, // the card holds 99 songs already (message shown; the page selects song 0)
    Stopped,      // refused or declined (any message shown); nothing written
};

// What the export command found about the files' formats.
struct ExportDecision {
    bool convert = false; // the job converts the files the format check refuses (run it with Convert)
    // The last plan made: after a refusal that a conversion would take, that conversion (what the
    // terminal names when --convert was not given).
    ExportPlan plan;
};

// The checks and questions of the Export button: the card still there, new or existing song, the
// 99-song limit, the write test, the question, for a new song its creation, and the format check of
// the ticked files (for a new song before its question, so that no song is made that the export would
// then refuse; for an existing song after it). When the check refuses a file: with Refuse the user is
// told why; with Ask the user is told, then asked whether to convert every refused file (when each can
// be); with Convert they are converted without a word. A new song made for converted files takes
// NewSongRateForConversion of its first file's rate.
ExportCommand PrepareExport(const ExportParams& params, platform::IMessageBox* box,
                            ExportDecision* decision = nullptr);

// --- Parts of the job, also used by the page ---

// Bytes free to the caller on the card; 0 when there is no card text or it cannot be asked.
uint64_t GetFreeSpace(const std::string& card);
// Bytes the export writes: per ticked track, the audio offset of our files plus the source's data size.
uint64_t GetTransferSize(const std::string& pcFolder, const std::array<bool, kTrackCount>& tracks);
// The same for the export of `params`: with Convert, a converted file counts at its converted size (two
// files for a stereo file that is split).
uint64_t GetTransferSize(const ExportParams& params);
// True when every ticked file is mono, 16-bit and at the song's rate, or, with Convert, can be converted
// into it; otherwise tells why (a ticked file that is not there is named).
bool CheckTracks(const ExportParams& params, platform::IMessageBox* box);

// --- The job ---

enum class ExportOutcome {
    Finished,  // every ticked track was handled (exported, or empty and skipped)
    Refused,   // the inputs (or a card or song gone) do not allow it (message shown, nothing written)
    Failed,    // a write failed (message shown); earlier tracks keep their files and events
    Cancelled, // the file being written was deleted; later tracks were not copied
};

struct ExportResult : platform::JobResult<ExportOutcome> {
    std::vector<int> written;       // tracks whose file and event are in the song (both of a split)
    std::vector<std::string> files; // their new file names, in the same order
    std::vector<int> skipped;       // ticked tracks with no audio: no file, no event
};

// Runs the whole export and returns when it is over. A file is copied, or with Convert converted when the
// format check refuses it; either way it is written in full under one of this program's own names and
// takes its own name only when it is complete. The copies, messages and questions happen on the
// calling thread; a helper thread puts each copied file on the card and adds its event while the next
// track is copied. `page` receives the transfer messages; without one the job moves `progress` itself.
// Every pointer may be null.
ExportResult RunExport(const ExportParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// The export behind the progress dialog; its status line shows the track being copied.
using CExportJob = platform::CFunctionJob<ExportParams, ExportResult, RunExport>;

} // namespace card
