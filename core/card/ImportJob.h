#pragma once
// The import ("ZT to PC"): renders the ticked tracks of a song on the card into tr01.wav .. tr16.wav
// in a PC folder, asking before it replaces a file. A track's file is replaced only by a complete
// rendering: a cancelled or failed track leaves the file that was there. The page and the command line
// gather the inputs and run it as a progress job.

#include "card/CardRules.h"
#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <array>
#include <string>
#include <vector>

namespace card {

enum class ImportMode { All = 0, AB = 1 };

struct ImportParams {
    std::string card;                       // the card's root folder
    std::string song;                       // the song's folder name
    std::string pcFolder;                   // where the track files go
    std::array<bool, kTrackCount> tracks{}; // ticked tracks, TR1 first
    ImportMode mode = ImportMode::All;
};

enum class ImportOutcome {
    Finished,  // every ticked track was handled (written, skipped or empty)
    NoSong,    // the song folder has no ADL file: nothing done, nothing shown
    Refused,   // the inputs do not allow an import (message shown, nothing written)
    Failed,    // a read or write failed, or the card or song is gone (message shown); it stopped there
    Cancelled, // the track being written was removed; later tracks were not rendered
};

struct ImportResult : platform::JobResult<ImportOutcome> {
    std::vector<int> written; // tracks whose file is complete
    std::vector<int>
        skipped; // ticked tracks left alone (overwrite declined, nothing to render, foreign format)
    std::vector<int> empty; // those of the skipped tracks that had nothing to render
};

// Runs the whole import on the calling thread. `page` receives the transfer messages; without one the
// job moves `progress` itself from the byte totals. Every pointer may be null.
ImportResult RunImport(const ImportParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// The import behind the progress dialog; its status line shows the track being written.
using CImportJob = platform::CFunctionJob<ImportParams, ImportResult, RunImport>;

} // namespace card
