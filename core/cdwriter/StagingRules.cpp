#include "cdwriter/StagingRules.h"

namespace cdwriter {

namespace {

// Staging progress once a second of audio, not for every sector.
constexpr long kAddProgressInterval = kBlocksPerSecond;

} // namespace

CStagingRules::CStagingRules(std::shared_ptr<IStagingStore> store) : m_store(std::move(store)) {}

CStagingRules::~CStagingRules() {
    Discard();
}

HRESULT CStagingRules::Open() {
    if (m_opened)
        return IMAPI_E_ALREADYOPEN;
    m_opened = true;
    return S_OK;
}

HRESULT CStagingRules::Close() {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    Discard();
    m_opened = false;
    m_recorderActive = false;
    return S_OK;
}

HRESULT CStagingRules::RequireOpen() const {
    return m_opened ? S_OK : IMAPI_E_NOTOPENED;
}

HRESULT CStagingRules::GetFormat(DiscFormat* format) const {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    *format = m_format;
    return S_OK;
}

HRESULT CStagingRules::SelectFormat(DiscFormat format) {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    m_format = format;
    return S_OK;
}

HRESULT CStagingRules::SelectRedbook(std::shared_ptr<IRedbookDiscMaster>* master) {
    const HRESULT hr = SelectFormat(DiscFormat::Redbook);
    if (!Failed(hr))
        *master = shared_from_this();
    return hr;
}

HRESULT CStagingRules::SetActiveRecorder(bool known, uint32_t capacityBlocks) {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    if (!known)
        return IMAPI_E_DEVICE_NOTPRESENT;
    m_recorderActive = true;
    m_capacity = capacityBlocks;
    return S_OK;
}

HRESULT CStagingRules::RequireNoTrackOpen() const {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    if (!m_recorderActive)
        return IMAPI_E_NOACTIVERECORDER;
    return m_trackOpen ? IMAPI_E_TRACKOPEN : S_OK;
}

HRESULT CStagingRules::CreateAudioTrack(long blocks) {
    const HRESULT ready = RequireNoTrackOpen();
    if (Failed(ready))
        return ready;
    if (blocks < 0)
        return E_INVALIDARG;
    const uint32_t gap = m_tracks.empty() ? 0 : static_cast<uint32_t>(kTrackGapBlocks);
    if (m_tracks.size() >= static_cast<size_t>(kMaxTracks) ||
        static_cast<uint64_t>(m_discBlocks) + gap + static_cast<uint64_t>(blocks) > m_capacity)
        return IMAPI_E_DISCFULL;
    const HRESULT hr = m_store->BeginTrack(gap, blocks);
    if (Failed(hr))
        return hr;
    StagedTrackPlace track;
    track.gapStart = m_discBlocks;
    track.start = m_discBlocks + gap;
    track.announced = blocks;
    m_tracks.push_back(track);
    m_discBlocks += gap;
    m_trackOpen = true;
    return S_OK;
}

HRESULT CStagingRules::AddAudioTrackBlocks(const uint8_t* data, long size) {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    if (!m_trackOpen)
        return IMAPI_E_TRACKNOTOPEN;
    if (!data || size <= 0 || size % kAudioBlockSize != 0)
        return E_INVALIDARG;
    StagedTrackPlace& track = m_tracks.back();
    const uint32_t blocks = static_cast<uint32_t>(size / kAudioBlockSize);
    if (static_cast<uint64_t>(track.sectors) + blocks > static_cast<uint64_t>(track.announced))
        return E_INVALIDARG; // more than the track was created for
    const HRESULT hr = m_store->AppendBlocks(data, static_cast<size_t>(size));
    if (Failed(hr))
        return hr;
    track.sectors += blocks;
    m_discBlocks += blocks;
    if (!m_sinks.Empty() &&
        (track.sectors % kAddProgressInterval == 0 || static_cast<long>(track.sectors) == track.announced))
        m_sinks.AddProgress(static_cast<long>(track.sectors), track.announced);
    return S_OK;
}

HRESULT CStagingRules::CloseAudioTrack() {
    if (!m_opened)
        return IMAPI_E_NOTOPENED;
    if (!m_trackOpen)
        return IMAPI_E_TRACKNOTOPEN;
    m_trackOpen = false;
    m_store->EndTrack();
    return S_OK;
}

HRESULT CStagingRules::CheckRecord() const {
    const HRESULT ready = RequireNoTrackOpen();
    if (Failed(ready))
        return ready;
    if (m_tracks.empty())
        return IMAPI_E_INVALIDIMAGE;
    for (const StagedTrackPlace& track : m_tracks) {
        if (track.sectors == 0)
            return IMAPI_E_INVALIDIMAGE; // a track without audio cannot be addressed on a disc
    }
    return S_OK;
}

HRESULT CStagingRules::Record(const std::function<HRESULT()>& write) {
    HRESULT hr = CheckRecord();
    if (Failed(hr))
        return hr;
    hr = m_store->FinishStaging();
    if (Failed(hr))
        return hr;
    if (m_sinks.QueryCancel()) {
        Discard();
        return IMAPI_E_USERABORT;
    }
    hr = write();
    Discard(); // a recorded (or failed) image is not kept
    m_sinks.BurnComplete(hr);
    return hr;
}

void CStagingRules::Discard() {
    m_store->Discard();
    m_tracks.clear();
    m_trackOpen = false;
    m_discBlocks = 0;
}

} // namespace cdwriter
