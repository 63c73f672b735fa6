#pragma once
// The audio staging rules every recorder backend answers by, kept once: the master is open, a
// recorder is active, one track is open at a time and takes no more than it announced, audio comes in
// whole sectors, a disc holds at most 99 tracks and no more than its medium, every track holds audio
// when the disc is recorded, and add progress is reported once a second of audio and at a track's end.
// A backend keeps only the staged audio itself (an image file, a stash file, memory) in its store.

#include "cdwriter/DiscInterfaces.h"
#include "cdwriter/ProgressSinks.h"

#include <functional>
#include <memory>
#include <vector>

namespace cdwriter {

// Where a backend keeps the staged audio. Called only for what the rules have allowed.
class IStagingStore {
public:
    virtual ~IStagingStore() = default;
    // A track begins after `gapBlocks` of silence (none before the first track).
    virtual HRESULT BeginTrack(uint32_t gapBlocks, long announcedBlocks) = 0;
    // Whole sectors of the open track.
    virtual HRESULT AppendBlocks(const uint8_t* data, size_t size) = 0;
    // The open track is closed (short of its announced size, possibly).
    virtual void EndTrack() {}
    // The staged audio is complete and about to be recorded: a store that buffers writes it out here.
    virtual HRESULT FinishStaging() { return S_OK; }
    // The staged image is dropped: recorded, cancelled, failed or closed.
    virtual void Discard() = 0;
};

struct StagedTrackPlace {
    uint32_t gapStart = 0; // first disc sector of the silence before the track (= start for track 1)
    uint32_t start = 0;    // first disc sector of the audio
    uint32_t sectors = 0;  // audio sectors added so far
    long announced = 0;
};

// One disc master's staging: its state, its registered progress sinks, and the answer to every staging
// call. It is the master's Red Book format object as well (and so always owned by a shared_ptr).
class CStagingRules : public IRedbookDiscMaster, public std::enable_shared_from_this<CStagingRules> {
public:
    static constexpr int kMaxTracks = 99;

    explicit CStagingRules(std::shared_ptr<IStagingStore> store);
    ~CStagingRules() override;
    CStagingRules(const CStagingRules&) = delete;
    CStagingRules& operator=(const CStagingRules&) = delete;

    // The disc master's calls.
    HRESULT Open();
    // Drops the staged image and the active recorder.
    HRESULT Close();
    HRESULT RequireOpen() const;
    HRESULT GetFormat(DiscFormat* format) const;
    HRESULT SelectFormat(DiscFormat format);
    // Red Book as the active format, with these rules as its format object.
    HRESULT SelectRedbook(std::shared_ptr<IRedbookDiscMaster>* master);
    // `known`: the recorder is one of this backend's; its medium holds `capacityBlocks` sectors.
    HRESULT SetActiveRecorder(bool known, uint32_t capacityBlocks);
    CProgressSinks& Sinks() { return m_sinks; }

    HRESULT CreateAudioTrack(long blocks) override;
    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override;
    HRESULT CloseAudioTrack() override;

    // Whether the staged image may be recorded now.
    HRESULT CheckRecord() const;
    // RecordDisc as a whole: the checks, the cancel question asked before anything is written, the
    // backend's `write`, a fresh start for the next disc, and the completion event.
    HRESULT Record(const std::function<HRESULT()>& write);
    void Discard();

    const std::vector<StagedTrackPlace>& Tracks() const { return m_tracks; }
    // Sectors staged on the disc so far, the silence between tracks included.
    uint32_t DiscBlocks() const { return m_discBlocks; }

private:
    // An open master with an active recorder and no track open: what a new track and a record need.
    HRESULT RequireNoTrackOpen() const;

    std::shared_ptr<IStagingStore> m_store;
    CProgressSinks m_sinks;
    bool m_opened = false;
    bool m_recorderActive = false;
    bool m_trackOpen = false;
    DiscFormat m_format = DiscFormat::None;
    uint32_t m_capacity = 0;
    uint32_t m_discBlocks = 0;
    std::vector<StagedTrackPlace> m_tracks;
};

} // namespace cdwriter
