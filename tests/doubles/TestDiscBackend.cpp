#include "TestDiscBackend.h"

#include "cdwriter/StagingRules.h"
#include "platform/Text.h"

#include <map>
#include <mutex>

namespace cdwriter {

struct CTestDiscBackend::State {
    struct Failure {
        HRESULT hr;
        int occurrence;
        int seen = 0;
    };

    std::recursive_mutex mutex;
    std::vector<TestRecorder> recorders;
    std::multimap<std::string, Failure> failures;
    std::vector<TestProgressEvent> burnEvents;
    std::function<void(const std::string&)> hook;
    std::vector<std::string> calls;
    std::vector<StagedTrack> staged;
    std::vector<StagedTrack> recorded;
    int recordCount = 0;
    uint64_t latestMaster = 0; // staging is logged for the most recent disc master only

    // Logs the call and returns the value it must answer with (S_OK unless told to fail).
    HRESULT Call(const std::string& text) {
        std::function<void(const std::string&)> callHook;
        HRESULT hr = S_OK;
        {
            std::lock_guard lock(mutex);
            calls.push_back(text);
            const std::string name = text.substr(0, text.find('('));
            auto range = failures.equal_range(name);
            for (auto it = range.first; it != range.second; ++it) {
                Failure& f = it->second;
                ++f.seen;
                if (f.occurrence == 0 || f.seen == f.occurrence)
                    hr = f.hr;
            }
            callHook = hook;
        }
        if (callHook)
            callHook(text);
        return hr;
    }
};

namespace {

using State = CTestDiscBackend::State;

class TestRecorderObject : public IDiscRecorder {
public:
    TestRecorderObject(std::shared_ptr<State> state, size_t index)
        : m_state(std::move(state)), m_index(index) {}
    size_t Index() const { return m_index; }
    // True for a recorder of this backend that is still attached.
    bool Describes(const std::shared_ptr<State>& state, TestRecorder* r) const {
        return m_state == state && Get(r);
    }

    HRESULT GetDisplayNames(std::string* vendor, std::string* product, std::string* revision) override {
        const HRESULT hr = m_state->Call(platform::Format("IDiscRecorder::GetDisplayNames(%zu)", m_index));
        if (Failed(hr))
            return hr;
        TestRecorder r;
        if (!Get(&r))
            return IMAPI_E_DEVICE_NOTPRESENT;
        *vendor = r.vendor;
        *product = r.product;
        *revision = r.revision;
        return hr;
    }
    HRESULT GetRecorderType(long* type) override {
        const HRESULT hr = m_state->Call(platform::Format("IDiscRecorder::GetRecorderType(%zu)", m_index));
        TestRecorder r;
        if (Failed(hr) || !Get(&r))
            return Failed(hr) ? hr : IMAPI_E_DEVICE_NOTPRESENT;
        *type = r.recorderType;
        return hr;
    }
    HRESULT OpenExclusive() override {
        return m_state->Call(platform::Format("IDiscRecorder::OpenExclusive(%zu)", m_index));
    }
    HRESULT Close() override { return m_state->Call(platform::Format("IDiscRecorder::Close(%zu)", m_index)); }
    HRESULT QueryMediaType(long* type, long* flags) override {
        const HRESULT hr = m_state->Call(platform::Format("IDiscRecorder::QueryMediaType(%zu)", m_index));
        TestRecorder r;
        if (Failed(hr) || !Get(&r))
            return Failed(hr) ? hr : IMAPI_E_DEVICE_NOTPRESENT;
        *type = r.mediaType;
        *flags = r.mediaFlags;
        return hr;
    }
    HRESULT QueryMediaInfo(uint8_t* sessions, uint8_t* lastTrack, uint32_t* startAddress,
                           uint32_t* nextWritable, uint32_t* freeBlocks) override {
        const HRESULT hr = m_state->Call(platform::Format("IDiscRecorder::QueryMediaInfo(%zu)", m_index));
        TestRecorder r;
        if (Failed(hr) || !Get(&r))
            return Failed(hr) ? hr : IMAPI_E_DEVICE_NOTPRESENT;
        *sessions = 0;
        *lastTrack = 0;
        *startAddress = 0;
        *nextWritable = 0;
        *freeBlocks = r.freeBlocks;
        return hr;
    }
    HRESULT Eject() override { return m_state->Call(platform::Format("IDiscRecorder::Eject(%zu)", m_index)); }
    HRESULT Erase(bool full) override {
        const HRESULT hr =
            m_state->Call(platform::Format("IDiscRecorder::Erase(%zu,%d)", m_index, full ? 1 : 0));
        if (!Failed(hr)) {
            std::lock_guard lock(m_state->mutex);
            if (m_index < m_state->recorders.size())
                m_state->recorders[m_index].mediaFlags = MEDIA_BLANK | MEDIA_RW | MEDIA_WRITABLE;
        }
        return hr;
    }

private:
    bool Get(TestRecorder* r) const {
        std::lock_guard lock(m_state->mutex);
        if (m_index >= m_state->recorders.size())
            return false;
        *r = m_state->recorders[m_index];
        return true;
    }

    std::shared_ptr<State> m_state;
    size_t m_index;
};

class TestEnum : public IEnumDiscRecorders {
public:
    explicit TestEnum(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    HRESULT Reset() override {
        const HRESULT hr = m_state->Call("IEnumDiscRecorders::Reset");
        if (!Failed(hr))
            m_next = 0;
        return hr;
    }
    HRESULT Next(RecorderPtr* recorder) override {
        const HRESULT hr = m_state->Call("IEnumDiscRecorders::Next");
        if (Failed(hr))
            return hr;
        size_t count;
        {
            std::lock_guard lock(m_state->mutex);
            count = m_state->recorders.size();
        }
        if (m_next >= count) {
            recorder->reset();
            return S_FALSE;
        }
        *recorder = std::make_shared<TestRecorderObject>(m_state, m_next++);
        return S_OK;
    }

private:
    std::shared_ptr<State> m_state;
    size_t m_next = 0;
};

// A call the rules allow answers with the scripted value (S_OK unless a test chose another).
HRESULT Answer(HRESULT scripted, HRESULT rule) {
    return Failed(rule) ? rule : scripted;
}

// The staged audio in memory, logged for the tests: every track staged on the most recent disc
// master, of which those since the last discard make up the image a record takes.
class TestStore : public IStagingStore {
public:
    TestStore(std::shared_ptr<State> state, uint64_t serial) : m_state(std::move(state)), m_serial(serial) {}

    HRESULT BeginTrack(uint32_t, long announcedBlocks) override {
        std::lock_guard lock(m_state->mutex);
        if (Latest()) {
            StagedTrack track;
            track.announcedBlocks = announcedBlocks;
            m_state->staged.push_back(track);
        }
        return S_OK;
    }
    HRESULT AppendBlocks(const uint8_t* data, size_t size) override {
        std::lock_guard lock(m_state->mutex);
        if (Latest() && !m_state->staged.empty()) {
            auto& bytes = m_state->staged.back().data;
            bytes.insert(bytes.end(), data, data + size);
        }
        return S_OK;
    }
    void EndTrack() override {
        std::lock_guard lock(m_state->mutex);
        if (Latest() && !m_state->staged.empty())
            m_state->staged.back().closed = true;
    }
    void Discard() override {
        std::lock_guard lock(m_state->mutex);
        if (Latest())
            m_firstLive = m_state->staged.size();
    }
    // The tracks a record takes now.
    std::vector<StagedTrack> Image() const {
        std::lock_guard lock(m_state->mutex);
        if (!Latest())
            return {};
        return {m_state->staged.begin() + static_cast<std::ptrdiff_t>(m_firstLive), m_state->staged.end()};
    }

private:
    bool Latest() const { return m_state->latestMaster == m_serial; }

    std::shared_ptr<State> m_state;
    uint64_t m_serial;
    size_t m_firstLive = 0;
};

class TestRedbook : public IRedbookDiscMaster {
public:
    TestRedbook(std::shared_ptr<State> state, std::shared_ptr<CStagingRules> rules)
        : m_state(std::move(state)), m_rules(std::move(rules)) {}
    HRESULT CreateAudioTrack(long blocks) override {
        const HRESULT hr =
            m_state->Call(platform::Format("IRedbookDiscMaster::CreateAudioTrack(%ld)", blocks));
        return Failed(hr) ? hr : Answer(hr, m_rules->CreateAudioTrack(blocks));
    }
    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override {
        const HRESULT hr =
            m_state->Call(platform::Format("IRedbookDiscMaster::AddAudioTrackBlocks(%ld)", size));
        return Failed(hr) ? hr : Answer(hr, m_rules->AddAudioTrackBlocks(data, size));
    }
    HRESULT CloseAudioTrack() override {
        const HRESULT hr = m_state->Call("IRedbookDiscMaster::CloseAudioTrack");
        return Failed(hr) ? hr : Answer(hr, m_rules->CloseAudioTrack());
    }

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<CStagingRules> m_rules;
};

class TestMaster : public IDiscMaster {
public:
    TestMaster(std::shared_ptr<State> state, uint64_t serial)
        : m_state(std::move(state)), m_store(std::make_shared<TestStore>(m_state, serial)),
          m_rules(std::make_shared<CStagingRules>(m_store)) {}
    ~TestMaster() override { m_rules->Close(); }

    HRESULT Open() override {
        const HRESULT hr = m_state->Call("IDiscMaster::Open");
        return Failed(hr) ? hr : Answer(hr, m_rules->Open());
    }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override {
        const HRESULT hr = m_state->Call("IDiscMaster::GetActiveDiscMasterFormat");
        return Failed(hr) ? hr : Answer(hr, m_rules->GetFormat(format));
    }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        HRESULT hr = m_state->Call("IDiscMaster::SetActiveDiscMasterFormat(Redbook)");
        if (!Failed(hr))
            hr = Answer(hr, m_rules->SelectFormat(DiscFormat::Redbook));
        if (!Failed(hr))
            *master = std::make_shared<TestRedbook>(m_state, m_rules);
        return hr;
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>* master) override {
        HRESULT hr = m_state->Call("IDiscMaster::SetActiveDiscMasterFormat(Joliet)");
        if (!Failed(hr))
            hr = Answer(hr, m_rules->SelectFormat(DiscFormat::Joliet));
        if (!Failed(hr))
            *master = std::make_shared<IJolietDiscMaster>();
        return hr;
    }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        HRESULT hr = m_state->Call("IDiscMaster::EnumDiscRecorders");
        if (!Failed(hr))
            hr = Answer(hr, m_rules->RequireOpen());
        if (!Failed(hr))
            *recorders = std::make_shared<TestEnum>(m_state);
        return hr;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        const auto* r = dynamic_cast<const TestRecorderObject*>(recorder.get());
        const HRESULT hr = m_state->Call(platform::Format("IDiscMaster::SetActiveDiscRecorder(%d)",
                                                          r ? static_cast<int>(r->Index()) : -1));
        if (Failed(hr))
            return hr;
        // The medium in the recorder decides how much a disc can hold.
        TestRecorder medium;
        const bool known = r && r->Describes(m_state, &medium);
        return Answer(hr, m_rules->SetActiveRecorder(known, known ? medium.freeBlocks : 0));
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        const HRESULT hr = m_state->Call("IDiscMaster::ProgressAdvise");
        return Failed(hr) ? hr : m_rules->Sinks().Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override {
        const HRESULT hr = m_state->Call("IDiscMaster::ProgressUnadvise");
        return Failed(hr) ? hr : m_rules->Sinks().Unadvise(cookie);
    }
    HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) override {
        HRESULT hr = m_state->Call(
            platform::Format("IDiscMaster::RecordDisc(%d,%d)", simulate ? 1 : 0, ejectAfterBurn ? 1 : 0));
        if (!Failed(hr))
            hr = Answer(hr, m_rules->CheckRecord());
        if (Failed(hr))
            return hr;
        if (!PlayBurnEvents()) {
            m_rules->Discard();
            return IMAPI_E_USERABORT;
        }
        {
            std::lock_guard lock(m_state->mutex);
            m_state->recorded = m_store->Image();
            ++m_state->recordCount;
        }
        m_rules->Discard(); // as on a real recorder, the next disc is staged afresh
        return hr;
    }
    HRESULT Close() override {
        const HRESULT hr = m_state->Call("IDiscMaster::Close");
        return Failed(hr) ? hr : Answer(hr, m_rules->Close());
    }

private:
    // False when a QueryCancel was answered yes.
    bool PlayBurnEvents() {
        std::vector<TestProgressEvent> events;
        {
            std::lock_guard lock(m_state->mutex);
            events = m_state->burnEvents;
        }
        CProgressSinks& sinks = m_rules->Sinks();
        for (const TestProgressEvent& e : events) {
            switch (e.kind) {
            case TestProgressEvent::QueryCancel:
                if (sinks.QueryCancel())
                    return false;
                break;
            case TestProgressEvent::PnPActivity:
                sinks.PnPActivity();
                break;
            case TestProgressEvent::AddProgress:
                sinks.AddProgress(e.a, e.b);
                break;
            case TestProgressEvent::BlockProgress:
                sinks.BlockProgress(e.a, e.b);
                break;
            case TestProgressEvent::TrackProgress:
                sinks.TrackProgress(e.a, e.b);
                break;
            case TestProgressEvent::PreparingBurn:
                sinks.PreparingBurn(e.a);
                break;
            case TestProgressEvent::ClosingDisc:
                sinks.ClosingDisc(e.a);
                break;
            case TestProgressEvent::BurnComplete:
                sinks.BurnComplete(static_cast<HRESULT>(e.a));
                break;
            case TestProgressEvent::EraseComplete:
                sinks.EraseComplete(static_cast<HRESULT>(e.a));
                break;
            }
        }
        return true;
    }

    std::shared_ptr<State> m_state;
    std::shared_ptr<TestStore> m_store;
    std::shared_ptr<CStagingRules> m_rules;
};

} // namespace

CTestDiscBackend::CTestDiscBackend() : m_state(std::make_shared<State>()) {}
CTestDiscBackend::~CTestDiscBackend() = default;

HRESULT CTestDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    const HRESULT hr = m_state->Call("CreateDiscMaster");
    if (Failed(hr))
        return hr;
    uint64_t serial = 0;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->staged.clear();
        serial = ++m_state->latestMaster;
    }
    *master = std::make_shared<TestMaster>(m_state, serial);
    return hr;
}

void CTestDiscBackend::SetRecorders(const std::vector<TestRecorder>& recorders) {
    std::lock_guard lock(m_state->mutex);
    m_state->recorders = recorders;
}

std::vector<TestRecorder> CTestDiscBackend::Recorders() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->recorders;
}

void CTestDiscBackend::FailCall(const std::string& call, HRESULT hr, int occurrence) {
    std::lock_guard lock(m_state->mutex);
    m_state->failures.emplace(call, State::Failure{hr, occurrence});
}

void CTestDiscBackend::SetBurnEvents(const std::vector<TestProgressEvent>& events) {
    std::lock_guard lock(m_state->mutex);
    m_state->burnEvents = events;
}

void CTestDiscBackend::SetCallHook(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(m_state->mutex);
    m_state->hook = std::move(hook);
}

std::vector<std::string> CTestDiscBackend::Calls() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->calls;
}

int CTestDiscBackend::CountCalls(const std::string& call) const {
    std::lock_guard lock(m_state->mutex);
    int count = 0;
    for (const std::string& c : m_state->calls) {
        if (c == call || c.substr(0, c.find('(')) == call)
            ++count;
    }
    return count;
}

void CTestDiscBackend::ClearCalls() {
    std::lock_guard lock(m_state->mutex);
    m_state->calls.clear();
}

std::vector<StagedTrack> CTestDiscBackend::StagedTracks() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->staged;
}

std::vector<StagedTrack> CTestDiscBackend::RecordedTracks() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->recorded;
}

int CTestDiscBackend::RecordCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->recordCount;
}

} // namespace cdwriter
