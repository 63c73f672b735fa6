#include "cdwriter/DiscMaster.h"

#include "platform/File.h"
#include "platform/Text.h"
#include "wave/Riff.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace cdwriter {

namespace {

// The recorder list keeps names as the fixed name buffers always did.
constexpr size_t kMaxNameLength = 259;

struct ResultEntry {
    HRESULT value;
    const char* text;
};

constexpr ResultEntry kResultTexts[] = {
    {IMAPI_E_NOTOPENED, "A call to IDiscMaster::Open has not been made."},
    {IMAPI_E_NOTINITIALIZED, "A recorder object has not been initialized."},
    {IMAPI_E_USERABORT, "The user canceled the operation."},
    {IMAPI_E_GENERIC, "A generic error occurred."},
    {IMAPI_E_MEDIUM_NOTPRESENT, "There is no disc in the device."},
    {IMAPI_E_MEDIUM_INVALIDTYPE, "The media is not a type that can be used."},
    {IMAPI_E_DEVICE_NOPROPERTIES, "The recorder does not support any properties."},
    {IMAPI_E_DEVICE_NOTACCESSIBLE, "The device cannot be used or is already in use."},
    {IMAPI_E_DEVICE_NOTPRESENT, "The device is not present or has been removed."},
    {IMAPI_E_DEVICE_INVALIDTYPE, "The recorder does not support an operation."},
    {IMAPI_E_INITIALIZE_WRITE, "The drive interface could not be initialized for writing."},
    {IMAPI_E_INITIALIZE_ENDWRITE, "The drive interface could not be initialized for closing."},
    {IMAPI_E_FILESYSTEM,
     "An error occurred while enabling/disabling file system access or during auto-insertion detection."},
    {IMAPI_E_FILEACCESS, "An error occurred while writing the image file."},
    {IMAPI_E_DISCINFO, "An error occurred while trying to read disc data from the device."},
    {IMAPI_E_TRACKNOTOPEN, "An audio track is not open for writing."},
    {IMAPI_E_TRACKOPEN, "An open audio track is already being staged."},
    {IMAPI_E_DISCFULL, "The disc cannot hold any more data."},
    {IMAPI_E_BADJOLIETNAME, "The application tried to add a badly named element to a disc."},
    {IMAPI_E_INVALIDIMAGE, "The staged image is not suitable for a burn. It has been corrupted or cleared "
                           "and has no usable content."},
    {IMAPI_E_NOACTIVEFORMAT,
     "An active format master has not been selected using IDiscMaster::SetActiveDiscMasterFormat."},
    {IMAPI_E_NOACTIVERECORDER,
     "An active disc recorder has not been selected using IDiscMaster::SetActiveDiscRecorder."},
    {IMAPI_E_WRONGFORMAT, "A call to IJolietDiscMaster has been made when IRedbookDiscMaster is the active "
                          "format, or vice versa. To "
                          "use a different format, change the format and clear the image file contents."},
    {IMAPI_E_ALREADYOPEN, "A call to IDiscMaster::Open has already been made against this object by your "
                          "application."},
    {IMAPI_E_WRONGDISC, "The IMAPI multi-session disc has been removed from the active recorder."},
    {IMAPI_E_FILEEXISTS, "The file to add is already in the image file and the overwrite flag was not set."},
    {IMAPI_E_STASHINUSE, "Another application is already using the IMAPI stash file required to stage a disc "
                         "image. Try again later."},
    {IMAPI_E_DEVICE_STILL_IN_USE,
     "Another application is already using this device, so IMAPI cannot access the device."},
    {IMAPI_E_LOSS_OF_STREAMING, "Content streaming was lost; a buffer under-run may have occurred."},
    {IMAPI_E_COMPRESSEDSTASH, "The stash is located on a compressed volume and cannot be read."},
    {IMAPI_E_ENCRYPTEDSTASH, "The stash is located on an encrypted volume and cannot be read."},
    {IMAPI_E_NOTENOUGHDISKFORSTASH,
     "There is not enough free space to create the stash file on the specified volume."},
    {IMAPI_E_REMOVABLESTASH, "The selected stash location is on a removable media."},
    {IMAPI_E_CANNOTWRITETOMEDIA, ""},
    {IMAPI_E_TRACK_NOT_BIG_ENOUGH, ""},
    {IMAPI_E_BOOTIMAGE_AND_NONBLANK_DISC, ""},
};

} // namespace

// ---- CDiscProgressSink ----

HRESULT CDiscProgressSink::QueryInterface(InterfaceId id, void** object) {
    if (!object)
        return E_POINTER;
    if (id == InterfaceId::Unknown || id == InterfaceId::ProgressEvents) {
        AddRef();
        *object = static_cast<IDiscMasterProgressEvents*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

uint32_t CDiscProgressSink::AddRef() {
    return ++m_refCount;
}

uint32_t CDiscProgressSink::Release() {
    const uint32_t count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

void CDiscProgressSink::Send(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (m_target)
        m_target->Send(message, wParam, lParam);
}

void CDiscProgressSink::Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) {
    if (m_target)
        m_target->Notify(message, wParam, lParam, notice);
}

HRESULT CDiscProgressSink::QueryCancel(bool* cancel) {
    if (!cancel)
        return E_POINTER;
    bool answer = false;
    Send(WM_DISC_QUERY_CANCEL, reinterpret_cast<uintptr_t>(&answer), 0);
    *cancel = answer;
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyPnPActivity() {
    Notify(WM_DISC_PNP_ACTIVITY, 0, 0, platform::Notice::Event);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyAddProgress(long completed, long total) {
    Notify(WM_DISC_ADD_PROGRESS, static_cast<uintptr_t>(completed), total, platform::Notice::Value);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyBlockProgress(long completed, long total) {
    Notify(WM_DISC_BLOCK_PROGRESS, static_cast<uintptr_t>(completed), total, platform::Notice::Value);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyTrackProgress(long current, long total) {
    Notify(WM_DISC_TRACK_PROGRESS, static_cast<uintptr_t>(current), total, platform::Notice::Event);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyPreparingBurn(long seconds) {
    Notify(WM_DISC_PREPARING_BURN, static_cast<uintptr_t>(seconds), 0, platform::Notice::Event);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyClosingDisc(long seconds) {
    Notify(WM_DISC_CLOSING_DISC, static_cast<uintptr_t>(seconds), 0, platform::Notice::Event);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyBurnComplete(HRESULT status) {
    Notify(WM_DISC_BURN_COMPLETE, static_cast<uintptr_t>(static_cast<uint32_t>(status)), 0,
           platform::Notice::Event);
    return S_OK;
}

HRESULT CDiscProgressSink::NotifyEraseComplete(HRESULT status) {
    Notify(WM_DISC_ERASE_COMPLETE, static_cast<uintptr_t>(static_cast<uint32_t>(status)), 0,
           platform::Notice::Event);
    return S_OK;
}

// ---- CDiscMaster ----

CDiscMaster::CDiscMaster(IDiscBackend* backend) : m_backend(backend) {}

CDiscMaster::~CDiscMaster() {
    ReleaseSinks();
}

void CDiscMaster::ReleaseSinks() {
    // A sink still registered is released by the backend's own reference when the master goes.
    if (m_sink) {
        m_sink->Release();
        m_sink = nullptr;
    }
    if (m_sinkEvents) {
        m_sinkEvents->Release();
        m_sinkEvents = nullptr;
    }
}

int CDiscMaster::Fail(uint16_t code) {
    m_errorCode = code;
    return 0;
}

bool CDiscMaster::CallFailed(HRESULT hr) {
    m_result = hr;
    return Failed(hr);
}

int CDiscMaster::FailNoRecorder() {
    // A recorder unplugged since start-up: say so instead of calling through nothing.
    m_result = IMAPI_E_NOACTIVERECORDER;
    return Fail(DM_ERR_IMAPI);
}

int CDiscMaster::InitDiscMaster() {
    m_errorCode = DM_ERR_NONE;
    std::shared_ptr<IDiscMaster> master;
    const HRESULT created = m_backend ? m_backend->CreateDiscMaster(&master) : E_POINTER;
    if (CallFailed(created) || !master) {
        if (!Failed(created))
            m_result = E_POINTER;
        return Fail(DM_ERR_IMAPI);
    }
    m_discMaster = master;
    // Recorders come from the master that is open now, so a restarted instance sees the drives of today.
    m_recorderEnum.reset();
    m_currentRecorder.reset();

    if (CallFailed(m_discMaster->Open()))
        return Fail(DM_ERR_IMAPI);
    DiscFormat scratch = DiscFormat::None;
    if (CallFailed(m_discMaster->GetActiveDiscMasterFormat(&scratch)))
        return Fail(DM_ERR_IMAPI);
    SelectDiscFormat(2);
    if (Failed(BuildRecorderList()))
        return Fail(DM_ERR_IMAPI);
    if (Failed(RestartWalk()))
        return Fail(DM_ERR_IMAPI);
    SelectRecorder(0); // with no recorder attached start-up still succeeds, with an empty list
    return 1;
}

int CDiscMaster::ReleaseDiscMaster() {
    m_currentRecorder.reset();
    if (!m_discMaster)
        return 1;
    int ok = 1;
    if (CallFailed(m_discMaster->Close())) {
        m_errorCode = DM_ERR_IMAPI;
        ok = 0;
    }
    m_discMaster.reset();
    return ok;
}

void CDiscMaster::SelectDiscFormat(uint16_t kind) {
    if (kind != 1 && kind != 2)
        return;
    HRESULT hr = IMAPI_E_NOTOPENED;
    if (kind == 2) {
        m_audioFormatMaster.reset();
        if (m_discMaster)
            hr = m_discMaster->SetActiveRedbookFormat(&m_audioFormatMaster);
    } else {
        m_dataFormatMaster.reset();
        if (m_discMaster)
            hr = m_discMaster->SetActiveJolietFormat(&m_dataFormatMaster);
    }
    if (CallFailed(hr))
        m_errorCode = DM_ERR_IMAPI;
}

HRESULT CDiscMaster::RestartWalk() {
    HRESULT hr;
    if (!m_recorderEnum) {
        hr = m_discMaster ? m_discMaster->EnumDiscRecorders(&m_recorderEnum) : IMAPI_E_NOTOPENED;
        if (!Failed(hr) && !m_recorderEnum)
            hr = E_POINTER;
    } else {
        hr = m_recorderEnum->Reset();
    }
    if (CallFailed(hr)) {
        m_errorCode = DM_ERR_IMAPI;
        return hr;
    }
    m_currentRecorder.reset();
    hr = m_recorderEnum->Next(&m_currentRecorder);
    if (CallFailed(hr))
        m_errorCode = DM_ERR_IMAPI;
    return hr;
}

HRESULT CDiscMaster::StepWalk() {
    m_currentRecorder.reset();
    const HRESULT hr = m_recorderEnum ? m_recorderEnum->Next(&m_currentRecorder) : IMAPI_E_NOTOPENED;
    if (CallFailed(hr))
        m_errorCode = DM_ERR_IMAPI;
    return hr;
}

HRESULT CDiscMaster::BuildRecorderList() {
    m_recorderList.clear();
    m_recorderCount = 0;
    HRESULT hr = RestartWalk();
    while (hr == S_OK && m_currentRecorder) {
        std::string vendor, product, revision;
        const HRESULT names = m_currentRecorder->GetDisplayNames(&vendor, &product, &revision);
        if (CallFailed(names)) {
            m_errorCode = DM_ERR_IMAPI;
            return names;
        }
        std::string name = platform::Format("%s, %s, %s", vendor.c_str(), product.c_str(), revision.c_str());
        if (name.size() > kMaxNameLength)
            name.resize(kMaxNameLength);
        m_recorderList.push_back(std::move(name));
        ++m_recorderCount;
        hr = StepWalk();
    }
    return hr;
}

void CDiscMaster::GetRecorderName(int index, std::string* buffer) const {
    if (!buffer || index < 0 || index >= m_recorderCount)
        return;
    *buffer = m_recorderList[static_cast<size_t>(index)];
}

std::string CDiscMaster::GetActiveRecorderName() {
    if (!m_currentRecorder)
        return "";
    std::string vendor, product, revision;
    if (CallFailed(m_currentRecorder->GetDisplayNames(&vendor, &product, &revision)))
        return "";
    return platform::Format("%s, %s, %s", vendor.c_str(), product.c_str(), revision.c_str());
}

int CDiscMaster::SelectRecorder(int index) {
    if (index < 0 || index >= m_recorderCount) {
        // Nothing changes, but the caller learns why instead of reading "No error.".
        return FailNoRecorder();
    }
    m_errorCode = DM_ERR_NONE;
    if (Failed(RestartWalk()))
        return Fail(DM_ERR_IMAPI);
    for (int i = 0; i < index; ++i) {
        if (Failed(StepWalk()))
            return Fail(DM_ERR_IMAPI);
    }
    if (!m_currentRecorder)
        return FailNoRecorder();
    if (CallFailed(m_discMaster->SetActiveDiscRecorder(m_currentRecorder)))
        return Fail(DM_ERR_IMAPI);
    return 1;
}

int CDiscMaster::SelectRecorderByName(const std::string& name) {
    m_errorCode = DM_ERR_NONE;
    for (int i = 0; i < m_recorderCount; ++i) {
        if (m_recorderList[static_cast<size_t>(i)] == name)
            return SelectRecorder(i);
    }
    // The error code stays "none"; the result still tells a failure text what happened.
    m_result = IMAPI_E_DEVICE_NOTPRESENT;
    return 0;
}

int CDiscMaster::SelectRecorderByName(const std::string& name, int position) {
    m_errorCode = DM_ERR_NONE;
    int found = -1, count = 0;
    for (int i = 0; i < m_recorderCount; ++i) {
        if (m_recorderList[static_cast<size_t>(i)] == name) {
            found = i;
            ++count;
        }
    }
    if (count > 1)
        found = position >= 0 && position < m_recorderCount &&
                        m_recorderList[static_cast<size_t>(position)] == name
                    ? position
                    : -1;
    if (found < 0) {
        m_result = IMAPI_E_DEVICE_NOTPRESENT;
        return 0;
    }
    return SelectRecorder(found);
}

int CDiscMaster::AddWaveTrack(const std::string& path) {
    m_errorCode = DM_ERR_NONE;
    platform::File file;
    if (!file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting))
        return Fail(DM_ERR_FILE_OPEN);

    // The RIFF "WAVE" header must open the file; ids are taken in any letter case.
    wave::ChunkInfo riff;
    riff.formType = wave::kWaveId;
    const wave::FindResult form =
        wave::Find(file, &riff, nullptr, wave::FindKind::Riff, {wave::IdCase::Any, true});
    if (form != wave::FindResult::Found)
        return Fail(form == wave::FindResult::Missing ? DM_ERR_NO_CHUNK : DM_ERR_FILE_READ);
    // The data chunk is looked for up to the end of the file, whatever the RIFF size says; running out
    // of file before it is a read error.
    wave::ChunkInfo data;
    data.id = wave::kDataId;
    if (wave::Find(file, &data, nullptr, wave::FindKind::Chunk, {wave::IdCase::Any}) !=
        wave::FindResult::Found)
        return Fail(DM_ERR_FILE_READ);
    const uint32_t dataSize = data.size;

    const uint32_t blockSize = static_cast<uint32_t>(kAudioBlockSize);
    const uint32_t blocks = dataSize / blockSize + (dataSize % blockSize != 0 ? 1 : 0);
    const uint32_t announced = std::max(blocks, m_minTrackBlocks);
    if (!m_audioFormatMaster) {
        m_result = IMAPI_E_NOACTIVEFORMAT;
        return Fail(DM_ERR_IMAPI);
    }
    if (CallFailed(m_audioFormatMaster->CreateAudioTrack(static_cast<long>(announced))))
        return Fail(DM_ERR_IMAPI);

    uint8_t block[kAudioBlockSize];
    for (uint32_t i = 0; i < blocks && !platform::IsCancelled(m_cancelFlag); ++i) {
        std::memset(block, 0, sizeof block);
        const uint32_t count = i == blocks - 1 ? dataSize - blockSize * (blocks - 1) : blockSize;
        if (file.Read(block, count) != static_cast<int64_t>(count))
            return Fail(DM_ERR_FILE_READ);
        if (CallFailed(m_audioFormatMaster->AddAudioTrackBlocks(block, kAudioBlockSize)))
            return Fail(DM_ERR_IMAPI);
    }
    if (announced > blocks && !platform::IsCancelled(m_cancelFlag)) {
        // The silence that makes a short track last as long as a CD track must, in one piece.
        const std::vector<uint8_t> silence(static_cast<size_t>(announced - blocks) * blockSize, 0);
        if (CallFailed(
                m_audioFormatMaster->AddAudioTrackBlocks(silence.data(), static_cast<long>(silence.size()))))
            return Fail(DM_ERR_IMAPI);
    }
    // A cancel closes the track short; staging still counts as done.
    if (CallFailed(m_audioFormatMaster->CloseAudioTrack()))
        return Fail(DM_ERR_IMAPI);
    return 1;
}

int CDiscMaster::BurnDisc() {
    m_errorCode = DM_ERR_NONE;
    if (!m_discMaster) {
        m_result = IMAPI_E_NOTOPENED;
        return Fail(DM_ERR_IMAPI);
    }
    if (CallFailed(m_discMaster->RecordDisc(false, true)))
        return Fail(DM_ERR_IMAPI);
    return 1;
}

int CDiscMaster::MediumOperation(MediumOp op, bool fullErase, long* type, long* flags, uint32_t* freeBlocks) {
    m_errorCode = DM_ERR_NONE;
    if (!m_currentRecorder)
        return FailNoRecorder();
    IDiscRecorder& recorder = *m_currentRecorder;
    if (CallFailed(recorder.OpenExclusive()))
        return Fail(DM_ERR_IMAPI);
    HRESULT hr = S_OK;
    switch (op) {
    case MediumOp::Eject:
        hr = recorder.Eject();
        break;
    case MediumOp::Erase:
        hr = recorder.Erase(fullErase);
        break;
    case MediumOp::QueryType:
        hr = recorder.QueryMediaType(type, flags);
        break;
    case MediumOp::QueryInfo: {
        uint8_t sessions = 0, lastTrack = 0;
        uint32_t start = 0, next = 0;
        hr = recorder.QueryMediaInfo(&sessions, &lastTrack, &start, &next, freeBlocks);
        break;
    }
    }
    if (CallFailed(hr)) {
        recorder.Close(); // the failing call's value is the one worth reporting
        return Fail(DM_ERR_IMAPI);
    }
    if (CallFailed(recorder.Close()))
        return Fail(DM_ERR_IMAPI);
    return 1;
}

int CDiscMaster::EraseDisc(uint8_t full) {
    return MediumOperation(MediumOp::Erase, full != 0, nullptr, nullptr, nullptr);
}

int CDiscMaster::EjectDisc() {
    return MediumOperation(MediumOp::Eject, false, nullptr, nullptr, nullptr);
}

int CDiscMaster::QueryMedia(uint16_t* type, uint16_t* state) {
    long mediaType = 0, mediaFlags = 0;
    if (!MediumOperation(MediumOp::QueryType, false, &mediaType, &mediaFlags, nullptr))
        return 0;
    if (type)
        *type = MediumTypeCode(mediaType);
    if (state)
        *state = MediumStateCode(mediaFlags);
    return 1;
}

int CDiscMaster::GetFreeBytes(uint32_t* bytes) {
    uint32_t freeBlocks = 0;
    if (!MediumOperation(MediumOp::QueryInfo, false, nullptr, nullptr, &freeBlocks))
        return 0;
    // Counted in 2048-byte blocks; a medium larger than 4 GiB reports the most the value can hold.
    const uint64_t total = static_cast<uint64_t>(freeBlocks) * 2048u;
    if (bytes)
        *bytes = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
    return 1;
}

int CDiscMaster::GetRecorderType(uint16_t* type) {
    m_errorCode = DM_ERR_NONE;
    if (!m_currentRecorder)
        return FailNoRecorder();
    long recorderType = 0;
    if (CallFailed(m_currentRecorder->GetRecorderType(&recorderType)))
        return Fail(DM_ERR_IMAPI);
    if (type)
        *type = RecorderTypeCode(recorderType);
    return 1;
}

int CDiscMaster::AdviseProgress(platform::IMessageTarget* window) {
    m_errorCode = DM_ERR_NONE;
    if (!m_discMaster) {
        m_result = IMAPI_E_NOTOPENED;
        return Fail(DM_ERR_IMAPI);
    }
    CDiscProgressSink* sink = new (std::nothrow) CDiscProgressSink();
    if (!sink)
        return Fail(DM_ERR_MEMORY);
    sink->SetTarget(window);
    if (m_sinkEvents)
        m_sinkEvents->Release();
    void* events = nullptr;
    sink->QueryInterface(InterfaceId::ProgressEvents, &events);
    m_sinkEvents = static_cast<IDiscMasterProgressEvents*>(events);

    const HRESULT hr = m_discMaster->ProgressAdvise(m_sinkEvents, &m_adviseCookie);
    if (Failed(hr)) {
        sink->Release();
        ReleaseDiscMaster();
        m_result = hr;
        return Fail(DM_ERR_IMAPI);
    }
    m_result = hr;
    if (m_sink)
        m_sink->Release();
    m_sink = sink;
    return 1;
}

int CDiscMaster::UnadviseProgress() {
    m_errorCode = DM_ERR_NONE;
    if (!m_discMaster) {
        m_result = IMAPI_E_NOTOPENED;
        return Fail(DM_ERR_IMAPI);
    }
    if (CallFailed(m_discMaster->ProgressUnadvise(m_adviseCookie)))
        return Fail(DM_ERR_IMAPI);
    if (m_sink) {
        m_sink->Release();
        m_sink = nullptr;
    }
    return 1;
}

std::string CDiscMaster::GetErrorText() const {
    if (m_errorCode == DM_ERR_IMAPI)
        return ResultText(m_result);
    return ErrorText(m_errorCode);
}

std::string CDiscMaster::GetFailureText() const {
    std::string text = m_errorCode != DM_ERR_NONE ? GetErrorText() : "";
    const auto saysNothing = [](const std::string& t) { return t.empty() || t == "?" || t == "No error."; };
    if (saysNothing(text) && Failed(m_result))
        text = ResultText(m_result);
    if (saysNothing(text))
        text = platform::Format("An unknown error occurred (0x%08X).", static_cast<unsigned>(m_result));
    return text;
}

std::string CDiscMaster::ErrorText(uint16_t code) {
    switch (code) {
    case DM_ERR_FILE_OPEN:
        return "File open error.";
    case DM_ERR_FILE_READ:
        return "File read error.";
    case DM_ERR_FILE_WRITE:
        return "File write error.";
    case DM_ERR_NO_CHUNK:
        return "Not find chunk.";
    case DM_ERR_MEMORY:
        return "Memory allocation error.";
    default:
        return "No error.";
    }
}

std::string CDiscMaster::ResultText(HRESULT result) {
    if (result > IMAPI_S_PROPERTIESIGNORED)
        return result == IMAPI_S_BUFFER_TO_SMALL ? "" : "?";
    if (result == IMAPI_S_PROPERTIESIGNORED)
        return "An unknown property was passed in a property set and it was ignored.";
    for (const ResultEntry& entry : kResultTexts) {
        if (entry.value == result)
            return entry.text;
    }
    return "?";
}

uint16_t CDiscMaster::MediumTypeCode(long mediaType) {
    return mediaType >= MEDIA_CDDA_CDROM && mediaType <= MEDIA_SPECIAL ? static_cast<uint16_t>(mediaType) : 0;
}

uint16_t CDiscMaster::MediumStateCode(long mediaFlags) {
    // Compared as a whole value: a blank disc reported as blank and writable gives 0.
    switch (mediaFlags) {
    case MEDIA_BLANK:
        return 1;
    case MEDIA_RW:
        return 2;
    case MEDIA_WRITABLE:
        return 3;
    default:
        return 0;
    }
}

uint16_t CDiscMaster::RecorderTypeCode(long recorderType) {
    return recorderType == RECORDER_CDR ? 1 : 2;
}

} // namespace cdwriter
