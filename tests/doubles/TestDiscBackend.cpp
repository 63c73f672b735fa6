#include "TestDiscBackend.h"

#include "cdwriter/ProgressSinks.h"
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

class TestRedbook : public IRedbookDiscMaster {
public:
    explicit TestRedbook(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    HRESULT CreateAudioTrack(long blocks) override {
        const HRESULT hr =
            m_state->Call(platform::Format("IRedbookDiscMaster::CreateAudioTrack(%ld)", blocks));
        if (Failed(hr))
            return hr;
        std::lock_guard lock(m_state->mutex);
        StagedTrack track;
        track.announcedBlocks = blocks;
        m_state->staged.push_back(track);
        return hr;
    }
    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override {
        const HRESULT hr =
            m_state->Call(platform::Format("IRedbookDiscMaster::AddAudioTrackBlocks(%ld)", size));
        if (Failed(hr))
            return hr;
        std::lock_guard lock(m_state->mutex);
        if (m_state->staged.empty() || m_state->staged.back().closed)
            return IMAPI_E_TRACKNOTOPEN;
        auto& bytes = m_state->staged.back().data;
        bytes.insert(bytes.end(), data, data + size);
        return hr;
    }
    HRESULT CloseAudioTrack() override {
        const HRESULT hr = m_state->Call("IRedbookDiscMaster::CloseAudioTrack");
        if (Failed(hr))
            return hr;
        std::lock_guard lock(m_state->mutex);
        if (m_state->staged.empty() || m_state->staged.back().closed)
            return IMAPI_E_TRACKNOTOPEN;
        m_state->staged.back().closed = true;
        return hr;
    }

private:
    std::shared_ptr<State> m_state;
};

class TestMaster : public IDiscMaster {
public:
    explicit TestMaster(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    HRESULT Open() override { return m_state->Call("IDiscMaster::Open"); }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override {
        *format = m_format;
        return m_state->Call("IDiscMaster::GetActiveDiscMasterFormat");
    }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        const HRESULT hr = m_state->Call("IDiscMaster::SetActiveDiscMasterFormat(Redbook)");
        if (Failed(hr))
            return hr;
        m_format = DiscFormat::Redbook;
        *master = std::make_shared<TestRedbook>(m_state);
        return hr;
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>* master) override {
        const HRESULT hr = m_state->Call("IDiscMaster::SetActiveDiscMasterFormat(Joliet)");
        if (Failed(hr))
            return hr;
        m_format = DiscFormat::Joliet;
        *master = std::make_shared<IJolietDiscMaster>();
        return hr;
    }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        const HRESULT hr = m_state->Call("IDiscMaster::EnumDiscRecorders");
        if (!Failed(hr))
            *recorders = std::make_shared<TestEnum>(m_state);
        return hr;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        const auto* r = dynamic_cast<const TestRecorderObject*>(recorder.get());
        return m_state->Call(platform::Format("IDiscMaster::SetActiveDiscRecorder(%d)",
                                              r ? static_cast<int>(r->Index()) : -1));
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        const HRESULT hr = m_state->Call("IDiscMaster::ProgressAdvise");
        return Failed(hr) ? hr : m_sinks.Advise(events, cookie);
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override {
        const HRESULT hr = m_state->Call("IDiscMaster::ProgressUnadvise");
        return Failed(hr) ? hr : m_sinks.Unadvise(cookie);
    }
    HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) override {
        const HRESULT hr = m_state->Call(
            platform::Format("IDiscMaster::RecordDisc(%d,%d)", simulate ? 1 : 0, ejectAfterBurn ? 1 : 0));
        if (Failed(hr))
            return hr;
        std::vector<TestProgressEvent> events;
        {
            std::lock_guard lock(m_state->mutex);
            events = m_state->burnEvents;
        }
        for (const TestProgressEvent& e : events) {
            switch (e.kind) {
            case TestProgressEvent::QueryCancel:
                if (m_sinks.QueryCancel())
                    return IMAPI_E_USERABORT;
                break;
            case TestProgressEvent::PnPActivity:
                m_sinks.PnPActivity();
                break;
            case TestProgressEvent::AddProgress:
                m_sinks.AddProgress(e.a, e.b);
                break;
            case TestProgressEvent::BlockProgress:
                m_sinks.BlockProgress(e.a, e.b);
                break;
            case TestProgressEvent::TrackProgress:
                m_sinks.TrackProgress(e.a, e.b);
                break;
            case TestProgressEvent::PreparingBurn:
                m_sinks.PreparingBurn(e.a);
                break;
            case TestProgressEvent::ClosingDisc:
                m_sinks.ClosingDisc(e.a);
                break;
            case TestProgressEvent::BurnComplete:
                m_sinks.BurnComplete(static_cast<HRESULT>(e.a));
                break;
            case TestProgressEvent::EraseComplete:
                m_sinks.EraseComplete(static_cast<HRESULT>(e.a));
                break;
            }
        }
        std::lock_guard lock(m_state->mutex);
        m_state->recorded = m_state->staged;
        ++m_state->recordCount;
        return hr;
    }
    HRESULT Close() override { return m_state->Call("IDiscMaster::Close"); }

private:
    std::shared_ptr<State> m_state;
    DiscFormat m_format = DiscFormat::None;
    CProgressSinks m_sinks;
};

} // namespace

CTestDiscBackend::CTestDiscBackend() : m_state(std::make_shared<State>()) {}
CTestDiscBackend::~CTestDiscBackend() = default;

HRESULT CTestDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    const HRESULT hr = m_state->Call("CreateDiscMaster");
    if (Failed(hr))
        return hr;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->staged.clear();
    }
    *master = std::make_shared<TestMaster>(m_state);
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
