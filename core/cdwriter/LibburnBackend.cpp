#include "cdwriter/LibburnBackend.h"

#include "cdwriter/LibburnSource.h"
#include "cdwriter/StagingRules.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace cdwriter {

using namespace burn;

namespace {

struct StashSourceData {
    int fd;
    off_t offset;
    off_t size;
    off_t position = 0;
    off_t fixedSize;
};

int StashRead(burn_source* source, unsigned char* buffer, int size) {
    auto* data = static_cast<StashSourceData*>(source->data);
    const off_t remaining = data->size - data->position;
    if (remaining <= 0)
        return 0;
    const size_t want = static_cast<size_t>(std::min<off_t>(size, remaining));
    size_t done = 0;
    while (done < want) {
        const ssize_t n = ::pread(data->fd, buffer + done, want - done,
                                  data->offset + data->position + static_cast<off_t>(done));
        if (n <= 0)
            return -1;
        done += static_cast<size_t>(n);
    }
    data->position += static_cast<off_t>(done);
    return static_cast<int>(done);
}

off_t StashGetSize(burn_source* source) {
    return static_cast<StashSourceData*>(source->data)->fixedSize;
}

int StashSetSize(burn_source* source, off_t size) {
    static_cast<StashSourceData*>(source->data)->fixedSize = size;
    return 1;
}

void StashFree(burn_source* source) {
    delete static_cast<StashSourceData*>(source->data);
}

} // namespace

// A plain fd source would read past its size into the next track.
burn_source* NewStashSource(int fd, off_t offset, off_t size) {
    auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
    if (!source)
        return nullptr;
    source->refcount = 1;
    source->read = StashRead;
    source->get_size = StashGetSize;
    source->set_size = StashSetSize;
    source->free_data = StashFree;
    source->data = new StashSourceData{fd, offset, size, 0, size};
    return source;
}

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// Owners of libburn objects, each freed by its own function.
template <auto Free> struct Freer {
    template <typename T> void operator()(T* object) const { Free(object); }
};
using DriveInfoPtr = std::unique_ptr<burn_drive_info, Freer<burn_drive_info_free>>;
using DiscPtr = std::unique_ptr<burn_disc, Freer<burn_disc_free>>;
using SessionPtr = std::unique_ptr<burn_session, Freer<burn_session_free>>;
using TrackPtr = std::unique_ptr<burn_track, Freer<burn_track_free>>;
using SourcePtr = std::unique_ptr<burn_source, Freer<burn_source_free>>;
using WriteOptsPtr = std::unique_ptr<burn_write_opts, Freer<burn_write_opts_free>>;

// libburn keeps process-wide state: one initialisation shared by every open disc master, and its
// drive scanning and grabbing serialised.
std::recursive_mutex g_burnMutex;
int g_burnUsers = 0;

bool AcquireLibrary() {
    std::lock_guard lock(g_burnMutex);
    if (g_burnUsers == 0) {
        if (!burn_initialize())
            return false;
        // Messages are read by us where they matter, never printed on the terminal.
        burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"),
                                 const_cast<char*>("pelmora : "));
    }
    ++g_burnUsers;
    return true;
}

void ReleaseLibrary() {
    std::lock_guard lock(g_burnMutex);
    if (g_burnUsers > 0 && --g_burnUsers == 0)
        burn_finish();
}

std::string Trimmed(const char* text, size_t size) {
    std::string s(text, strnlen(text, size));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

struct DriveEntry {
    std::string address, vendor, product, revision;
    bool writesCdrw = false;
};

DriveEntry EntryOf(const burn_drive_info& info, const std::string& address) {
    DriveEntry e;
    e.address = address;
    e.vendor = Trimmed(info.vendor, sizeof info.vendor);
    e.product = Trimmed(info.product, sizeof info.product);
    e.revision = Trimmed(info.revision, sizeof info.revision);
    e.writesCdrw = info.write_cdrw != 0;
    return e;
}

// A grabbed drive; released (and optionally ejected) exactly once.
class GrabbedDrive {
public:
    HRESULT Grab(const std::string& address) {
        std::lock_guard lock(g_burnMutex);
        std::string adr = address;
        burn_drive_info* infos = nullptr;
        const int r = burn_drive_scan_and_grab(&infos, adr.data(), 1);
        if (r <= 0)
            return r == 0 ? IMAPI_E_DEVICE_NOTPRESENT : IMAPI_E_DEVICE_NOTACCESSIBLE;
        m_infos.reset(infos);
        m_drive = infos[0].drive;
        return S_OK;
    }
    burn_drive* Drive() const { return m_drive; }
    void Release(bool eject) {
        std::lock_guard lock(g_burnMutex);
        if (m_drive)
            burn_drive_release(m_drive, eject ? 1 : 0);
        m_drive = nullptr;
        m_infos.reset();
    }
    ~GrabbedDrive() { Release(false); }

private:
    DriveInfoPtr m_infos;
    burn_drive* m_drive = nullptr;
};

std::vector<DriveEntry> ScanDrives(const std::vector<std::string>& extra, HRESULT* hr) {
    std::vector<DriveEntry> drives;
    *hr = S_OK;
    std::lock_guard lock(g_burnMutex);
    burn_drive_info* scanned = nullptr;
    unsigned int count = 0;
    int r;
    while ((r = burn_drive_scan(&scanned, &count)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (r > 0) {
        // Names are copied out: the scan keeps every drive locked until the list is freed.
        const DriveInfoPtr infos(scanned);
        for (unsigned int i = 0; i < count; ++i) {
            char adr[BURN_DRIVE_ADR_LEN] = {};
            if (burn_drive_get_adr(&infos.get()[i], adr) > 0)
                drives.push_back(EntryOf(infos.get()[i], adr));
        }
    } else {
        *hr = IMAPI_E_GENERIC;
    }
    for (const std::string& address : extra) {
        std::string adr = address;
        burn_drive_info* grabbed = nullptr;
        if (burn_drive_scan_and_grab(&grabbed, adr.data(), 0) > 0) {
            const DriveInfoPtr one(grabbed);
            drives.push_back(EntryOf(*one, address));
            burn_drive_release(one->drive, 0);
        }
    }
    return drives;
}

class LibburnRecorder : public IDiscRecorder {
public:
    explicit LibburnRecorder(DriveEntry entry) : m_entry(std::move(entry)) {}
    const DriveEntry& Entry() const { return m_entry; }

    HRESULT GetDisplayNames(std::string* vendor, std::string* product, std::string* revision) override {
        *vendor = m_entry.vendor;
        *product = m_entry.product;
        *revision = m_entry.revision;
        return S_OK;
    }
    HRESULT GetRecorderType(long* type) override {
        *type = m_entry.writesCdrw ? RECORDER_CDRW : RECORDER_CDR;
        return S_OK;
    }
    HRESULT OpenExclusive() override {
        if (m_open)
            return IMAPI_E_DEVICE_STILL_IN_USE;
        const HRESULT hr = m_drive.Grab(m_entry.address);
        m_open = !Failed(hr);
        return hr;
    }
    HRESULT Close() override {
        if (!m_open)
            return IMAPI_E_NOTINITIALIZED;
        m_drive.Release(false);
        m_open = false;
        return S_OK;
    }
    HRESULT QueryMediaType(long* type, long* flags) override {
        burn_drive* d = m_drive.Drive();
        if (!d)
            return IMAPI_E_NOTINITIALIZED;
        *type = 0;
        *flags = 0;
        const burn_disc_status status = burn_disc_get_status(d);
        if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE && status != BURN_DISC_FULL)
            return S_OK; // no medium, or none that can be used
        int profile = 0;
        char profileName[80] = {};
        burn_disc_get_profile(d, &profile, profileName);
        const bool cd = profile == 0x08 || profile == 0x09 || profile == 0x0a;
        const bool rewritable = cd ? profile == 0x0a : burn_disc_erasable(d) != 0;
        *type = cd ? MEDIA_CDDA_CDROM : MEDIA_SPECIAL;
        if (cd && status != BURN_DISC_BLANK) {
            char discType[80] = {}, barCode[9] = {};
            unsigned int discId = 0;
            int appCode = 0, valid = 0;
            if (burn_disc_get_cd_info(d, discType, &discId, barCode, &appCode, &valid) > 0) {
                if (std::strcmp(discType, "CD-ROM XA") == 0)
                    *type = MEDIA_CD_ROM_XA;
                else if (std::strcmp(discType, "CD-I") == 0)
                    *type = MEDIA_CD_I;
            }
        }
        switch (status) {
        case BURN_DISC_BLANK:
            *flags = MEDIA_BLANK | MEDIA_WRITABLE | (rewritable ? MEDIA_RW : 0);
            break;
        case BURN_DISC_APPENDABLE:
            *flags = MEDIA_WRITABLE | (rewritable ? MEDIA_RW : 0);
            break;
        default:
            *flags = rewritable ? MEDIA_RW : 0;
            break;
        }
        return S_OK;
    }
    HRESULT QueryMediaInfo(uint8_t* sessions, uint8_t* lastTrack, uint32_t* startAddress,
                           uint32_t* nextWritable, uint32_t* freeBlocks) override {
        burn_drive* d = m_drive.Drive();
        if (!d)
            return IMAPI_E_NOTINITIALIZED;
        *sessions = 0;
        *lastTrack = 0;
        *startAddress = 0;
        *nextWritable = 0;
        const off_t bytes = std::max<off_t>(burn_disc_available_space(d, nullptr), 0);
        *freeBlocks = static_cast<uint32_t>(std::min<off_t>(bytes / 2048, UINT32_MAX));
        return S_OK;
    }
    HRESULT Eject() override {
        if (!m_drive.Drive())
            return IMAPI_E_NOTINITIALIZED;
        m_drive.Release(true);
        return S_OK;
    }
    HRESULT Erase(bool full) override {
        burn_drive* d = m_drive.Drive();
        if (!d)
            return IMAPI_E_NOTINITIALIZED;
        const burn_disc_status status = burn_disc_get_status(d);
        if (status == BURN_DISC_EMPTY)
            return IMAPI_E_MEDIUM_NOTPRESENT;
        if ((status != BURN_DISC_FULL && status != BURN_DISC_APPENDABLE) || !burn_disc_erasable(d))
            return IMAPI_E_MEDIUM_INVALIDTYPE;
        burn_disc_erase(d, full ? 0 : 1);
        // An erase cannot be cancelled: wait until the drive is idle again.
        std::this_thread::sleep_for(kPollInterval);
        while (burn_drive_get_status(d, nullptr) != BURN_DRIVE_IDLE)
            std::this_thread::sleep_for(kPollInterval);
        return burn_drive_wrote_well(d) ? S_OK : IMAPI_E_GENERIC;
    }

private:
    DriveEntry m_entry;
    GrabbedDrive m_drive;
    bool m_open = false;
};

class LibburnEnum : public IEnumDiscRecorders {
public:
    explicit LibburnEnum(std::vector<RecorderPtr> recorders) : m_recorders(std::move(recorders)) {}
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }
    HRESULT Next(RecorderPtr* recorder) override {
        if (m_next >= m_recorders.size()) {
            recorder->reset();
            return S_FALSE;
        }
        *recorder = m_recorders[m_next++];
        return S_OK;
    }

private:
    std::vector<RecorderPtr> m_recorders;
    size_t m_next = 0;
};

// The staged audio: sectors appended to an unnamed temporary file, without the silence between tracks
// (the recorder writes that itself).
class Stash : public IStagingStore {
public:
    ~Stash() override { Clear(); }

    HRESULT BeginTrack(uint32_t, long) override { return Ensure() ? S_OK : IMAPI_E_NOTENOUGHDISKFORSTASH; }

    HRESULT AppendBlocks(const uint8_t* data, size_t size) override {
        m_pending.insert(m_pending.end(), data, data + size);
        m_sectors += static_cast<off_t>(size / kAudioBlockSize);
        if (m_pending.size() < kFlushSize || Flush())
            return S_OK;
        // The stash stays as it was before the call, so that every track keeps its place in it.
        m_pending.resize(m_pending.size() - size);
        m_sectors -= static_cast<off_t>(size / kAudioBlockSize);
        return IMAPI_E_NOTENOUGHDISKFORSTASH;
    }

    HRESULT FinishStaging() override { return Flush() ? S_OK : IMAPI_E_INVALIDIMAGE; }

    void Discard() override { Clear(); }

    int Fd() const { return m_fd; }

private:
    static constexpr size_t kFlushSize = 1u << 20; // written in large pieces, not sector by sector

    void Clear() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_sectors = 0;
        m_pending.clear();
    }

    bool Ensure() {
        if (m_fd >= 0)
            return true;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmora-stash-XXXXXX";
        m_fd = ::mkstemp(pattern.data());
        if (m_fd < 0)
            return false;
        ::unlink(pattern.c_str()); // nothing is left behind, whatever happens to the process
        return true;
    }

    bool Flush() {
        const off_t base = m_sectors * kAudioBlockSize - static_cast<off_t>(m_pending.size());
        size_t done = 0;
        while (done < m_pending.size()) {
            const ssize_t n = ::pwrite(m_fd, m_pending.data() + done, m_pending.size() - done,
                                       base + static_cast<off_t>(done));
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        m_pending.clear();
        return true;
    }

    int m_fd = -1;
    off_t m_sectors = 0; // in the file and pending
    std::vector<uint8_t> m_pending;
};

HRESULT CheckBlankMedium(burn_drive* d) {
    const burn_disc_status status = burn_disc_get_status(d);
    if (status == BURN_DISC_EMPTY)
        return IMAPI_E_MEDIUM_NOTPRESENT;
    return status == BURN_DISC_BLANK ? S_OK : IMAPI_E_MEDIUM_INVALIDTYPE;
}

// The staged tracks as one session, each reading its own sectors of the stash, with two seconds of
// silence before tracks 2..n.
DiscPtr BuildDisc(const std::vector<StagedTrackPlace>& tracks, int stashFd) {
    DiscPtr disc(burn_disc_create());
    const SessionPtr session(burn_session_create());
    if (!disc || !session)
        return nullptr;
    burn_disc_add_session(disc.get(), session.get(), BURN_POS_END); // the disc keeps its own reference
    off_t firstSector = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackPtr track(burn_track_create());
        if (!track)
            return nullptr;
        burn_track_define_data(track.get(), 0, 0, 0, BURN_AUDIO);
        if (i > 0)
            burn_track_set_pregap_size(track.get(), kTrackGapBlocks, 0);
        const off_t sectors = static_cast<off_t>(tracks[i].sectors);
        const SourcePtr source(
            NewStashSource(stashFd, firstSector * kAudioBlockSize, sectors * kAudioBlockSize));
        if (source)
            burn_track_set_source(track.get(), source.get());
        burn_session_add_track(session.get(), track.get(), BURN_POS_END);
        firstSector += sectors;
    }
    return disc;
}

// At once (SAO), no further session; null when the drive or its medium refuses the disc. The stdio
// pseudo-drive and any non-CD medium refuse audio here, before anything is written.
WriteOptsPtr WriteOptions(burn_drive* d, burn_disc* disc, bool simulate) {
    WriteOptsPtr opts(burn_write_opts_new(d));
    if (!opts)
        return nullptr;
    burn_write_opts_set_simulate(opts.get(), simulate ? 1 : 0);
    burn_write_opts_set_multi(opts.get(), 0);
    burn_write_opts_set_underrun_proof(opts.get(), 1);
    burn_write_opts_set_perform_opc(opts.get(), 1);
    char reasons[BURN_REASONS_LEN] = {};
    if (!burn_write_opts_set_write_type(opts.get(), BURN_WRITE_SAO, BURN_BLOCK_SAO) ||
        burn_precheck_write(opts.get(), disc, reasons, 1) <= 0)
        return nullptr;
    return opts;
}

// Follows a running write until the drive is idle again and hands its progress to the sinks. The
// cancel question is asked until the writing starts.
class WriteWatch {
public:
    explicit WriteWatch(CProgressSinks& sinks) : m_sinks(sinks) {}

    // True when the user cancelled.
    bool Run(burn_drive* d) {
        for (;;) {
            burn_progress p{};
            const burn_drive_status busy = burn_drive_get_status(d, &p);
            if (busy == BURN_DRIVE_IDLE)
                return m_cancelled;
            Look(busy, p);
            if (m_cancelled)
                burn_drive_cancel(d); // takes effect once the drive reports writing
            std::this_thread::sleep_for(kPollInterval);
        }
    }

private:
    void Look(burn_drive_status busy, const burn_progress& p) {
        if (busy == BURN_DRIVE_SPAWNING || busy == BURN_DRIVE_GRABBING) {
            if (!m_writing && !m_cancelled && m_sinks.QueryCancel())
                m_cancelled = true;
        } else if (busy == BURN_DRIVE_WRITING_LEADOUT || busy == BURN_DRIVE_CLOSING_SESSION ||
                   busy == BURN_DRIVE_CLOSING_TRACK) {
            if (!m_closing)
                m_sinks.ClosingDisc(2);
            m_closing = true;
        } else {
            m_writing = true;
            if (p.track != m_lastTrack) {
                m_sinks.TrackProgress(p.track, p.tracks);
                m_lastTrack = p.track;
            }
            if (p.sectors > 0)
                m_sinks.BlockProgress(p.sector, p.sectors);
        }
    }

    CProgressSinks& m_sinks;
    bool m_writing = false;
    bool m_cancelled = false;
    bool m_closing = false;
    int m_lastTrack = -1;
};

class LibburnMaster : public IDiscMaster {
public:
    explicit LibburnMaster(std::vector<std::string> extra)
        : m_extra(std::move(extra)), m_stash(std::make_shared<Stash>()),
          m_rules(std::make_shared<CStagingRules>(m_stash)) {}
    ~LibburnMaster() override { Shutdown(); }

    HRESULT Open() override {
        const HRESULT hr = m_rules->Open();
        if (Failed(hr))
            return hr;
        if (!AcquireLibrary()) {
            m_rules->Close();
            return IMAPI_E_GENERIC;
        }
        return S_OK;
    }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override { return m_rules->GetFormat(format); }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        return m_rules->SelectRedbook(master);
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>*) override { return E_NOTIMPL; }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        HRESULT hr = m_rules->RequireOpen();
        if (Failed(hr))
            return hr;
        std::vector<RecorderPtr> list;
        for (DriveEntry& entry : ScanDrives(m_extra, &hr))
            list.push_back(std::make_shared<LibburnRecorder>(std::move(entry)));
        if (Failed(hr))
            return hr;
        *recorders = std::make_shared<LibburnEnum>(std::move(list));
        return S_OK;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        auto libburnRecorder = std::dynamic_pointer_cast<LibburnRecorder>(recorder);
        const HRESULT hr =
            m_rules->SetActiveRecorder(libburnRecorder != nullptr, CLibburnBackend::kMaxDiscBlocks);
        if (!Failed(hr))
            m_active = std::move(libburnRecorder);
        return hr;
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        return m_rules->Sinks().Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override { return m_rules->Sinks().Unadvise(cookie); }
    HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) override {
        return m_rules->Record([&] { return Write(simulate, ejectAfterBurn); });
    }
    HRESULT Close() override { return Shutdown(); }

private:
    // Close's work, without a virtual call, for the destructor as well.
    HRESULT Shutdown() {
        const HRESULT hr = m_rules->Close();
        if (Failed(hr))
            return hr;
        m_active.reset();
        ReleaseLibrary();
        return S_OK;
    }

    HRESULT Write(bool simulate, bool ejectAfterBurn) {
        GrabbedDrive drive;
        HRESULT hr = drive.Grab(m_active->Entry().address);
        if (!Failed(hr))
            hr = CheckBlankMedium(drive.Drive());
        if (Failed(hr))
            return hr;
        bool wroteWell = false;
        hr = WriteDisc(drive.Drive(), simulate, &wroteWell);
        drive.Release(wroteWell && ejectAfterBurn);
        return hr;
    }

    // Every libburn object of the write is freed before the drive is released.
    HRESULT WriteDisc(burn_drive* d, bool simulate, bool* wroteWell) {
        const DiscPtr disc = BuildDisc(m_rules->Tracks(), m_stash->Fd());
        if (!disc)
            return IMAPI_E_GENERIC;
        const WriteOptsPtr opts = WriteOptions(d, disc.get(), simulate);
        if (!opts)
            return IMAPI_E_MEDIUM_INVALIDTYPE;
        long totalSectors = 0;
        for (const StagedTrackPlace& track : m_rules->Tracks())
            totalSectors += static_cast<long>(track.sectors);
        m_rules->Sinks().PreparingBurn(totalSectors / kBlocksPerSecond);
        burn_disc_write(opts.get(), disc.get());
        const bool cancelled = WriteWatch(m_rules->Sinks()).Run(d);
        *wroteWell = burn_drive_wrote_well(d) != 0;
        if (*wroteWell)
            return S_OK;
        return cancelled ? IMAPI_E_USERABORT : IMAPI_E_GENERIC;
    }

    std::vector<std::string> m_extra;
    std::shared_ptr<Stash> m_stash;
    std::shared_ptr<CStagingRules> m_rules;
    std::shared_ptr<LibburnRecorder> m_active;
};

} // namespace

CLibburnBackend::CLibburnBackend(std::vector<std::string> extraAddresses)
    : m_extraAddresses(std::move(extraAddresses)) {}

HRESULT CLibburnBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    if (!master)
        return E_POINTER;
    *master = std::make_shared<LibburnMaster>(m_extraAddresses);
    return S_OK;
}

} // namespace cdwriter
