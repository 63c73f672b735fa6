#include "card/ImportJob.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/TrackRenderer.h"
#include "wave/WaveFile.h"

namespace card {
namespace {

// Moves the bar from the byte totals when no page window handles them.
class CBarTarget : public platform::IMessageTarget {
public:
    explicit CBarTarget(platform::IProgressBar* bar) : m_bar(bar) {}
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t) override {
        if (message == wave::WM_TRANSFER_TOTAL && m_bar)
            m_bar->SetPos(static_cast<int64_t>(wParam));
        return 0;
    }
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override { Send(message, wParam, lParam); }

private:
    platform::IProgressBar* m_bar;
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

    const std::string adlPath = AdlPath(params.card, params.song);
    if (!platform::PathExists(adlPath)) {
        result.outcome = ImportOutcome::NoSong;
        return result;
    }
    adl::CAdlFile adl;
    if (!adl.Open(adlPath, true))
        return platform::StopJob(result, ImportOutcome::Failed, box, "Can not open ADL file!");
    if (adl::SampleRateOfCode(adl.GetSampleRateCode()) == 0) {
        adl.Close();
        return platform::StopJob(result, ImportOutcome::Refused, box, "Sampling Frequency not supported!");
    }
    uint32_t locateA = 0, locateB = 0;
    if (params.mode == ImportMode::AB) {
        locateA = adl.GetLocateTime(1).GetSamples();
        locateB = adl.GetLocateTime(2).GetSamples();
        if (locateA >= locateB) {
            adl.Close();
            return platform::StopJob(result, ImportOutcome::Refused, box,
                                     "Invalid locate point !\nLocateA >= LocateB");
        }
    }
    const std::vector<int> order = wave::BuildEntryOrder(adl);
    CBarTarget barTarget(progress);

    for (int track = 1; track <= kTrackCount; ++track) {
        if (!params.tracks[track - 1])
            continue;
        if (platform::IsCancelled(cancel)) {
            result.outcome = ImportOutcome::Cancelled;
            break;
        }
        if (status)
            status->SetText(platform::Format("ZT to PC   Track%d", track));
        const std::string output = TrackFilePath(params.pcFolder, track);
        if (platform::PathExists(output)) {
            if (!platform::Ask(
                    box, platform::Format("Overwrite wave file.\nAre you ok?\nfile : %s", output.c_str()))) {
                result.skipped.push_back(track);
                continue;
            }
            platform::DeleteFile(output);
        }

        wave::RenderRequest request;
        request.adl = &adl;
        request.order = &order;
        request.track = track;
        request.mode = params.mode == ImportMode::AB ? wave::RenderMode::AB : wave::RenderMode::All;
        request.locateA = locateA;
        request.locateB = locateB;
        request.songFolder = SongFolderPath(params.card, params.song);
        request.outputPath = output;
        request.notify = page ? page : &barTarget;
        request.progress = progress;
        request.cancel = cancel;
        const wave::RenderResult rendered = wave::RenderTrack(request);

        bool stop = false;
        switch (rendered.status) {
        case wave::RenderStatus::Complete:
            result.written.push_back(track);
            break;
        case wave::RenderStatus::Empty:
            result.skipped.push_back(track);
            break;
        case wave::RenderStatus::FormatMismatch:
            // That track only: the others may be fine.
            result.skipped.push_back(track);
            platform::Tell(box, "Bit digit not matched!");
            break;
        case wave::RenderStatus::Cancelled:
            result.outcome = ImportOutcome::Cancelled;
            stop = true;
            break;
        case wave::RenderStatus::WriteFailed:
            result = platform::StopJob(
                result, ImportOutcome::Failed, box,
                platform::Format("Wave file write error !\nfile : %s", rendered.path.c_str()));
            stop = true;
            break;
        case wave::RenderStatus::SourceFailed:
            result = platform::StopJob(
                result, ImportOutcome::Failed, box,
                platform::Format("Can not read wave file!\nfile : %s", rendered.path.c_str()));
            stop = true;
            break;
        case wave::RenderStatus::UnknownRate:
            result =
                platform::StopJob(result, ImportOutcome::Refused, box, "Sampling Frequency not supported!");
            stop = true;
            break;
        }
        if (stop)
            break;
        if (platform::IsCancelled(cancel)) {
            result.outcome = ImportOutcome::Cancelled;
            break;
        }
    }
    adl.Close();
    return result;
}

} // namespace card
