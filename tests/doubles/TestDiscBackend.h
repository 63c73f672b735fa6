#pragma once
// A scriptable recorder service for tests: any number of recorders with chosen media, every call
// recorded by name ("IDiscRecorder::QueryMediaType"), any call made to fail with any value, and
// progress events played to the registered sinks while a disc is recorded. A call that is not made to
// fail answers by the staging rules of the real recorders; a disc holds what the active recorder's
// medium has free.

#include "cdwriter/DiscInterfaces.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cdwriter {

struct TestRecorder {
    std::string vendor = "TESTVEND";
    std::string product = "CD-RW RECORDER";
    std::string revision = "1.00";
    long recorderType = RECORDER_CDRW;
    long mediaType = MEDIA_CDDA_CDROM;
    long mediaFlags = MEDIA_BLANK;
    uint32_t freeBlocks = 359849;
};

struct TestProgressEvent {
    enum Kind {
        QueryCancel,
        PnPActivity,
        AddProgress,
        BlockProgress,
        TrackProgress,
        PreparingBurn,
        ClosingDisc,
        BurnComplete,
        EraseComplete
    };
    Kind kind;
    long a = 0;
    long b = 0;
};

struct StagedTrack {
    long announcedBlocks = 0;
    std::vector<uint8_t> data;
    bool closed = false;
};

class CTestDiscBackend : public IDiscBackend {
public:
    CTestDiscBackend();
    ~CTestDiscBackend() override;

    HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) override;

    // Recorders as the enumeration finds them from now on.
    void SetRecorders(const std::vector<TestRecorder>& recorders);
    std::vector<TestRecorder> Recorders() const;
    // The named call (text before any "(") returns `hr`: on its `occurrence`-th call from now
    // (1-based), or on every call when occurrence is 0.
    void FailCall(const std::string& call, HRESULT hr, int occurrence = 0);
    // Played in order during RecordDisc; a QueryCancel answered yes ends it with IMAPI_E_USERABORT.
    void SetBurnEvents(const std::vector<TestProgressEvent>& events);
    // Called after each recorded call, with its logged text.
    void SetCallHook(std::function<void(const std::string&)> hook);

    std::vector<std::string> Calls() const;
    int CountCalls(const std::string& call) const;
    bool WasCalled(const std::string& call) const { return CountCalls(call) > 0; }
    void ClearCalls();
    // Tracks staged on the most recent disc master (a record or Close does not forget them), and those of
    // the last recorded disc.
    std::vector<StagedTrack> StagedTracks() const;
    std::vector<StagedTrack> RecordedTracks() const;
    int RecordCount() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace cdwriter
