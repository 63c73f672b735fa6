#include "cdwriter/ProgressSinks.h"

namespace cdwriter {

CProgressSinks::~CProgressSinks() {
    for (auto& sink : m_sinks)
        sink.second->Release();
}

HRESULT CProgressSinks::Advise(IDiscMasterProgressEvents* events, uintptr_t* cookie) {
    if (!events || !cookie)
        return E_POINTER;
    events->AddRef();
    *cookie = m_nextCookie++;
    m_sinks.emplace_back(*cookie, events);
    return S_OK;
}

HRESULT CProgressSinks::Unadvise(uintptr_t cookie) {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == cookie) {
            IDiscMasterProgressEvents* events = it->second;
            m_sinks.erase(it);
            events->Release();
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

bool CProgressSinks::QueryCancel() {
    bool any = false;
    for (auto& sink : m_sinks) {
        bool cancel = false;
        if (!Failed(sink.second->QueryCancel(&cancel)) && cancel)
            any = true;
    }
    return any;
}

void CProgressSinks::AddProgress(long completed, long total) {
    for (auto& sink : m_sinks)
        sink.second->NotifyAddProgress(completed, total);
}

void CProgressSinks::BlockProgress(long completed, long total) {
    for (auto& sink : m_sinks)
        sink.second->NotifyBlockProgress(completed, total);
}

void CProgressSinks::TrackProgress(long current, long total) {
    for (auto& sink : m_sinks)
        sink.second->NotifyTrackProgress(current, total);
}

void CProgressSinks::PreparingBurn(long seconds) {
    for (auto& sink : m_sinks)
        sink.second->NotifyPreparingBurn(seconds);
}

void CProgressSinks::ClosingDisc(long seconds) {
    for (auto& sink : m_sinks)
        sink.second->NotifyClosingDisc(seconds);
}

void CProgressSinks::BurnComplete(HRESULT status) {
    for (auto& sink : m_sinks)
        sink.second->NotifyBurnComplete(status);
}

void CProgressSinks::EraseComplete(HRESULT status) {
    for (auto& sink : m_sinks)
        sink.second->NotifyEraseComplete(status);
}

void CProgressSinks::PnPActivity() {
    for (auto& sink : m_sinks)
        sink.second->NotifyPnPActivity();
}

} // namespace cdwriter
