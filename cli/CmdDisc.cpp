// pelmora-cli cd-image / recorders / burn / erase / eject: audio CDs through the same disc service and
// jobs as the CD writer page, on a real recorder or into a CUE/BIN image.

#include "Cancel.h"
#include "Commands.h"
#include "Json.h"
#include "Terminal.h"

#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/EraseJob.h"
#include "cdwriter/ImageDiscBackend.h"
#include "cdwriter/SystemDiscBackend.h"
#include "cdwriter/TrackInfo.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <cstdlib>

namespace cli {
namespace {

// Cancel cannot be taken back once recording starts; the terminal just says so. An image is only a
// file being written: there is nothing to say.
class TerminalCancelControl : public platform::ICancelControl {
public:
    explicit TerminalCancelControl(bool image) : m_image(image) {}
    void EnableCancel(int enable) override {
        if (!enable && !m_image)
            Note("Recording: it can no longer be cancelled.");
    }

private:
    bool m_image;
};

// The burn job's lines as they read when the recorder is an image: nothing is burnt, a file is
// written.
class ImageWords : public platform::ITextLine {
public:
    explicit ImageWords(platform::ITextLine* target) : m_target(target) {}
    void SetText(const std::string& text) override { m_target->SetText(ImageText(text)); }

private:
    static std::string ImageText(const std::string& text) {
        static const std::string kTrack = "Burning Track";
        if (text == "Please do not boot other applications while burning.")
            return "Writing the CD image";
        if (text == "Preparing to burn a disc..")
            return "Preparing the image..";
        if (text == "Closing disc..")
            return "Finishing the image..";
        if (text.rfind(kTrack, 0) == 0)
            return "Writing track " + text.substr(kTrack.size());
        return text;
    }

    platform::ITextLine* m_target;
};

bool CheckTracks(const std::vector<std::string>& paths, std::vector<cdwriter::BurnTrack>* tracks) {
    for (const auto& path : paths) {
        if (!platform::PathExists(path)) {
            Complain(path + ": no such file");
            return false;
        }
        if (!cdwriter::IsCdAudioFile(path)) {
            Complain(path + " is not a 44.1 kHz 16-bit stereo WAV file");
            return false;
        }
        cdwriter::WaveTrackSizes sizes;
        if (cdwriter::ReadWaveTrackSizes(path, &sizes) && cdwriter::IsShorterThanCdMinimum(sizes.dataSize))
            Complain("warning: " + path +
                     " lasts less than the 4 seconds of a CD track; it is padded with silence to 4 seconds");
        tracks->push_back({platform::BaseName(path), path});
    }
    return true;
}

// Burns the tracks on the recorder, or writes them into the image when `image`.
int RunBurnJob(cdwriter::IDiscBackend* backend, int recorderIndex, const std::string& recorderName,
               const std::vector<cdwriter::BurnTrack>& tracks, bool yes, bool image = false) {
    cdwriter::BurnParams params;
    params.backend = backend;
    params.recorderIndex = recorderIndex;
    params.recorderName = recorderName;
    params.tracks = tracks;
    TerminalMessageBox box(yes);
    TerminalCancelControl cancelControl(image);
    TerminalProgress progress;
    TerminalDetail detail;
    ImageWords imageStatus(&progress), imageDetail(&detail);
    platform::ITextLine* status = image ? static_cast<platform::ITextLine*>(&imageStatus) : &progress;
    platform::ITextLine* details = image ? static_cast<platform::ITextLine*>(&imageDetail) : &detail;
    cdwriter::CBurnJob job(params, &box, &cancelControl);
    job.RunJob(details, status, &progress, InstallCancelOnInterrupt());
    progress.Finish();
    switch (job.Result().outcome) {
    case cdwriter::BurnOutcome::Burned:
        return kExitOk;
    case cdwriter::BurnOutcome::Cancelled:
        Complain(image ? "cancelled; no image was written" : "cancelled; nothing was recorded");
        return CancelledExitStatus();
    default:
        return kExitFailure;
    }
}

// An image already under the name is replaced only when the user agrees (--yes, or y on a terminal).
bool MayReplaceImage(const cdwriter::CImageDiscBackend& backend, bool yes) {
    std::vector<std::string> there;
    for (const std::string& path : {backend.CuePath(), backend.BinPath()}) {
        if (platform::PathExists(path))
            there.push_back(path);
    }
    if (there.empty())
        return true;
    TerminalMessageBox box(yes);
    const std::string which = there.size() == 2 ? there[0] + " and " + there[1] : there[0];
    if (box.Show("The CD image " + which + (there.size() == 2 ? " are" : " is") +
                     " there already.\nReplace it?",
                 platform::MbButtons::OkCancel) == platform::MbResult::Ok)
        return true;
    if (!box.Unanswered())
        Complain("the image was left as it was");
    return false;
}

// The recorder named by its list name or its index in `pelmora-cli recorders`; -1 when none.
int FindRecorder(cdwriter::CDiscMaster& master, const std::string& which, std::string* name) {
    for (int i = 0; i < master.GetRecorderCount(); ++i) {
        std::string listed;
        master.GetRecorderName(i, &listed);
        char* end = nullptr;
        const long index = std::strtol(which.c_str(), &end, 10);
        if (listed == which || (!which.empty() && *end == '\0' && index == i)) {
            *name = listed;
            return i;
        }
    }
    Complain("no recorder " + which + "; 'pelmora-cli recorders' lists them");
    return -1;
}

} // namespace

int RunCdImage(const Args& args) {
    const std::string& folder = args.positional[0];
    const std::string& name = args.positional[1];
    if (!cdwriter::CImageDiscBackend::IsUsableBaseName(name)) {
        Complain("the image name must be a plain file name without double quotes");
        return kExitUsage;
    }
    std::vector<cdwriter::BurnTrack> tracks;
    if (!CheckTracks({args.positional.begin() + 2, args.positional.end()}, &tracks))
        return kExitFailure;
    if (!platform::IsDirectory(folder) && !platform::CreateDirectory(folder)) {
        Complain("cannot create the folder " + folder);
        return kExitFailure;
    }
    cdwriter::CImageDiscBackend backend(folder, name);
    if (!MayReplaceImage(backend, args.Has("--yes")))
        return kExitFailure;
    const int status = RunBurnJob(&backend, 0, {}, tracks, args.Has("--yes"), true);
    if (status == kExitOk) {
        std::printf("%s\n%s\n", backend.CuePath().c_str(), backend.BinPath().c_str());
    }
    return status;
}

int RunRecorders(const Args& args) {
    cdwriter::CSystemDiscBackend backend({});
    cdwriter::CDiscMaster master(&backend);
    if (!master.InitDiscMaster()) {
        Complain(master.GetErrorText());
        return kExitFailure;
    }
    JsonWriter json;
    json.BeginObject().Key("recorders").BeginArray();
    for (int i = 0; i < master.GetRecorderCount(); ++i) {
        std::string name;
        master.GetRecorderName(i, &name);
        if (args.Has("--json"))
            json.BeginObject().Key("index").Number(i).Key("name").String(name).EndObject();
        else
            std::printf("%d\t%s\n", i, name.c_str());
    }
    if (args.Has("--json"))
        json.EndArray().EndObject().Print();
    else if (master.GetRecorderCount() == 0)
        Note("No CD recorder found.");
    master.ReleaseDiscMaster();
    return kExitOk;
}

int RunBurn(const Args& args) {
    std::vector<cdwriter::BurnTrack> tracks;
    if (!CheckTracks({args.positional.begin() + 1, args.positional.end()}, &tracks))
        return kExitFailure;
    cdwriter::CSystemDiscBackend backend({});
    int index = -1;
    std::string name;
    {
        cdwriter::CDiscMaster master(&backend);
        if (!master.InitDiscMaster()) {
            Complain(master.GetFailureText());
            return kExitFailure;
        }
        index = FindRecorder(master, args.positional[0], &name);
        master.ReleaseDiscMaster();
    }
    if (index < 0)
        return kExitFailure;
    return RunBurnJob(&backend, index, name, tracks, args.Has("--yes"));
}

int RunErase(const Args& args) {
    cdwriter::CSystemDiscBackend backend({});
    cdwriter::EraseParams params;
    params.backend = &backend;
    params.full = args.Has("--full");
    {
        cdwriter::CDiscMaster master(&backend);
        if (!master.InitDiscMaster()) {
            Complain(master.GetFailureText());
            return kExitFailure;
        }
        params.driveIndex = FindRecorder(master, args.positional[0], &params.driveName);
        master.ReleaseDiscMaster();
        if (params.driveIndex < 0)
            return kExitFailure;
    }
    TerminalMessageBox box(true);
    TerminalProgress progress;
    TerminalDetail detail;
    cdwriter::CEraseJob job(params, &box);
    job.RunJob(&detail, &progress, &progress, nullptr);
    progress.Finish();
    return job.Result().outcome == cdwriter::EraseOutcome::Erased ? kExitOk : kExitFailure;
}

int RunEject(const Args& args) {
    cdwriter::CSystemDiscBackend backend({});
    cdwriter::CDiscMaster master(&backend);
    if (!master.InitDiscMaster()) {
        Complain(master.GetErrorText());
        return kExitFailure;
    }
    std::string name;
    const int index = FindRecorder(master, args.positional[0], &name);
    int status = kExitFailure;
    if (index >= 0) {
        if (master.SelectRecorder(index) && master.EjectDisc())
            status = kExitOk;
        else
            Complain(master.GetFailureText());
    }
    master.ReleaseDiscMaster();
    return status;
}

} // namespace cli
