#include "card/ImportJob.h"

#include "card/JobLock.h"
#include "card/TrackTransfer.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
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
        RemoveEndedRenderings(m_params.pcFolder);
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
        const std::string output = TrackFilePath(m_params.pcFolder, track);
        const bool replacing = platform::PathExists(output);
        if (replacing &&
            !platform::Ask(
                m_box, platform::Format("Overwrite wave file.\nAre you ok?\nfile : %s", output.c_str()))) {
            m_result.skipped.push_back(track);
            return true;
        }
        wave::RenderRequest request = m_song;
        request.track = track;
        wave::RenderResult rendered = RenderBeside(request, output, replacing);
        if (rendered.status == wave::RenderStatus::WriteFailed)
            rendered.path = output; // the user knows the file by its own name
        if (!Report(track, rendered))
            return false;
        return !platform::IsCancelled(m_song.cancel) || StopCancelled();
    }

    // Renders the track into a folder of this program's own beside `output` (no "*.wav" listing of the
    // PC folder shows it), and puts the file in the place of `output` only when it is complete: a file
    // the user had stays until then, and after a cancel or a failure. Where there was none, a failed
    // track keeps what was written of it, as the user is told.
    static wave::RenderResult RenderBeside(wave::RenderRequest& request, const std::string& output,
                                           bool replacing) {
        const std::string folder =
            platform::JoinPath(platform::DirName(output), platform::NewOwnName("import"));
        const bool made = platform::CreateDirectory(folder);
        // Without its folder the file cannot be made: a track with audio fails to be written, while one
        // with nothing to render is skipped as before.
        request.outputPath = platform::JoinPath(folder, platform::BaseName(output));
        wave::RenderResult rendered = wave::RenderTrack(request);
        const bool complete = rendered.status == wave::RenderStatus::Complete;
        const bool part = rendered.status == wave::RenderStatus::WriteFailed ||
                          rendered.status == wave::RenderStatus::SourceFailed;
        if (!made) {
            // Nothing rendered here may stay: the name may be that of a folder an earlier run left.
            if (complete || part)
                platform::DeleteFile(request.outputPath);
            if (complete)
                rendered.status = wave::RenderStatus::WriteFailed;
            return rendered;
        }
        if (complete && !PutInPlace(request.outputPath, output))
            rendered.status = wave::RenderStatus::WriteFailed;
        else if (part && !replacing)
            platform::RenameNoReplace(request.outputPath, output);
        platform::RemoveTree(folder);
        return rendered;
    }

    // The folders RenderBeside made in the PC folder for imports that were killed or lost their power
    // before they could remove them. Those of a run still going are left alone.
    static void RemoveEndedRenderings(const std::string& pcFolder) {
        const std::string pattern = std::string(platform::kOwnNamePrefix) + "import-*";
        for (const platform::FindEntry& entry : platform::FindFiles(pcFolder, pattern)) {
            if ((entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) &&
                platform::IsOwnNameOfEndedProcess(entry.name))
                platform::RemoveTree(platform::JoinPath(pcFolder, entry.name));
        }
    }

    // Replaces (or makes) `output` by the complete rendering, which is on the disk first, so that no
    // crash can leave the name holding less than a whole file.
    static bool PutInPlace(const std::string& rendering, const std::string& output) {
        platform::File file;
        if (!file.Open(rendering, platform::Access::Read, platform::Disposition::OpenExisting) ||
            !file.Sync())
            return false;
        file.Close();
        return platform::RenameReplace(rendering, output);
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
            // The song's files are read while the import runs: the card may have been pulled out.
            if (std::string missing = SongMissingText(m_params.card, m_params.song); !missing.empty())
                return Stop(ImportOutcome::Failed, missing);
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
        // A card pulled out, or a song removed, since the song was chosen.
        if (std::string missing = SongMissingText(params.card, params.song); !missing.empty())
            return platform::StopJob(result, ImportOutcome::Failed, box, missing);
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
