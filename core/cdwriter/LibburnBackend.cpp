#include "cdwriter/LibburnBackend.h"

#include "cdwriter/LibburnSource.h"
#include "cdwriter/ProgressSinks.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
constexpr long kAddProgressInterval = kBlocksPerSecond;

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
        const int r = burn_drive_scan_and_grab(&m_infos, adr.data(), 1);
        if (r <= 0) {
            m_infos = nullptr;
            return r == 0 ? IMAPI_E_DEVICE_NOTPRESENT : IMAPI_E_DEVICE_NOTACCESSIBLE;
        }
        m_drive = m_infos[0].drive;
        return S_OK;
    }
    burn_drive* Drive() const { return m_drive; }
    void Release(bool eject) {
        std::lock_guard lock(g_burnMutex);
        if (m_drive)
            burn_drive_release(m_drive, eject ? 1 : 0);
        m_drive = nullptr;
        if (m_infos)
            burn_drive_info_free(m_infos);
        m_infos = nullptr;
    }
    ~GrabbedDrive() { Release(false); }

private:
    burn_drive_info* m_infos = nullptr;
    burn_drive* m_drive = nullptr;
};

std::vector<DriveEntry> ScanDrives(const std::vector<std::string>& extra, HRESULT* hr) {
    std::vector<DriveEntry> drives;
    *hr = S_OK;
    std::lock_guard lock(g_burnMutex);
    burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    int r;
    while ((r = burn_drive_scan(&infos, &count)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (r > 0) {
        // Names are copied out: the scan keeps every drive locked until the list is freed.
        for (unsigned int i = 0; i < count; ++i) {
            char adr[BURN_DRIVE_ADR_LEN] = {};
            if (burn_drive_get_adr(&infos[i], adr) > 0)
                drives.push_back(EntryOf(infos[i], adr));
        }
        burn_drive_info_free(infos);
    } else {
        *hr = IMAPI_E_GENERIC;
    }
    for (const std::string& address : extra) {
        std::string adr = address;
        burn_drive_info* one = nullptr;
        if (burn_drive_scan_and_grab(&one, adr.data(), 0) > 0) {
            drives.push_back(EntryOf(one[0], address));
            burn_drive_release(one[0].drive, 0);
            burn_drive_info_free(one);
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

// The staged audio: sectors appended to an unnamed temporary file.
struct Stash {
    struct Track {
        off_t firstSector = 0;
        uint32_t sectors = 0;
        long announced = 0;
    };

    int fd = -1;
    off_t sectors = 0;
    std::vector<Track> tracks;
    bool trackOpen = false;
    std::vector<uint8_t> pending; // written in large pieces, not sector by sector

    ~Stash() { Clear(); }

    bool Ensure() {
        if (fd >= 0)
            return true;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmora-stash-XXXXXX";
        fd = ::mkstemp(pattern.data());
        if (fd < 0)
            return false;
        ::unlink(pattern.c_str()); // nothing is left behind, whatever happens to the process
        return true;
    }
    bool Append(const uint8_t* data, size_t size) {
        pending.insert(pending.end(), data, data + size);
        return pending.size() < (1u << 20) || Flush();
    }
    bool Flush() {
        const off_t base = sectors * kAudioBlockSize - static_cast<off_t>(pending.size());
        size_t done = 0;
        while (done < pending.size()) {
            const ssize_t n =
                ::pwrite(fd, pending.data() + done, pending.size() - done, base + static_cast<off_t>(done));
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        pending.clear();
        return true;
    }
    void Clear() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        sectors = 0;
        tracks.clear();
        trackOpen = false;
        pending.clear();
    }
};

struct MasterState {
    bool opened = false;
    std::shared_ptr<LibburnRecorder> active;
    Stash stash;
    CProgressSinks sinks;
};

class LibburnRedbook : public IRedbookDiscMaster {
public:
    explicit LibburnRedbook(std::shared_ptr<MasterState> state) : m_state(std::move(state)) {}

    HRESULT CreateAudioTrack(long blocks) override {
        MasterState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.active)
            return IMAPI_E_NOACTIVERECORDER;
        if (s.stash.trackOpen)
            return IMAPI_E_TRACKOPEN;
        if (blocks < 0)
            return E_INVALIDARG;
        if (s.stash.tracks.size() >= 99)
            return IMAPI_E_DISCFULL;
        if (!s.stash.Ensure())
            return IMAPI_E_NOTENOUGHDISKFORSTASH;
        s.stash.tracks.push_back({s.stash.sectors, 0, blocks});
        s.stash.trackOpen = true;
        return S_OK;
    }
    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override {
        MasterState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.stash.trackOpen)
            return IMAPI_E_TRACKNOTOPEN;
        if (!data || size <= 0 || size % kAudioBlockSize != 0)
            return E_INVALIDARG;
        Stash::Track& track = s.stash.tracks.back();
        const uint32_t blocks = static_cast<uint32_t>(size / kAudioBlockSize);
        if (track.sectors + blocks > static_cast<uint64_t>(track.announced))
            return E_INVALIDARG;
        s.stash.sectors += blocks;
        if (!s.stash.Append(data, static_cast<size_t>(size)))
            return IMAPI_E_NOTENOUGHDISKFORSTASH;
        track.sectors += blocks;
        if (!s.sinks.Empty() &&
            (track.sectors % kAddProgressInterval == 0 || track.sectors == track.announced))
            s.sinks.AddProgress(static_cast<long>(track.sectors), track.announced);
        return S_OK;
    }
    HRESULT CloseAudioTrack() override {
        MasterState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.stash.trackOpen)
            return IMAPI_E_TRACKNOTOPEN;
        s.stash.trackOpen = false;
        return S_OK;
    }

private:
    std::shared_ptr<MasterState> m_state;
};

class LibburnMaster : public IDiscMaster {
public:
    explicit LibburnMaster(std::vector<std::string> extra)
        : m_extra(std::move(extra)), m_state(std::make_shared<MasterState>()) {}
    ~LibburnMaster() override {
        if (m_state->opened)
            Close();
    }

    HRESULT Open() override {
        if (m_state->opened)
            return IMAPI_E_ALREADYOPEN;
        if (!AcquireLibrary())
            return IMAPI_E_GENERIC;
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
        *master = std::make_shared<LibburnRedbook>(m_state);
        return S_OK;
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>*) override { return E_NOTIMPL; }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        HRESULT hr = S_OK;
        std::vector<RecorderPtr> list;
        for (DriveEntry& entry : ScanDrives(m_extra, &hr))
            list.push_back(std::make_shared<LibburnRecorder>(std::move(entry)));
        if (Failed(hr))
            return hr;
        *recorders = std::make_shared<LibburnEnum>(std::move(list));
        return S_OK;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        auto libburnRecorder = std::dynamic_pointer_cast<LibburnRecorder>(recorder);
        if (!libburnRecorder)
            return IMAPI_E_DEVICE_NOTPRESENT;
        m_state->active = libburnRecorder;
        return S_OK;
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        return m_state->sinks.Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override { return m_state->sinks.Unadvise(cookie); }

    HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) override {
        MasterState& s = *m_state;
        if (!s.opened)
            return IMAPI_E_NOTOPENED;
        if (!s.active)
            return IMAPI_E_NOACTIVERECORDER;
        if (s.stash.trackOpen)
            return IMAPI_E_TRACKOPEN;
        if (s.stash.tracks.empty() || !s.stash.Flush())
            return IMAPI_E_INVALIDIMAGE;
        for (const Stash::Track& track : s.stash.tracks) {
            if (track.sectors == 0)
                return IMAPI_E_INVALIDIMAGE;
        }
        if (s.sinks.QueryCancel()) {
            s.stash.Clear();
            return IMAPI_E_USERABORT;
        }
        const HRESULT hr = Write(simulate, ejectAfterBurn);
        s.sinks.BurnComplete(hr);
        s.stash.Clear(); // a recorded (or failed) image is not kept, as with a real stash
        return hr;
    }

    HRESULT Close() override {
        if (!m_state->opened)
            return IMAPI_E_NOTOPENED;
        m_state->stash.Clear();
        m_state->active.reset();
        m_state->opened = false;
        ReleaseLibrary();
        return S_OK;
    }

private:
    HRESULT Write(bool simulate, bool ejectAfterBurn) {
        MasterState& s = *m_state;
        GrabbedDrive drive;
        HRESULT hr = drive.Grab(s.active->Entry().address);
        if (Failed(hr))
            return hr;
        burn_drive* d = drive.Drive();
        const burn_disc_status status = burn_disc_get_status(d);
        if (status == BURN_DISC_EMPTY)
            return IMAPI_E_MEDIUM_NOTPRESENT;
        if (status != BURN_DISC_BLANK)
            return IMAPI_E_MEDIUM_INVALIDTYPE;

        burn_disc* disc = burn_disc_create();
        burn_session* session = burn_session_create();
        burn_disc_add_session(disc, session, BURN_POS_END);
        for (size_t i = 0; i < s.stash.tracks.size(); ++i) {
            const Stash::Track& staged = s.stash.tracks[i];
            burn_track* track = burn_track_create();
            burn_track_define_data(track, 0, 0, 0, BURN_AUDIO);
            if (i > 0)
                burn_track_set_pregap_size(track, kTrackGapBlocks, 0);
            burn_source* source = NewStashSource(s.stash.fd, staged.firstSector * kAudioBlockSize,
                                                 static_cast<off_t>(staged.sectors) * kAudioBlockSize);
            if (source) {
                burn_track_set_source(track, source);
                burn_source_free(source);
            }
            burn_session_add_track(session, track, BURN_POS_END);
            burn_track_free(track);
        }
        burn_write_opts* opts = burn_write_opts_new(d);
        burn_write_opts_set_simulate(opts, simulate ? 1 : 0);
        burn_write_opts_set_multi(opts, 0);
        burn_write_opts_set_underrun_proof(opts, 1);
        burn_write_opts_set_perform_opc(opts, 1);
        char reasons[BURN_REASONS_LEN] = {};
        // The stdio pseudo-drive and any non-CD medium refuse audio here, before anything is written.
        if (!burn_write_opts_set_write_type(opts, BURN_WRITE_SAO, BURN_BLOCK_SAO) ||
            burn_precheck_write(opts, disc, reasons, 1) <= 0) {
            burn_write_opts_free(opts);
            burn_session_free(session);
            burn_disc_free(disc);
            return IMAPI_E_MEDIUM_INVALIDTYPE;
        }

        long totalSectors = 0;
        for (const Stash::Track& track : s.stash.tracks)
            totalSectors += static_cast<long>(track.sectors);
        s.sinks.PreparingBurn(totalSectors / kBlocksPerSecond);
        burn_disc_write(opts, disc);

        bool writing = false, cancelled = false, closing = false;
        int lastTrack = -1;
        for (;;) {
            burn_progress p{};
            const burn_drive_status busy = burn_drive_get_status(d, &p);
            if (busy == BURN_DRIVE_IDLE)
                break;
            if (busy == BURN_DRIVE_SPAWNING || busy == BURN_DRIVE_GRABBING) {
                if (!writing && !cancelled && s.sinks.QueryCancel())
                    cancelled = true;
            } else if (busy == BURN_DRIVE_WRITING_LEADOUT || busy == BURN_DRIVE_CLOSING_SESSION ||
                       busy == BURN_DRIVE_CLOSING_TRACK) {
                if (!closing)
                    s.sinks.ClosingDisc(2);
                closing = true;
            } else {
                writing = true;
                if (p.track != lastTrack) {
                    s.sinks.TrackProgress(p.track, p.tracks);
                    lastTrack = p.track;
                }
                if (p.sectors > 0)
                    s.sinks.BlockProgress(p.sector, p.sectors);
            }
            if (cancelled)
                burn_drive_cancel(d); // takes effect once the drive reports writing
            std::this_thread::sleep_for(kPollInterval);
        }
        const bool wroteWell = burn_drive_wrote_well(d) != 0;
        burn_write_opts_free(opts);
        burn_session_free(session);
        burn_disc_free(disc);
        drive.Release(wroteWell && ejectAfterBurn);
        if (wroteWell)
            return S_OK;
        return cancelled ? IMAPI_E_USERABORT : IMAPI_E_GENERIC;
    }

    std::vector<std::string> m_extra;
    std::shared_ptr<MasterState> m_state;
    DiscFormat m_format = DiscFormat::None;
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
