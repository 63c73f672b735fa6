#include "card/ImportJob.h"

#include "card/JobLock.h"
#include "card/TrackTransfer.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/TrackRenderer.h"
#include "wave/WaveFile.h"

namespace card {
namespace {

// Reads what every track of the song is rendered with: the mode and, in A-B mode, the locate points.
// Returns the message that refuses the song (unknown rate, A not before B), or empty.
std::string ReadSongStretch(const adl::CAdlFile& adl, ImportMode mode, wave::RenderRequest* request) {
    if (adl::SampleRateOfCode(adl.GetSampleRateCode()) == 0)
        return "Sampling Frequency not supported!";
    if (mode != ImportMode::AB)
        return {};
    request->mode = wave::RenderMode::AB;
    request->locateA = adl.GetLocateTime(1).GetSamples();
    request->locateB = adl.GetLocateTime(2).GetSamples();
    return request->locateA < request->locateB ? std::string() : "Invalid locate point !\nLocateA >= LocateB";
}

// The import of an opened song: for each ticked track, ask before its file is replaced, render it,
// and enter how it went in the result.
class CImporter {
public:
    // `song` holds what every track shares (song, order, mode, locate points, messages, cancel flag).
    CImporter(const ImportParams& params, const wave::RenderRequest& song, platform::IMessageBox* box,
              platform::ITextLine* status, ImportResult& result)
        : m_params(params), m_song(song), m_box(box), m_status(status), m_result(result) {}

    void Run() {
        for (int track = 1; track <= kTrackCount; ++track) {
            if (m_params.tracks[track - 1] && !ImportTrack(track))
                break;
        }
    }

private:
    // False when the import ends with this track.
    bool ImportTrack(int track) {
        if (platform::IsCancelled(m_song.cancel))
            return StopCancelled();
        if (m_status)
            m_status->SetText(platform::Format("ZT to PC   Track%d", track));
        wave::RenderRequest request = m_song;
        request.track = track;
        request.outputPath = TrackFilePath(m_params.pcFolder, track);
        if (!MayWrite(request.outputPath)) {
            m_result.skipped.push_back(track);
            return true;
        }
        if (!Report(track, wave::RenderTrack(request)))
            return false;
        return !platform::IsCancelled(m_song.cancel) || StopCancelled();
    }

    // True when the track's file may be written: there is none, or the user agreed to replace it
    // (the old one is removed then).
    bool MayWrite(const std::string& output) {
        if (!platform::PathExists(output))
            return true;
        if (!platform::Ask(m_box,
                           platform::Format("Overwrite wave file.\nAre you ok?\nfile : %s", output.c_str())))
            return false;
        platform::DeleteFile(output);
        return true;
    }

    // Enters a rendered track in the result; false when how it went ends the import.
    bool Report(int track, const wave::RenderResult& rendered) {
        switch (rendered.status) {
        case wave::RenderStatus::Complete:
            m_result.written.push_back(track);
            return true;
        case wave::RenderStatus::Empty:
            m_result.skipped.push_back(track);
            m_result.empty.push_back(track);
            return true;
        case wave::RenderStatus::FormatMismatch:
            // That track only: the others may be fine.
            m_result.skipped.push_back(track);
            platform::Tell(m_box, "Bit digit not matched!");
            return true;
        case wave::RenderStatus::Cancelled:
            return StopCancelled();
        case wave::RenderStatus::WriteFailed:
            return Stop(ImportOutcome::Failed, WaveWriteErrorText(rendered.path));
        case wave::RenderStatus::SourceFailed:
            return Stop(ImportOutcome::Failed, WaveReadErrorText(rendered.path));
        case wave::RenderStatus::UnknownRate:
            return Stop(ImportOutcome::Refused, "Sampling Frequency not supported!");
        }
        return true;
    }

    bool Stop(ImportOutcome outcome, const std::string& text) {
        m_result = platform::StopJob(m_result, outcome, m_box, text);
        return false;
    }
    bool StopCancelled() {
        m_result.outcome = ImportOutcome::Cancelled;
        return false;
    }

    const ImportParams& m_params;
    const wave::RenderRequest& m_song;
    platform::IMessageBox* m_box;
    platform::ITextLine* m_status;
    ImportResult& m_result;
};

} // namespace

ImportResult RunImport(const ImportParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page) {
    ImportResult result;
    if (progress)
        progress->SetPos(0);
    // The tree's root item has no path: never write track files into the file system's root.
    if (params.pcFolder.empty())
        return platform::StopJob(result, ImportOutcome::Refused, box, "Please select PC folder.");

    // No writer changes the song while its tracks are read.
    CJobLock lock;
    const CJobLock::Result locked = lock.LockSong(params.card, params.song, CJobLock::Use::Read);
    if (const std::string text = InUseText(locked, params.card, params.song); !text.empty())
        return platform::StopJob(result, ImportOutcome::Refused, box, text);
    const std::string adlPath = AdlPath(params.card, params.song);
    if (!platform::PathExists(adlPath)) {
        result.outcome = ImportOutcome::NoSong;
        return result;
    }
    adl::CAdlFile adl;
    if (!adl.Open(adlPath, true))
        return platform::StopJob(result, ImportOutcome::Failed, box, "Can not open ADL file!");
    wave::RenderRequest song;
    const std::string problem = ReadSongStretch(adl, params.mode, &song);
    if (!problem.empty()) {
        adl.Close();
        return platform::StopJob(result, ImportOutcome::Refused, box, problem);
    }

    const std::vector<int> order = wave::BuildEntryOrder(adl);
    CTransferBar bar(progress, CTransferBar::Follow::BytesTotal);
    song.adl = &adl;
    song.order = &order;
    song.songFolder = SongFolderPath(params.card, params.song);
    song.notify = page ? page : &bar;
    song.progress = progress;
    song.cancel = cancel;
    CImporter(params, song, box, status, result).Run();
    adl.Close();
    return result;
}

} // namespace card
