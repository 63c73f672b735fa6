#include "cdwriter/ImageDiscBackend.h"

#include "cdwriter/StagingRules.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace cdwriter {

namespace {

// Hand written audio to the disk every 32 MiB while staging, so that making the image durable at
// the end waits only for the tail instead of the whole disc.
constexpr uint32_t kWritebackSectors = (32u << 20) / kAudioBlockSize;

std::string Msf(uint32_t sectors) {
    const unsigned perSecond = static_cast<unsigned>(kBlocksPerSecond);
    return platform::Format("%02u:%02u:%02u", sectors / (60 * perSecond), sectors / perSecond % 60,
                            sectors % perSecond);
}

// The staged audio: a .bin under a temporary name, and the .cue written beside it when recording.
class ImageStore : public IStagingStore {
public:
    ImageStore(std::string binPath, std::string cuePath, bool usableName)
        : m_binPath(std::move(binPath)), m_cuePath(std::move(cuePath)), m_usableName(usableName) {}
    ~ImageStore() override { Clear(); }

    HRESULT BeginTrack(uint32_t gapBlocks, long) override {
        if (!m_usableName)
            return IMAPI_E_FILEACCESS; // no cue sheet could name the image: nothing is written
        if (!m_bin.IsOpen()) {
            m_binTemp = m_binPath + ".part";
            if (!m_bin.Open(m_binTemp, platform::Access::ReadWrite, platform::Disposition::CreateAlways)) {
                m_binTemp.clear();
                return IMAPI_E_FILEACCESS;
            }
            m_writebackFd = ::open(m_binTemp.c_str(), O_RDONLY | O_CLOEXEC);
        }
        return WriteZeros(gapBlocks);
    }

    HRESULT AppendBlocks(const uint8_t* data, size_t size) override {
        if (m_bin.Write(data, size) < 0)
            return IMAPI_E_FILEACCESS;
        m_written += static_cast<uint32_t>(size / kAudioBlockSize);
        StartWriteback();
        return S_OK;
    }

    void Discard() override { Clear(); }

    std::string CueSheet(const std::vector<StagedTrackPlace>& tracks) const {
        std::string cue = platform::Format("FILE \"%s\" BINARY\n", platform::BaseName(m_binPath).c_str());
        for (size_t i = 0; i < tracks.size(); ++i) {
            cue += platform::Format("  TRACK %02zu AUDIO\n", i + 1);
            if (i > 0)
                cue += "    INDEX 00 " + Msf(tracks[i].gapStart) + "\n";
            cue += "    INDEX 01 " + Msf(tracks[i].start) + "\n";
        }
        return cue;
    }

    // Makes the staged image durable under temporary names, then gives it its names. A .cue under its
    // name always describes the .bin beside it: the old one goes (durably) before the .bin is replaced,
    // and the new one comes last. A kill in between leaves a .bin without a .cue, which the next run
    // replaces.
    HRESULT Commit(const std::string& cueSheet) {
        if (!m_bin.Sync() || !m_bin.Close())
            return IMAPI_E_FILEACCESS;
        m_cueTemp = m_cuePath + ".part";
        platform::File cue;
        if (!cue.Open(m_cueTemp, platform::Access::ReadWrite, platform::Disposition::CreateAlways))
            return IMAPI_E_FILEACCESS;
        if (cue.Write(cueSheet.data(), cueSheet.size()) < 0 || !cue.Sync() || !cue.Close())
            return IMAPI_E_FILEACCESS;
        if (platform::PathExists(m_cuePath) && !platform::DeleteFile(m_cuePath))
            return IMAPI_E_FILEACCESS;
        if (!platform::SyncDirectory(platform::DirName(m_cuePath)))
            return IMAPI_E_FILEACCESS;
        if (!platform::RenameReplace(m_binTemp, m_binPath))
            return IMAPI_E_FILEACCESS;
        m_binTemp.clear();
        if (!platform::RenameReplace(m_cueTemp, m_cuePath))
            return IMAPI_E_FILEACCESS;
        m_cueTemp.clear();
        return S_OK;
    }

private:
    void Clear() {
        if (m_writebackFd >= 0)
            ::close(m_writebackFd);
        m_writebackFd = -1;
        m_handedToDisk = 0;
        if (m_bin.IsOpen())
            m_bin.Close();
        if (!m_binTemp.empty())
            platform::DeleteFile(m_binTemp);
        if (!m_cueTemp.empty() && platform::PathExists(m_cueTemp))
            platform::DeleteFile(m_cueTemp);
        m_binTemp.clear();
        m_cueTemp.clear();
        m_written = 0;
    }

    void StartWriteback() {
        if (m_written - m_handedToDisk < kWritebackSectors || m_writebackFd < 0 || !m_bin.Flush())
            return;
        ::sync_file_range(m_writebackFd, static_cast<off_t>(m_handedToDisk) * kAudioBlockSize,
                          static_cast<off_t>(m_written - m_handedToDisk) * kAudioBlockSize,
                          SYNC_FILE_RANGE_WRITE);
        m_handedToDisk = m_written;
    }

    HRESULT WriteZeros(uint32_t sectors) {
        static const uint8_t kZeros[kAudioBlockSize] = {};
        for (uint32_t i = 0; i < sectors; ++i) {
            if (m_bin.Write(kZeros, sizeof kZeros) < 0)
                return IMAPI_E_FILEACCESS;
        }
        m_written += sectors;
        return S_OK;
    }

    std::string m_binPath, m_cuePath;
    bool m_usableName;
    platform::File m_bin;
    std::string m_binTemp, m_cueTemp;
    uint32_t m_written = 0; // sectors in the .bin so far
    uint32_t m_handedToDisk = 0;
    int m_writebackFd = -1; // a second handle on the .bin, only to start its writeback early
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

class ImageMaster : public IDiscMaster {
public:
    ImageMaster(std::string binPath, std::string cuePath, bool usableName)
        : m_store(std::make_shared<ImageStore>(std::move(binPath), std::move(cuePath), usableName)),
          m_rules(std::make_shared<CStagingRules>(m_store)), m_recorder(std::make_shared<ImageRecorder>()) {}
    ~ImageMaster() override { m_rules->Close(); }

    HRESULT Open() override { return m_rules->Open(); }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override { return m_rules->GetFormat(format); }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        return m_rules->SelectRedbook(master);
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>*) override { return E_NOTIMPL; }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        const HRESULT hr = m_rules->RequireOpen();
        if (!Failed(hr))
            *recorders = std::make_shared<ImageEnum>(m_recorder);
        return hr;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        return m_rules->SetActiveRecorder(recorder == m_recorder, CImageDiscBackend::kDiscBlocks);
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        return m_rules->Sinks().Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override { return m_rules->Sinks().Unadvise(cookie); }
    HRESULT RecordDisc(bool simulate, bool) override {
        return m_rules->Record([&] { return Write(simulate); });
    }
    HRESULT Close() override { return m_rules->Close(); }

private:
    HRESULT Write(bool simulate) {
        CProgressSinks& sinks = m_rules->Sinks();
        sinks.PreparingBurn(1);
        if (simulate)
            return S_OK;
        const std::vector<StagedTrackPlace>& tracks = m_rules->Tracks();
        const long count = static_cast<long>(tracks.size());
        for (long i = 0; i < count; ++i) {
            sinks.TrackProgress(i, count);
            const StagedTrackPlace& track = tracks[static_cast<size_t>(i)];
            sinks.BlockProgress(static_cast<long>(track.start) + static_cast<long>(track.sectors),
                                static_cast<long>(m_rules->DiscBlocks()));
        }
        sinks.ClosingDisc(1);
        return m_store->Commit(m_store->CueSheet(tracks));
    }

    std::shared_ptr<ImageStore> m_store;
    std::shared_ptr<CStagingRules> m_rules;
    RecorderPtr m_recorder;
};

} // namespace

CImageDiscBackend::CImageDiscBackend(std::string folder, std::string baseName)
    : m_folder(std::move(folder)), m_baseName(std::move(baseName)) {}

bool CImageDiscBackend::IsUsableBaseName(const std::string& baseName) {
    if (baseName.empty())
        return false;
    for (const char c : baseName) {
        const auto byte = static_cast<unsigned char>(c);
        // The cue sheet quotes the name on one line and has no way to escape a quote or a line break.
        if (c == '/' || c == '"' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

void CImageDiscBackend::SetDestination(const std::string& folder, const std::string& baseName) {
    std::lock_guard lock(m_mutex);
    m_folder = folder;
    m_baseName = baseName;
}

std::string CImageDiscBackend::BinPath() const {
    std::lock_guard lock(m_mutex);
    return platform::JoinPath(m_folder, m_baseName + ".bin");
}
std::string CImageDiscBackend::CuePath() const {
    std::lock_guard lock(m_mutex);
    return platform::JoinPath(m_folder, m_baseName + ".cue");
}

HRESULT CImageDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    if (!master)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    *master = std::make_shared<ImageMaster>(platform::JoinPath(m_folder, m_baseName + ".bin"),
                                            platform::JoinPath(m_folder, m_baseName + ".cue"),
                                            IsUsableBaseName(m_baseName));
    return S_OK;
}

} // namespace cdwriter
