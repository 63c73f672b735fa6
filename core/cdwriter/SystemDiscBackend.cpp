#include "cdwriter/SystemDiscBackend.h"

#include <utility>

namespace cdwriter {

namespace {

struct Part {
    std::shared_ptr<IDiscMaster> master;
    bool open = false;
    std::shared_ptr<IRedbookDiscMaster> redbook;
    std::shared_ptr<IEnumDiscRecorders> recorders;
    uintptr_t cookie = 0;
    bool advised = false;
};

struct CombinedState {
    std::vector<Part> parts;
    std::vector<std::pair<std::weak_ptr<IDiscRecorder>, size_t>> owners; // which part a recorder came from
    int active = -1;

    Part* Active() { return active >= 0 ? &parts[static_cast<size_t>(active)] : nullptr; }
};

class CombinedRedbook : public IRedbookDiscMaster {
public:
    explicit CombinedRedbook(std::shared_ptr<CombinedState> state) : m_state(std::move(state)) {}
    HRESULT CreateAudioTrack(long blocks) override {
        IRedbookDiscMaster* r = Target();
        return r ? r->CreateAudioTrack(blocks) : IMAPI_E_NOACTIVERECORDER;
    }
    HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) override {
        IRedbookDiscMaster* r = Target();
        return r ? r->AddAudioTrackBlocks(data, size) : IMAPI_E_NOACTIVERECORDER;
    }
    HRESULT CloseAudioTrack() override {
        IRedbookDiscMaster* r = Target();
        return r ? r->CloseAudioTrack() : IMAPI_E_NOACTIVERECORDER;
    }

private:
    IRedbookDiscMaster* Target() {
        Part* p = m_state->Active();
        return p ? p->redbook.get() : nullptr;
    }
    std::shared_ptr<CombinedState> m_state;
};

class CombinedEnum : public IEnumDiscRecorders {
public:
    explicit CombinedEnum(std::shared_ptr<CombinedState> state) : m_state(std::move(state)) {}
    HRESULT Reset() override {
        for (Part& p : m_state->parts) {
            if (p.recorders) {
                const HRESULT hr = p.recorders->Reset();
                if (Failed(hr))
                    return hr;
            }
        }
        m_part = 0;
        return S_OK;
    }
    HRESULT Next(RecorderPtr* recorder) override {
        for (; m_part < m_state->parts.size(); ++m_part) {
            Part& p = m_state->parts[m_part];
            if (!p.recorders)
                continue;
            const HRESULT hr = p.recorders->Next(recorder);
            if (hr == S_OK && *recorder) {
                m_state->owners.emplace_back(*recorder, m_part);
                return S_OK;
            }
            if (Failed(hr))
                return hr;
        }
        recorder->reset();
        return S_FALSE;
    }

private:
    std::shared_ptr<CombinedState> m_state;
    size_t m_part = 0;
};

class CombinedMaster : public IDiscMaster {
public:
    explicit CombinedMaster(std::shared_ptr<CombinedState> state) : m_state(std::move(state)) {}

    HRESULT Open() override {
        HRESULT first = IMAPI_E_DEVICE_NOTPRESENT;
        bool any = false;
        for (Part& p : m_state->parts) {
            const HRESULT hr = p.master->Open();
            p.open = !Failed(hr);
            if (p.open)
                any = true;
            else if (first == IMAPI_E_DEVICE_NOTPRESENT)
                first = hr;
        }
        // A part that cannot start (no libburn access) must not hide the others.
        return any ? S_OK : first;
    }
    HRESULT GetActiveDiscMasterFormat(DiscFormat* format) override {
        *format = m_format;
        return AnyOpen() ? S_OK : IMAPI_E_NOTOPENED;
    }
    HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) override {
        HRESULT last = IMAPI_E_NOTOPENED;
        bool any = false;
        for (Part& p : m_state->parts) {
            if (!p.open)
                continue;
            p.redbook.reset();
            last = p.master->SetActiveRedbookFormat(&p.redbook);
            any = any || !Failed(last);
        }
        if (!any)
            return last;
        m_format = DiscFormat::Redbook;
        *master = std::make_shared<CombinedRedbook>(m_state);
        return S_OK;
    }
    HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>*) override { return E_NOTIMPL; }
    HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) override {
        HRESULT last = IMAPI_E_NOTOPENED;
        bool any = false;
        for (Part& p : m_state->parts) {
            p.recorders.reset();
            if (!p.open)
                continue;
            last = p.master->EnumDiscRecorders(&p.recorders);
            if (Failed(last))
                p.recorders.reset(); // a part that cannot list its recorders lists none
            else
                any = true;
        }
        if (!any)
            return last;
        m_state->owners.clear();
        *recorders = std::make_shared<CombinedEnum>(m_state);
        return S_OK;
    }
    HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) override {
        for (const auto& [weak, index] : m_state->owners) {
            if (weak.lock() == recorder && recorder) {
                const HRESULT hr = m_state->parts[index].master->SetActiveDiscRecorder(recorder);
                if (!Failed(hr))
                    m_state->active = static_cast<int>(index);
                return hr;
            }
        }
        return IMAPI_E_DEVICE_NOTPRESENT;
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) override {
        for (Part& p : m_state->parts) {
            if (!p.open || p.advised)
                continue;
            const HRESULT hr = p.master->ProgressAdvise(events, &p.cookie);
            if (Failed(hr)) {
                Unadvise();
                return hr;
            }
            p.advised = true;
        }
        *cookie = 1;
        return S_OK;
    }
    HRESULT ProgressUnadvise(uintptr_t cookie) override { return cookie == 1 ? Unadvise() : E_INVALIDARG; }
    HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) override {
        Part* p = m_state->Active();
        return p ? p->master->RecordDisc(simulate, ejectAfterBurn) : IMAPI_E_NOACTIVERECORDER;
    }
    HRESULT Close() override {
        HRESULT result = AnyOpen() ? S_OK : IMAPI_E_NOTOPENED;
        for (Part& p : m_state->parts) {
            if (!p.open)
                continue;
            const HRESULT hr = p.master->Close();
            if (Failed(hr))
                result = hr;
            p.open = false;
        }
        m_state->active = -1;
        return result;
    }

private:
    bool AnyOpen() const {
        for (const Part& p : m_state->parts)
            if (p.open)
                return true;
        return false;
    }
    HRESULT Unadvise() {
        HRESULT result = S_OK;
        for (Part& p : m_state->parts) {
            if (!p.advised)
                continue;
            const HRESULT hr = p.master->ProgressUnadvise(p.cookie);
            if (Failed(hr))
                result = hr;
            p.advised = false;
        }
        return result;
    }

    std::shared_ptr<CombinedState> m_state;
    DiscFormat m_format = DiscFormat::None;
};

} // namespace

CCombinedDiscBackend::CCombinedDiscBackend(std::vector<IDiscBackend*> parts) : m_parts(std::move(parts)) {}

HRESULT CCombinedDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    if (!master)
        return E_POINTER;
    auto state = std::make_shared<CombinedState>();
    HRESULT first = S_OK;
    for (IDiscBackend* backend : m_parts) {
        Part part;
        const HRESULT hr = backend ? backend->CreateDiscMaster(&part.master) : E_POINTER;
        if (!Failed(hr) && part.master)
            state->parts.push_back(std::move(part));
        else if (first == S_OK)
            first = Failed(hr) ? hr : E_POINTER;
    }
    if (state->parts.empty())
        return Failed(first) ? first : IMAPI_E_DEVICE_NOTPRESENT;
    *master = std::make_shared<CombinedMaster>(state);
    return S_OK;
}

CSystemDiscBackend::CSystemDiscBackend(const Options& options) : m_libburn(options.extraDriveAddresses) {
    std::vector<IDiscBackend*> parts{options.recorders ? options.recorders : &m_libburn};
    if (!options.imageFolder.empty()) {
        m_image = std::make_unique<CImageDiscBackend>(options.imageFolder, options.imageBaseName);
        parts.push_back(m_image.get());
    }
    m_combined = std::make_unique<CCombinedDiscBackend>(std::move(parts));
}

HRESULT CSystemDiscBackend::CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) {
    return m_combined->CreateDiscMaster(master);
}

bool CSystemDiscBackend::IsImageRecorder(int index, int count, const std::string& name) const {
    return m_image && count > 0 && index == count - 1 && name == CImageDiscBackend::kRecorderName;
}

bool CSystemDiscBackend::SetImagePath(const std::string& folder, const std::string& baseName) {
    if (!m_image)
        return false;
    m_image->SetDestination(folder, baseName);
    return true;
}

} // namespace cdwriter
