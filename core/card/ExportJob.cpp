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
#include "wave/Riff.h"
#include "wave/TrackRenderer.h"
#include "wave/WaveFile.h"

#include <cstring>
#include <set>
#include <thread>

namespace card {
namespace {

// Passes the transfer messages on and keeps the card writing while the copy goes on, so that the
// Sync at the end of each file does not wait for all of it.
class CCopyTarget : public platform::IMessageTarget {
public:
    CCopyTarget(platform::IMessageTarget* next, const std::string& dest) : m_next(next), m_writeback(dest) {}
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
            m_writeback.Start();
        }
    }

    static constexpr uintptr_t kWritebackStep = 2u << 20;
    platform::IMessageTarget* m_next;
    platform::CWriteback m_writeback;
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
    CCopyTarget copyTarget(target, dest);
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

// Runs one commit at a time beside the copy of the next track, so that waiting for the card overlaps
// with copying. Commits finish in track order; only this object touches the ADL while one runs.
class CCommitter {
public:
    CCommitter(adl::CAdlFile& adl, uint8_t frameKind, uint8_t rateKind)
        : m_adl(adl), m_frameKind(frameKind), m_rateKind(rateKind) {}
    ~CCommitter() { Finish(); }
    CCommitter(const CCommitter&) = delete;
    CCommitter& operator=(const CCommitter&) = delete;

    // Call only after Finish has collected the previous commit.
    void Start(Commit commit) {
        m_commit = std::move(commit);
        m_pending = true;
        try {
            m_worker = std::thread([this] { Run(); });
        } catch (...) {
            Run(); // no thread to be had: commit here
        }
    }
    // Waits for the commit in flight. False when it failed; *failed then holds it.
    bool Finish(Commit* done = nullptr, CommitStatus* failed = nullptr) {
        if (!m_pending)
            return true;
        m_pending = false;
        if (m_worker.joinable())
            m_worker.join();
        if (done)
            *done = m_commit;
        if (failed)
            *failed = m_status;
        return m_status == CommitStatus::Done;
    }

private:
    void Run() {
        try {
            m_status = CommitTrack(m_adl, m_commit, m_frameKind, m_rateKind);
        } catch (...) {
            m_status = CommitStatus::AdlFailed; // out of memory: the ADL was not replaced
        }
    }

    adl::CAdlFile& m_adl;
    uint8_t m_frameKind;
    uint8_t m_rateKind;
    std::thread m_worker;
    Commit m_commit;
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
        const std::string path = PcTrackSourcePath(params.pcFolder, n);
        if (params.tracks[n - 1] && SizeHasWrapped(path))
            return platform::Format("The wave file is larger than 4 GB.\nfile : %s", path.c_str());
    }
    return {};
}

// Channels, bits and rate of a PC file; zeros where they cannot be read.
void ReadPcFormat(const std::string& path, uint16_t* channels, uint16_t* bits, uint32_t* rate) {
    *channels = *bits = 0;
    *rate = 0;
    wave::CWaveFile file;
    if (!file.Open(path, 1))
        return;
    if (!file.GetFormat(channels, bits, rate))
        *channels = *bits = 0, *rate = 0;
    file.Close();
}

// The first problem of the ticked files for a song at `songRate`, or empty when they all suit it. A
// new song has no rate yet: it takes that of the lowest-numbered ticked file, which must be one a song
// can have.
std::string FilesProblem(const ExportParams& params, bool newSong, uint32_t songRate) {
    bool any = false;
    for (int n = 1; n <= kTrackCount; ++n) {
        if (!params.tracks[n - 1])
            continue;
        const std::string path = PcTrackSourcePath(params.pcFolder, n);
        // Gone since the folder was listed (the folder itself, perhaps): named, not taken for a file of
        // another format.
        if (!platform::PathExists(path))
            return WaveReadErrorText(path);
        uint16_t channels = 0, bits = 0;
        uint32_t rate = 0;
        ReadPcFormat(path, &channels, &bits, &rate);
        if (newSong && !any) {
            if (rate == 0)
                return "New song create error !";
            if (adl::SampleRateCodeOfRate(rate) == adl::SampleRateCode::None)
                return "Sampling Frequency not supported!";
            songRate = rate;
        }
        any = true;
        if (rate != songRate)
            return "Sampling Frequency not matched!";
        if (bits != 16)
            return "Bit digit not matched!";
        if (channels != 1)
            return "Wave file not acceptable!";
    }
    return any ? std::string() : "Select tracks.";
}

// The message CheckTracks shows, or empty when the ticked files suit the song.
std::string TracksProblem(const ExportParams& params) {
    if (std::string oversized = OversizedSource(params); !oversized.empty())
        return oversized;
    adl::CAdlFile adl;
    if (!adl.Open(AdlPath(params.card, params.song), false))
        return "Can not open ADL file!";
    const uint32_t songRate = adl::SampleRateOfCode(adl.GetSampleRateCode());
    adl.Close();
    return FilesProblem(params, false, songRate);
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

// The message that refuses the export before the song is opened, or empty when it may go on.
std::string InputsProblem(const ExportParams& params) {
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
    const uint64_t transfer = GetTransferSize(params.pcFolder, params.tracks);
    if (freeBytes < transfer) {
        return platform::Format(
            "File too large!\r\n\r\nZT-5 : %llu(available capacity inside ZT-5)\r\nWAVE : "
            "%llu(Total file size to transfer)",
            static_cast<unsigned long long>(freeBytes), static_cast<unsigned long long>(transfer));
    }
    return TracksProblem(params);
}

// The export into an opened song: each ticked track is copied to a new file on the card while the
// committer enters the track copied before it in the song.
class CExporter {
public:
    CExporter(const ExportParams& params, adl::CAdlFile& adl, uint8_t frameKind, uint8_t rateKind,
              ExportResult& result)
        : m_params(params), m_adl(adl), m_committer(adl, frameKind, rateKind), m_result(result),
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
        for (int n = 1; n <= kTrackCount; ++n) {
            if (m_params.tracks[n - 1] && !ExportTrack(n))
                break;
        }
        Collect();
    }

private:
    // Copies track n and hands the copy to the committer; false when the export ends with this track.
    bool ExportTrack(int n) {
        if (platform::IsCancelled(m_cancel)) {
            if (Collect())
                m_result.outcome = ExportOutcome::Cancelled;
            return false;
        }
        if (m_status)
            m_status->SetText(platform::Format("PC to ZT   Track%d", n));
        const std::string source = PcTrackSourcePath(m_params.pcFolder, n);
        const std::string name = NextName();
        if (name.empty()) {
            if (Collect())
                Stop("Can't create wave file more !");
            return false;
        }
        const std::string dest = platform::JoinPath(m_songFolder, name);
        const std::string part = platform::JoinPath(m_songFolder, platform::OwnNameFor("part", name));
        // A copy left by an export that was stopped short is of no use; this song is held by this job.
        platform::DeleteFile(part);
        uint32_t dataSize = 0;
        const CopyStatus copied = CopyTrack(source, part, m_cancel, m_target, &dataSize);
        if (copied != CopyStatus::Copied) {
            // The track before this one still gets its event, unless that fails and is reported instead.
            if (Collect())
                StopCopy(copied, source, dest);
            return false;
        }
        const uint32_t length = dataSize / 2;
        if (length == 0) {
            // Nothing to place on the track; a file no event names would only take room.
            RemoveFromCard(part);
            m_result.skipped.push_back(n);
            return true;
        }
        if (!Collect()) {
            // The song stops before the track that failed: this file would belong to nothing.
            RemoveFromCard(part);
            return false;
        }
        m_taken.insert(name);
        m_committer.Start({n, name, dest, part, length});
        ++m_added;
        return true;
    }

    // The next free file name; empty when none is left, or when an event for it would be past the
    // kMaxEvents entries the song's reader takes (it would never be seen).
    std::string NextName() const {
        if (m_adl.GetEventCount() + m_added >= adl::CAdlFile::kMaxEvents)
            return {};
        return NextAudioFileName(m_songFolder, m_taken);
    }

    // Collects the commit in flight into the result; false (and the user told) when it failed.
    bool Collect() {
        Commit done;
        CommitStatus failed = CommitStatus::Done;
        if (!m_committer.Finish(&done, &failed)) {
            Stop(failed == CommitStatus::SyncFailed
                     ? WaveWriteErrorText(done.dest)
                     : platform::Format("ADL file write error !\nfile : %s",
                                        AdlPath(m_params.card, m_params.song).c_str()));
            return false;
        }
        if (done.track != 0) {
            m_result.written.push_back(done.track);
            m_result.files.push_back(done.name);
        }
        return true;
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

} // namespace

ExportCommand PrepareExport(const ExportParams& params, platform::IMessageBox* box) {
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
    if (isNew) {
        // Files that would not go into the song are found before it is made: no empty song is left.
        std::string problem = OversizedSource(params);
        if (problem.empty())
            problem = FilesProblem(params, true, 0);
        if (!problem.empty()) {
            platform::Tell(box, problem);
            return ExportCommand::Stopped;
        }
        if (!platform::Ask(
                box, platform::Format("Create new song. Are you ok ?\nsong name : %s", params.song.c_str())))
            return ExportCommand::Stopped;
        if (!CreateNewSong(songPath, params.pcFolder, params.tracks, box))
            return ExportCommand::Stopped;
        return ExportCommand::RunNewSong;
    }
    if (!platform::Ask(box, platform::Format("Overwrite this song?\nsong name : %s", params.song.c_str())))
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

bool CheckTracks(const ExportParams& params, platform::IMessageBox* box) {
    const std::string problem = TracksProblem(params);
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
    const std::string problem = InputsProblem(params);
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
        CExporter exporter(params, adl, frameKind, rateKind, result);
        exporter.SetControls(box, status, page ? page : &bar, cancel);
        exporter.Run();
    }
    adl.Close();
    return result;
}

} // namespace card
