#include "cdwriter/ImageDiscBackend.h"

#include "cdwriter/ProgressSinks.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace cdwriter {

namespace {

// Emit staging progress once a second of audio, not for every sector.
constexpr long kAddProgressInterval = kBlocksPerSecond;
// Hand written audio to the disk every 32 MiB while staging, so that making the image durable at
// the end waits only for the tail instead of the whole disc.
constexpr uint32_t kWritebackSectors = (32u << 20) / kAudioBlockSize;

std::string Msf(uint32_t sectors) {
    const unsigned perSecond = static_cast<unsigned>(kBlocksPerSecond);
    return platform::Format("%02u:%02u:%02u", sectors / (60 * perSecond), sectors / perSecond % 60,
                            sectors % perSecond);
}

struct ImageTrack {
    uint32_t gapStart = 0; // first sector of the silence before the track (= start for track 1)
    uint32_t start = 0;    // first sector of the audio
    uint32_t sectors = 0;
    long announced = 0;
};

struct ImageState {
    std::string binPath, cuePath, binName;
    bool opened = false;
    bool recorderActive = false;
    bool trackOpen = false;
    platform::File bin;
    std::string binTemp, cueTemp;
    uint32_t written = 0; // sectors in the .bin so far
    uint32_t handedToDisk = 0;
    int writebackFd = -1; // a second handle on the .bin, only to start its writeback early
    std::vector<ImageTrack> tracks;
    CProgressSinks sinks;

    ~ImageState() { Discard(); }

    void Discard() {
        if (writebackFd >= 0)
            ::close(writebackFd);
        writebackFd = -1;
        handedToDisk = 0;
        if (bin.IsOpen())
            bin.Close();
        if (!binTemp.empty())
            platform::DeleteFile(binTemp);
        if (!cueTemp.empty() && platform::PathExists(cueTemp))
            platform::DeleteFile(cueTemp);
        binTemp.clear();
        cueTemp.clear();
        tracks.clear();
        trackOpen = false;
        written = 0;
    }

    void StartWriteback() {
        if (written - handedToDisk < kWritebackSectors || writebackFd < 0 || !bin.Flush())
            return;
        ::sync_file_range(writebackFd, static_cast<off_t>(handedToDisk) * kAudioBlockSize,
                          static_cast<off_t>(written - handedToDisk) * kAudioBlockSize,
                          SYNC_FILE_RANGE_WRITE);
        handedToDisk = written;
    }

    HRESULT WriteZeros(uint32_t sectors) {
        static const uint8_t kZeros[kAudioBlockSize] = {};
        for (uint32_t i = 0; i < sectors; ++i) {
            if (bin.Write(kZeros, sizeof kZeros) < 0)
                return IMAPI_E_FILEACCESS;
        }
        written += sectors;
        return S_OK;
    }

    std::string CueSheet() const {
        std::string cue = platform::Format("FILE \"%s\" BINARY\n", binName.c_str());
        for (size_t i = 0; i < tracks.size(); ++i) {
            cue += platform::Format("  TRACK %02zu AUDIO\n", i + 1);
            if (i > 0)
                cue += "    INDEX 00 " + Msf(tracks[i].gapStart) + "\n";
            cue += "    INDEX 01 " + Msf(tracks[i].start) + "\n";
        }
        return cue;
    }

    // Makes the staged image durable under temporary names, then gives it its names.
    HRESULT Commit() {
        if (!bin.Sync() || !bin.Close())
            return IMAPI_E_FILEACCESS;
        cueTemp = cuePath + ".part";
        platform::File cue;
        if (!cue.Open(cueTemp, platform::Access::ReadWrite, platform::Disposition::CreateAlways))
            return IMAPI_E_FILEACCESS;
        const std::string text = CueSheet();
        if (cue.Write(text.data(), text.size()) < 0 || !cue.Sync() || !cue.Close())
            return IMAPI_E_FILEACCESS;
        if (!platform::RenameReplace(binTemp, binPath))
            return IMAPI_E_FILEACCESS;
        binTemp.clear();
        if (!platform::RenameReplace(cueTemp, cuePath))
            return IMAPI_E_FILEACCESS;
        cueTemp.clear();
        return S_OK;
    }
};

class ImageRecorder : public IDiscRecorder {
public:
    HRESULT GetDisplayNames(std::string* vendor, std::string* product, std::string* revision) override {
        *vendor = "Pelmora";
        *product = "Disc Image";
        *revision = "1.00";
        return S_OK;
    }
    HRESULT GetRecorderType(long* type) override {
        *type = RECORDER_CDR;
        return S_OK;
    }
    HRESULT OpenExclusive() override { return S_OK; }
    HRESULT Close() override { return S_OK; }
    HRESULT QueryMediaType(long* type, long* flags) override {
        *type = MEDIA_CDDA_CDROM;
        *flags = MEDIA_BLANK | MEDIA_WRITABLE; // a blank CD-R, reported as the recorders report one
        return S_OK;
    }
    HRESULT QueryMediaInfo(uint8_t* sessions, uint8_t* lastTrack, uint32_t* startAddress,
                           uint32_t* nextWritable, uint32_t* freeBlocks) override {
        *sessions = 0;
        *lastTrack = 0;
        *startAddress = 0;
        *nextWritable = 0;
        *freeBlocks = CImageDiscBackend::kDiscBlocks;
        return S_OK;
    }
    HRESULT Eject() override { return S_OK; }
    HRESULT Erase(bool) override { return S_OK; }
};

class ImageEnum : public IEnumDiscRecorders {
public:
    explicit ImageEnum(RecorderPtr recorder) : m_recorder(std::move(recorder)) {}
    HRESULT Reset() override {
        m_done = false;
        return S_OK;
    }
    HRESULT Next(RecorderPtr* recorder) override {
        if (m_done) {
            recorder->reset();
            return S_FALSE;
        }
        m_done = true;
        *recorder = m_recorder;
        return S_OK;
    }

private:
    RecorderPtr m_recorder;
    bool m_done = false;
};

class ImageRedbook : public IRedbookDiscMaster {
public:
    explicit ImageRedbook(std::shared_ptr<ImageState> state) : m_state(std::move(state)) {}

    HRESULT CreateAudioTrack(long blocks) override {
        ImageState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.recorderActive)
            return IMAPI_E_NOACTIVERECORDER;
        if (s.trackOpen)
            return IMAPI_E_TRACKOPEN;
        if (blocks < 0)
            return E_INVALIDARG;
        const uint64_t gap = s.tracks.empty() ? 0 : kTrackGapBlocks;
        if (s.tracks.size() >= static_cast<size_t>(CImageDiscBackend::kMaxTracks) ||
            s.written + gap + static_cast<uint64_t>(blocks) > CImageDiscBackend::kDiscBlocks)
            return IMAPI_E_DISCFULL;
        if (!s.bin.IsOpen()) {
            s.binTemp = s.binPath + ".part";
            if (!s.bin.Open(s.binTemp, platform::Access::ReadWrite, platform::Disposition::CreateAlways)) {
                s.binTemp.clear();
                return IMAPI_E_FILEACCESS;
            }
            s.writebackFd = ::open(s.binTemp.c_str(), O_RDONLY | O_CLOEXEC);
        }
        ImageTrack track;
        track.gapStart = s.written;
        if (Failed(s.WriteZeros(static_cast<uint32_t>(gap))))
            return IMAPI_E_FILEACCESS;
        track.start = s.written;
        track.announced = blocks;
        s.tracks.push_back(track);
        s.trackOpen = true;
        return S_OK;
    }

    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override {
        ImageState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.trackOpen)
            return IMAPI_E_TRACKNOTOPEN;
        if (!data || size <= 0 || size % kAudioBlockSize != 0)
            return E_INVALIDARG;
        ImageTrack& track = s.tracks.back();
        const uint32_t blocks = static_cast<uint32_t>(size / kAudioBlockSize);
        if (track.sectors + blocks > static_cast<uint64_t>(track.announced))
            return E_INVALIDARG; // more than the track was created for
        if (s.bin.Write(data, static_cast<size_t>(size)) < 0)
            return IMAPI_E_FILEACCESS;
        track.sectors += blocks;
        s.written += blocks;
        s.StartWriteback();
        if (!s.sinks.Empty() &&
            (track.sectors % kAddProgressInterval == 0 || track.sectors == track.announced))
            s.sinks.AddProgress(static_cast<long>(track.sectors), track.announced);
        return S_OK;
    }

    HRESULT CloseAudioTrack() override {
        ImageState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.trackOpen)
            return IMAPI_E_TRACKNOTOPEN;
        s.trackOpen = false;
        return S_OK;
    }

private:
    std::shared_ptr<ImageState> m_state;
};

class ImageMaster : public IDiscMaster {
public:
    ImageMaster(std::string binPath, std::string cuePath)
        : m_state(std::make_shared<ImageState>()), m_recorder(std::make_shared<ImageRecorder>()) {
        m_state->binName = platform::BaseName(binPath);
        m_state->binPath = std::move(binPath);
        m_state->cuePath = std::move(cuePath);
    }
    ~ImageMaster() override { m_state->Discard(); }

    HRESULT Open() override {
        if (m_state->opened)
            return IMAPI_E_ALREADYOPEN;
        m_state->opened = true;
        return S_OK;
    }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        *format = m_format;
        return S_OK;
    }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        m_format = DiscFormat::Redbook;
        *master = std::make_shared<ImageRedbook>(m_state);
        return S_OK;
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>*) override { return E_NOTIMPL; }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        *recorders = std::make_shared<ImageEnum>(m_recorder);
        return S_OK;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        if (recorder != m_recorder)
            return IMAPI_E_DEVICE_NOTPRESENT;
        m_state->recorderActive = true;
        return S_OK;
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        return m_state->sinks.Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override { return m_state->sinks.Unadvise(cookie); }

    HRESULT RecordDisc(bool simulate, bool) override {
        ImageState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.recorderActive)
            return IMAPI_E_NOACTIVERECORDER;
        if (s.trackOpen)
            return IMAPI_E_TRACKOPEN;
        if (s.tracks.empty())
            return IMAPI_E_INVALIDIMAGE;
        for (const ImageTrack& track : s.tracks) {
            if (track.sectors == 0)
                return IMAPI_E_INVALIDIMAGE; // a track without audio cannot be addressed on a disc
        }
        if (s.sinks.QueryCancel()) {
            s.Discard();
            return IMAPI_E_USERABORT;
        }
        s.sinks.PreparingBurn(1);
        HRESULT hr = S_OK;
        if (simulate) {
            s.Discard();
        } else {
            const long count = static_cast<long>(s.tracks.size());
            for (long i = 0; i < count; ++i) {
                s.sinks.TrackProgress(i, count);
                const ImageTrack& track = s.tracks[static_cast<size_t>(i)];
                s.sinks.BlockProgress(static_cast<long>(track.start + track.sectors),
                                      static_cast<long>(s.written));
            }
            s.sinks.ClosingDisc(1);
            hr = s.Commit();
            s.Discard();
        }
        s.sinks.BurnComplete(hr);
        return hr;
    }

    HRESULT Close() override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        m_state->Discard();
        m_state->opened = false;
        m_state->recorderActive = false;
        return S_OK;
    }

private:
    std::shared_ptr<ImageState> m_state;
    RecorderPtr m_recorder;
    DiscFormat m_format = DiscFormat::None;
};

} // namespace

CImageDiscBackend::CImageDiscBackend(std::string folder, std::string baseName)
    : m_folder(std::move(folder)), m_baseName(std::move(baseName)) {}

std::string CImageDiscBackend::BinPath() const {
    return platform::JoinPath(m_folder, m_baseName + ".bin");
}
std::string CImageDiscBackend::CuePath() const {
    return platform::JoinPath(m_folder, m_baseName + ".cue");
}

HRESULT CImageDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    if (!master)
        return E_POINTER;
    *master = std::make_shared<ImageMaster>(BinPath(), CuePath());
    return S_OK;
}

} // namespace cdwriter
