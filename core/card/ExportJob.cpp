#include "card/ExportJob.h"

#include "adl/AdlFile.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "card/NewSong.h"
#include "card/SongName.h"
#include "card/TrackSource.h"
#include "card/TrackTransfer.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "platform/Writeback.h"
#include "wave/Convert.h"
#include "wave/Riff.h"
#include "wave/TrackRenderer.h"
#include "wave/WaveFile.h"

#include <cstring>
#include <memory>
#include <set>
#include <thread>

namespace card {
namespace {

// Passes the transfer messages on and keeps the card writing while the copy goes on, so that the
// Sync at the end of each file does not wait for all of it.
class CCopyTarget : public platform::IMessageTarget {
public:
    CCopyTarget(platform::IMessageTarget* next, const std::vector<std::string>& dests) : m_next(next) {
        for (const std::string& dest : dests)
            m_writebacks.push_back(std::make_unique<platform::CWriteback>(dest));
    }
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        Follow(message, wParam);
        return m_next ? m_next->Send(message, wParam, lParam) : 0;
    }
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override { Send(message, wParam, lParam); }
    void Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) override {
        Follow(message, wParam);
        if (m_next)
            m_next->Notify(message, wParam, lParam, notice);
    }

private:
    void Follow(unsigned message, uintptr_t wParam) {
        if (message == wave::WM_TRANSFER_POS && wParam >= m_started + kWritebackStep) {
            m_started = wParam;
            for (const auto& writeback : m_writebacks)
                writeback->Start();
        }
    }

    static constexpr uintptr_t kWritebackStep = 2u << 20;
    platform::IMessageTarget* m_next;
    std::vector<std::unique_ptr<platform::CWriteback>> m_writebacks;
    uintptr_t m_started = 0;
};

// Removes a file the song must not keep, and makes its removal durable.
void RemoveFromCard(const std::string& path) {
    platform::DeleteFile(path);
    platform::SyncDirectory(platform::DirName(path));
}

bool SyncFile(const std::string& path) {
    platform::File file;
    return file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting) && file.Sync();
}

// A WAVE_FORMAT_EXTENSIBLE source whose sub-format is PCM.
bool IsExtensiblePcm(const std::string& path) {
    static const uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    platform::File file;
    if (!file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting))
        return false;
    wave::ChunkInfo riff, fmt;
    riff.formType = wave::kWaveId;
    fmt.id = wave::kFmtId;
    uint8_t format[40];
    if (file.Seek(0, platform::Whence::Begin) != 0 ||
        !wave::Descend(file, &riff, nullptr, wave::FindKind::Riff) ||
        !wave::Descend(file, &fmt, &riff, wave::FindKind::Chunk) || fmt.size < sizeof format ||
        file.Read(format, sizeof format) != static_cast<int64_t>(sizeof format))
        return false;
    return wave::ReadLe16(format) == 0xFFFE && std::memcmp(format + 24, kPcmSubFormat, 16) == 0;
}

enum class CopyStatus { Copied, Cancelled, WriteFailed, SourceFailed };

// Copies source into the new file dest. Anything but Copied leaves no file at dest; Copied means the
// file is complete (its commit puts it on the card).
CopyStatus CopyTrack(const std::string& source, const std::string& dest, const platform::CancelFlag* cancel,
                     platform::IMessageTarget* target, uint32_t* dataSize) {
    wave::CWaveFile file;
    file.SetCancelFlag(cancel);
    // Create leaves nothing behind when it fails, and never touches a file that is already there.
    if (!file.Create(dest, 2, 16, 44100))
        return CopyStatus::WriteFailed;
    CCopyTarget copyTarget(target, {dest});
    file.SetNotify(&copyTarget, 0);
    const int imported = file.ImportFile(source);
    CopyStatus status = CopyStatus::Copied;
    if (platform::IsCancelled(cancel)) {
        status = CopyStatus::Cancelled;
    } else if (!imported) {
        status = file.GetLastError() == wave::CWaveFile::ERR_WRITE ? CopyStatus::WriteFailed
                                                                   : CopyStatus::SourceFailed;
    } else {
        // The recorder reads only a plain PCM format chunk.
        uint16_t tag = 0, channels = 0, bits = 0;
        uint32_t rate = 0;
        if (!file.GetFormatTag(&tag) ||
            (tag == 0xFFFE && IsExtensiblePcm(source) &&
             !(file.GetFormat(&channels, &bits, &rate) && file.SetFormat(channels, bits, rate))))
            status = CopyStatus::WriteFailed;
        // A size that cannot be read back is no empty source: the track must not vanish unreported.
        *dataSize = file.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
        if (*dataSize == 0 && file.GetLastError() != 0)
            status = CopyStatus::WriteFailed;
    }
    if (!file.Close() && status == CopyStatus::Copied)
        status = CopyStatus::WriteFailed;
    if (status != CopyStatus::Copied)
        RemoveFromCard(dest);
    return status;
}

// Samples that come out exact in 16 bits need no dither: an integer source of 16 bits or fewer, neither
// mixed nor at another rate.
bool NeedsDither(const wave::PcAudioFormat& format, bool mixed, uint32_t songRate) {
    return format.isFloat || format.bits == 0 || format.bits > 16 || format.rate != songRate || mixed;
}

CopyStatus ConvertStatusOf(wave::ConvertStatus status) {
    switch (status) {
    case wave::ConvertStatus::Done:
        return CopyStatus::Copied;
    case wave::ConvertStatus::Cancelled:
        return CopyStatus::Cancelled;
    case wave::ConvertStatus::ReadFailed:
        return CopyStatus::SourceFailed;
    case wave::ConvertStatus::WriteFailed:
        break;
    }
    return CopyStatus::WriteFailed;
}

// Converts the planned source into the new files `dests` (one, or two for a split), mono 16-bit at the
// song's rate. As CopyTrack: anything but Copied leaves none of them; *failed is the file a write
// failed on, *lengths the samples of each file.
CopyStatus ConvertTrack(const TrackPlan& plan, uint32_t songRate, const std::vector<std::string>& dests,
                        const platform::CancelFlag* cancel, platform::IMessageTarget* target,
                        std::vector<uint32_t>* lengths, size_t* failed) {
    wave::CPcAudioReader reader;
    if (!reader.Open(plan.source))
        return CopyStatus::SourceFailed;
    std::vector<std::unique_ptr<wave::CWaveFile>> files;
    std::vector<wave::CWaveFile*> outputs;
    CopyStatus status = CopyStatus::Copied;
    for (size_t i = 0; i < dests.size() && status == CopyStatus::Copied; ++i) {
        files.push_back(std::make_unique<wave::CWaveFile>());
        outputs.push_back(files.back().get());
        if (!files.back()->Create(dests[i], 1, 16, songRate)) {
            status = CopyStatus::WriteFailed;
            *failed = i;
        }
    }
    if (status == CopyStatus::Copied) {
        CCopyTarget copyTarget(target, dests);
        // The file as it is now; one that no longer has the channels it was planned with is refused
        // by the conversion.
        wave::ConvertSpec spec;
        spec.rate = songRate;
        spec.mix = reader.Format().channels == 2 && plan.rightTrack == 0;
        spec.dither = NeedsDither(reader.Format(), spec.mix, songRate);
        spec.seed = static_cast<uint32_t>(plan.track);
        status = ConvertStatusOf(wave::ConvertAudio(reader, spec, outputs, cancel, &copyTarget, failed));
        if (platform::IsCancelled(cancel))
            status = CopyStatus::Cancelled;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        wave::CWaveFile& file = *files[i];
        const uint32_t size =
            status == CopyStatus::Copied ? file.GetChunkSize(wave::CWaveFile::CHUNK_DATA) : 0;
        if (status == CopyStatus::Copied && size == 0 && file.GetLastError() != 0) {
            status = CopyStatus::WriteFailed;
            *failed = i;
        }
        lengths->push_back(size / 2);
        if (file.IsOpen() && !file.Close() && status == CopyStatus::Copied) {
            status = CopyStatus::WriteFailed;
            *failed = i;
        }
    }
    if (status != CopyStatus::Copied) {
        for (const std::string& dest : dests)
            RemoveFromCard(dest);
    }
    return status;
}

// A copied file on its way into the song: copied under one of this program's own names (`part`), it
// takes its own name (`dest`) only when it is complete and on the card, right before its event names it.
struct Commit {
    int track = 0;
    std::string name;
    std::string dest;
    std::string part;
    uint32_t length = 0;
};

enum class CommitStatus { Done, SyncFailed, AdlFailed };

// Makes a copied file part of the song: first on the card under its own name, then named by a new Cut
// from 0 to its length on its track. A failure removes the file, so that the song holds it only with
// its event. The rename reaches the card with the folder's sync; the ADL's replace syncs it again.
CommitStatus CommitTrack(adl::CAdlFile& adl, const Commit& commit, uint8_t frameKind, uint8_t rateKind) {
    CommitStatus status = CommitStatus::Done;
    if (!SyncFile(commit.part) || !platform::RenameNoReplace(commit.part, commit.dest)) {
        RemoveFromCard(commit.part);
        status = CommitStatus::SyncFailed;
    } else {
        adl::AdlEvent event;
        event.m_editType = adl::EditType::Cut;
        event.m_sourceKind = adl::SourceKind::File;
        std::snprintf(event.m_sourceName, sizeof event.m_sourceName, "%s", commit.name.c_str());
        event.m_sourceChannel = 1;
        event.m_destChannel = static_cast<uint8_t>(commit.track);
        event.m_sourceIn.Set(0, frameKind, rateKind);
        event.m_destIn.Set(0, frameKind, rateKind);
        event.m_destOut.Set(commit.length, frameKind, rateKind);
        event.m_flag = adl::EventFlag::Plain;
        if (!adl.AddEvent(event))
            status = CommitStatus::AdlFailed;
    }
    if (status != CommitStatus::Done)
        RemoveFromCard(commit.dest);
    return status;
}

// Runs the commits of one track (two files for a stereo file split) beside the copy of the next track,
// so that waiting for the card overlaps with copying. Commits finish in track order, and the files of
// one track in their order; only this object touches the ADL while they run.
class CCommitter {
public:
    CCommitter(adl::CAdlFile& adl, uint8_t frameKind, uint8_t rateKind)
        : m_adl(adl), m_frameKind(frameKind), m_rateKind(rateKind) {}
    ~CCommitter() { Finish(); }
    CCommitter(const CCommitter&) = delete;
    CCommitter& operator=(const CCommitter&) = delete;

    // Call only after Finish has collected the previous commits.
    void Start(std::vector<Commit> commits) {
        m_commits = std::move(commits);
        m_done = 0;
        m_status = CommitStatus::Done;
        m_pending = true;
        try {
            m_worker = std::thread([this] { Run(); });
        } catch (...) {
            Run(); // no thread to be had: commit here
        }
    }
    // Waits for the commits in flight; *done receives those in the song. False when one failed; *failed
    // then holds it and its status.
    bool Finish(std::vector<Commit>* done = nullptr, Commit* failed = nullptr,
                CommitStatus* status = nullptr) {
        if (!m_pending)
            return true;
        m_pending = false;
        if (m_worker.joinable())
            m_worker.join();
        if (done)
            done->assign(m_commits.begin(), m_commits.begin() + static_cast<std::ptrdiff_t>(m_done));
        if (failed && m_done < m_commits.size())
            *failed = m_commits[m_done];
        if (status)
            *status = m_status;
        return m_status == CommitStatus::Done;
    }

private:
    void Run() {
        for (; m_done < m_commits.size(); ++m_done) {
            try {
                m_status = CommitTrack(m_adl, m_commits[m_done], m_frameKind, m_rateKind);
            } catch (...) {
                m_status = CommitStatus::AdlFailed; // out of memory: the ADL was not replaced
            }
            if (m_status != CommitStatus::Done)
                break;
        }
        // The files after a failed one would belong to nothing.
        for (size_t i = m_done + 1; i < m_commits.size(); ++i)
            RemoveFromCard(m_commits[i].part);
    }

    adl::CAdlFile& m_adl;
    uint8_t m_frameKind;
    uint8_t m_rateKind;
    std::thread m_worker;
    std::vector<Commit> m_commits;
    size_t m_done = 0;
    CommitStatus m_status = CommitStatus::Done;
    bool m_pending = false;
};

// True when the file holds more audio than a WAV header's 32-bit size can count: the size it gives has
// wrapped, and a copy by it would keep a few seconds of the track without a word.
bool SizeHasWrapped(const std::string& path) {
    platform::File file;
    wave::ChunkInfo riff, data;
    riff.formType = wave::kWaveId;
    data.id = wave::kDataId;
    // The RIFF size wrapped too, so the data chunk is looked for up to the end of the file.
    return file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting) &&
           wave::Descend(file, &riff, nullptr, wave::FindKind::Riff) &&
           wave::Descend(file, &data, nullptr, wave::FindKind::Chunk) &&
           file.Size() - data.dataOffset > int64_t{0xFFFFFFFF};
}

// The message for the first ticked file too large for a WAV file, or empty.
std::string OversizedSource(const ExportParams& params) {
    for (int n = 1; n <= kTrackCount; ++n) {
        const std::string path = ExportSourcePath(params, n);
        if (params.tracks[n - 1] && SizeHasWrapped(path))
            return platform::Format("The wave file is larger than 4 GB.\nfile : %s", path.c_str());
    }
    return {};
}

// The plan of the export into an existing song whose ADL file opens (as it is opened for the export),
// or false.
bool PlanIntoSong(const ExportParams& params, ExportPlan* plan) {
    adl::CAdlFile adl;
    if (!adl.Open(AdlPath(params.card, params.song), false))
        return false;
    const uint32_t songRate = adl::SampleRateOfCode(adl.GetSampleRateCode());
    adl.Close();
    *plan = PlanExport(params, false, songRate, params.conversion == Conversion::Convert);
    return true;
}

// The message CheckTracks shows, or empty when the ticked files suit the song; *plan then says what
// to do with each.
std::string TracksProblem(const ExportParams& params, ExportPlan* plan) {
    if (std::string oversized = OversizedSource(params); !oversized.empty())
        return oversized;
    if (!PlanIntoSong(params, plan))
        return "Can not open ADL file!";
    return plan->problem;
}

// The kinds new entries are written with: those of the song's destination start, or, when it has
// none that can be written, 25 fps at the song's rate. False when neither can be written.
bool EventTimeKinds(const adl::CAdlFile& adl, uint8_t* frameKind, uint8_t* rateKind) {
    const adl::CTimeCode start = adl.GetDestStart();
    adl::CTimeCode probe;
    probe.Set(0, start.GetFrameKind(), start.GetRateKind());
    if (start.IsInvalid() || probe.Format().empty()) {
        probe.Set(0, adl::CTimeCode::FPS_25, adl::TimeCodeRateKind(adl.GetSampleRateCode()));
    }
    *frameKind = probe.GetFrameKind();
    *rateKind = probe.GetRateKind();
    return !probe.Format().empty();
}

bool IsUsableSongName(const std::string& song) {
    return !song.empty() && song != "." && song != ".." && song.find('/') == std::string::npos;
}

// The message that refuses the export before the song is opened, or empty when it may go on; *plan
// then says what to do with each ticked file.
std::string InputsProblem(const ExportParams& params, ExportPlan* plan) {
    if (params.card.empty() || !IsUsableSongName(params.song))
        return "Can't export song !";
    // A card pulled out would count as one without free space.
    if (std::string missing = SongMissingText(params.card, params.song); !missing.empty())
        return missing;
    if (IsSongProtected(params.card, params.song))
        return "This song is Protected.";
    // Before the free space is counted: the size such a file gives is not what a copy would write.
    if (std::string oversized = OversizedSource(params); !oversized.empty())
        return oversized;
    const uint64_t freeBytes = GetFreeSpace(params.card);
    const uint64_t transfer = GetTransferSize(params);
    if (freeBytes < transfer) {
        return platform::Format(
            "File too large!\r\n\r\nZT-5 : %llu(available capacity inside ZT-5)\r\nWAVE : "
            "%llu(Total file size to transfer)",
            static_cast<unsigned long long>(freeBytes), static_cast<unsigned long long>(transfer));
    }
    return TracksProblem(params, plan);
}

// The export into an opened song: each ticked track is copied to a new file on the card while the
// committer enters the track copied before it in the song.
class CExporter {
public:
    CExporter(const ExportParams& params, const ExportPlan& plan, adl::CAdlFile& adl, uint8_t frameKind,
              uint8_t rateKind, ExportResult& result)
        : m_params(params), m_plan(plan), m_adl(adl), m_committer(adl, frameKind, rateKind), m_result(result),
          m_songFolder(SongFolderPath(params.card, params.song)) {}

    // What the job was handed; any of them may be null.
    void SetControls(platform::IMessageBox* box, platform::ITextLine* status,
                     platform::IMessageTarget* target, const platform::CancelFlag* cancel) {
        m_box = box;
        m_status = status;
        m_target = target;
        m_cancel = cancel;
    }

    void Run() {
        for (const TrackPlan& track : m_plan.tracks) {
            if (!ExportTrack(track))
                break;
        }
        Collect();
    }

private:
    // Copies (or converts) a track and hands the new files to the committer; false when the export ends
    // with this track.
    bool ExportTrack(const TrackPlan& track) {
        if (platform::IsCancelled(m_cancel)) {
            if (Collect())
                m_result.outcome = ExportOutcome::Cancelled;
            return false;
        }
        if (m_status)
            m_status->SetText(platform::Format("PC to ZT   Track%d", track.track));
        std::vector<Commit> commits;
        if (!NameFiles(track, &commits)) {
            if (Collect())
                Stop("Can't create wave file more !");
            return false;
        }
        std::vector<std::string> parts;
        for (const Commit& commit : commits) {
            // A copy left by an export that was stopped short is of no use; this song is held by this job.
            platform::DeleteFile(commit.part);
            parts.push_back(commit.part);
        }
        std::vector<uint32_t> lengths;
        size_t failed = 0;
        const CopyStatus copied = Transfer(track, parts, &lengths, &failed);
        if (copied != CopyStatus::Copied) {
            // The track before this one still gets its event, unless that fails and is reported instead.
            if (Collect())
                StopCopy(copied, track.source, commits[failed].dest);
            return false;
        }
        for (size_t i = 0; i < commits.size(); ++i)
            commits[i].length = lengths[i];
        return Hand(track.track, std::move(commits));
    }

    // The new files of a track: its own, and for a split the next track's; false when names run out.
    bool NameFiles(const TrackPlan& track, std::vector<Commit>* commits) const {
        std::set<std::string> taken = m_taken;
        for (int n : {track.track, track.rightTrack}) {
            if (n == 0)
                continue;
            const std::string name = NextName(taken, static_cast<int>(commits->size()));
            if (name.empty())
                return false;
            taken.insert(name);
            const std::string part = platform::JoinPath(m_songFolder, platform::OwnNameFor("part", name));
            commits->push_back({n, name, platform::JoinPath(m_songFolder, name), part, 0});
        }
        return true;
    }

    CopyStatus Transfer(const TrackPlan& track, const std::vector<std::string>& parts,
                        std::vector<uint32_t>* lengths, size_t* failed) {
        if (track.convert)
            return ConvertTrack(track, m_plan.songRate, parts, m_cancel, m_target, lengths, failed);
        uint32_t dataSize = 0;
        const CopyStatus copied = CopyTrack(track.source, parts[0], m_cancel, m_target, &dataSize);
        lengths->push_back(dataSize / 2);
        return copied;
    }

    // Hands the complete files of a track to the committer; false when the export ends here.
    bool Hand(int track, std::vector<Commit> commits) {
        if (commits[0].length == 0) {
            // Nothing to place on the track; a file no event names would only take room.
            for (const Commit& commit : commits)
                RemoveFromCard(commit.part);
            m_result.skipped.push_back(track);
            return true;
        }
        if (!Collect()) {
            // The song stops before the track that failed: these files would belong to nothing.
            for (const Commit& commit : commits)
                RemoveFromCard(commit.part);
            return false;
        }
        for (const Commit& commit : commits)
            m_taken.insert(commit.name);
        m_added += static_cast<int>(commits.size());
        m_committer.Start(std::move(commits));
        return true;
    }

    // The next free file name; empty when none is left, or when an event for it would be past the
    // kMaxEvents entries the song's reader takes (it would never be seen). `more` events of this track
    // come before it.
    std::string NextName(const std::set<std::string>& taken, int more) const {
        if (m_adl.GetEventCount() + m_added + more >= adl::CAdlFile::kMaxEvents)
            return {};
        return NextAudioFileName(m_songFolder, taken);
    }

    // Collects the commits in flight into the result; false (and the user told) when one failed.
    bool Collect() {
        std::vector<Commit> done;
        Commit failedCommit;
        CommitStatus failed = CommitStatus::Done;
        const bool ok = m_committer.Finish(&done, &failedCommit, &failed);
        for (const Commit& commit : done) {
            m_result.written.push_back(commit.track);
            m_result.files.push_back(commit.name);
        }
        if (!ok) {
            Stop(failed == CommitStatus::SyncFailed
                     ? WaveWriteErrorText(failedCommit.dest)
                     : platform::Format("ADL file write error !\nfile : %s",
                                        AdlPath(m_params.card, m_params.song).c_str()));
        }
        return ok;
    }

    void StopCopy(CopyStatus copied, const std::string& source, const std::string& dest) {
        if (copied == CopyStatus::Cancelled)
            m_result.outcome = ExportOutcome::Cancelled;
        else
            Stop(copied == CopyStatus::WriteFailed ? WaveWriteErrorText(dest) : WaveReadErrorText(source));
    }

    void Stop(const std::string& text) {
        // A write that failed because the card was pulled out says so.
        const std::string missing = SongMissingText(m_params.card, m_params.song);
        m_result =
            platform::StopJob(m_result, ExportOutcome::Failed, m_box, missing.empty() ? text : missing);
    }

    const ExportParams& m_params;
    const ExportPlan& m_plan;
    adl::CAdlFile& m_adl;
    CCommitter m_committer;
    ExportResult& m_result;
    const std::string m_songFolder;
    platform::IMessageBox* m_box = nullptr;
    platform::ITextLine* m_status = nullptr;
    platform::IMessageTarget* m_target = nullptr;
    const platform::CancelFlag* m_cancel = nullptr;
    int m_added = 0;               // events started by this export
    std::set<std::string> m_taken; // names promised to copies that are not in place yet
};

// The format check of the ticked files before the job, and what the user wants done with the files it
// refuses; false when the export stops there (the user told why).
bool CheckFormats(const ExportParams& params, bool newSong, uint32_t songRate, platform::IMessageBox* box,
                  ExportDecision* decision) {
    if (params.conversion == Conversion::Convert) {
        decision->plan = PlanExport(params, newSong, songRate, true);
        if (!decision->plan.problem.empty()) {
            platform::Tell(box, decision->plan.problem);
            return false;
        }
        decision->convert = true;
        return true;
    }
    const ExportPlan asIs = PlanExport(params, newSong, songRate, false);
    decision->plan = asIs;
    if (asIs.problem.empty())
        return true;
    platform::Tell(box, asIs.problem);
    if (!asIs.formatRefusal)
        return false;
    // Asked only when every refused file can be converted; otherwise the refusal stands as it is.
    ExportPlan converted = PlanExport(params, newSong, songRate, true);
    if (!converted.problem.empty())
        return false;
    decision->plan = std::move(converted);
    if (params.conversion != Conversion::Ask || !platform::Ask(box, ConvertQuestion(decision->plan)))
        return false;
    decision->convert = true;
    return true;
}

ExportCommand PrepareNewSong(const ExportParams& params, const std::string& songPath,
                             platform::IMessageBox* box, ExportDecision* decision) {
    // Files that would not go into the song are found before it is made: no empty song is left.
    if (const std::string oversized = OversizedSource(params); !oversized.empty()) {
        platform::Tell(box, oversized);
        return ExportCommand::Stopped;
    }
    if (!CheckFormats(params, true, 0, box, decision))
        return ExportCommand::Stopped;
    if (!platform::Ask(
            box, platform::Format("Create new song. Are you ok ?\nsong name : %s", params.song.c_str())))
        return ExportCommand::Stopped;
    // Converted files go into a song at the rate the plan chose for them.
    const bool made = decision->convert
                          ? CreateSong(songPath, adl::SampleRateCodeOfRate(decision->plan.songRate), box)
                          : CreateNewSong(songPath, params.pcFolder, params.tracks, box);
    return made ? ExportCommand::RunNewSong : ExportCommand::Stopped;
}

} // namespace

ExportCommand PrepareExport(const ExportParams& params, platform::IMessageBox* box,
                            ExportDecision* decision) {
    ExportDecision unused;
    if (!decision)
        decision = &unused;
    *decision = {};
    // Without a card the song path would land in the file system's root.
    if (params.card.empty() || !IsUsableSongName(params.song)) {
        platform::Tell(box, "Can't export song !");
        return ExportCommand::Stopped;
    }
    // Without its folder the card would only fail the write test.
    if (!platform::IsDirectory(params.card)) {
        platform::Tell(box, SongMissingText(params.card, params.song));
        return ExportCommand::Stopped;
    }
    const std::string songPath = SongFolderPath(params.card, params.song);
    const bool isNew = !platform::PathExists(songPath);
    // Names found on the card are taken as they are; a new song gets only a name the recorder can show.
    if (const std::string problem = isNew ? NewSongNameProblem(params.song) : ""; !problem.empty()) {
        platform::Tell(box, problem);
        return ExportCommand::Stopped;
    }
    if (isNew && ListSongs(params.card).size() >= static_cast<size_t>(kMaxSongs)) {
        platform::Tell(box, "Can't create song more !");
        return ExportCommand::TooManySongs;
    }
    if (!IsCardWritable(params.card)) {
        platform::Tell(box, "Can't export song !");
        return ExportCommand::Stopped;
    }
    if (isNew)
        return PrepareNewSong(params, songPath, box, decision);
    if (!platform::Ask(box, platform::Format("Overwrite this song?\nsong name : %s", params.song.c_str())))
        return ExportCommand::Stopped;
    // A protected song, or one whose ADL file does not open, is refused by the job as it always was.
    ExportPlan plan;
    if (!IsSongProtected(params.card, params.song) && OversizedSource(params).empty() &&
        PlanIntoSong(params, &plan) && !CheckFormats(params, false, plan.songRate, box, decision))
        return ExportCommand::Stopped;
    return ExportCommand::Run;
}

uint64_t GetFreeSpace(const std::string& card) {
    uint64_t freeBytes = 0;
    if (card.empty() || !GetCardFreeSpace(card, &freeBytes))
        return 0;
    return freeBytes;
}

uint64_t GetTransferSize(const std::string& pcFolder, const std::array<bool, kTrackCount>& tracks) {
    uint64_t total = 0;
    for (int n = 1; n <= kTrackCount; ++n) {
        if (!tracks[n - 1])
            continue;
        wave::CWaveFile file;
        if (!file.Open(PcTrackSourcePath(pcFolder, n), 1))
            continue;
        // What is written: our header up to the audio, then the audio itself.
        total += wave::kAudioOffset + static_cast<uint64_t>(file.GetChunkSize(wave::CWaveFile::CHUNK_DATA));
        file.Close();
    }
    return total;
}

uint64_t GetTransferSize(const ExportParams& params) {
    // Converted files count at their new size; a plan that refuses a file has its refusal told after
    // the free space, so the sizes as they are do for it.
    ExportPlan plan;
    if (params.conversion == Conversion::Convert && PlanIntoSong(params, &plan) && plan.problem.empty())
        return PlannedBytes(plan);
    return GetTransferSize(params.pcFolder, params.tracks);
}

bool CheckTracks(const ExportParams& params, platform::IMessageBox* box) {
    ExportPlan plan;
    const std::string problem = TracksProblem(params, &plan);
    if (!problem.empty())
        platform::Tell(box, problem);
    return problem.empty();
}

ExportResult RunExport(const ExportParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page) {
    ExportResult result;
    if (progress)
        progress->SetPos(0);
    // The song is this job's alone while it runs: no second writer, no reader half-way. The card's
    // leftovers are tidied first when no other job uses the card.
    CJobLock lock;
    if (IsUsableSongName(params.song)) {
        CJobLock::Result r = LockCardForWriting(lock, params.card);
        if (r == CJobLock::Result::Locked)
            r = lock.LockSong(params.card, params.song, CJobLock::Use::Write);
        if (const std::string text = InUseText(r, params.card, params.song); !text.empty())
            return platform::StopJob(result, ExportOutcome::Refused, box, text);
    }
    ExportPlan plan;
    const std::string problem = InputsProblem(params, &plan);
    if (!problem.empty())
        return platform::StopJob(result, ExportOutcome::Refused, box, problem);

    const std::string adlPath = AdlPath(params.card, params.song);
    adl::CAdlFile adl;
    if (!adl.Open(adlPath, false))
        return platform::StopJob(result, ExportOutcome::Failed, box, "Can not open ADL file!");
    // A new version of the ADL left half-made by a crash is of no use: the song itself is whole.
    const std::string leftover = adl::CAdlFile::UpdatePath(adlPath);
    if (platform::PathExists(leftover))
        platform::DeleteFile(leftover);
    uint8_t frameKind = 0, rateKind = 0;
    if (!EventTimeKinds(adl, &frameKind, &rateKind)) {
        adl.Close();
        return platform::StopJob(result, ExportOutcome::Refused, box, "Sampling Frequency not supported!");
    }

    CTransferBar bar(progress, CTransferBar::Follow::FileCopy);
    {
        CExporter exporter(params, plan, adl, frameKind, rateKind, result);
        exporter.SetControls(box, status, page ? page : &bar, cancel);
        exporter.Run();
    }
    adl.Close();
    return result;
}

} // namespace card
