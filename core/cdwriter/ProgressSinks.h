#pragma once
// The progress event sinks registered with one disc master: each holds a reference from advise to
// unadvise; events go to every registered sink in the order they were registered.

#include "cdwriter/DiscInterfaces.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace cdwriter {

class CProgressSinks {
public:
    CProgressSinks() = default;
    ~CProgressSinks();
    CProgressSinks(const CProgressSinks&) = delete;
    CProgressSinks& operator=(const CProgressSinks&) = delete;

    HRESULT Advise(IDiscMasterProgressEvents* events, uintptr_t* cookie);
    HRESULT Unadvise(uintptr_t cookie);
    bool Empty() const { return m_sinks.empty(); }

    // True when any sink asks to cancel.
    bool QueryCancel();
    void AddProgress(long completed, long total);
    void BlockProgress(long completed, long total);
    void TrackProgress(long current, long total);
    void PreparingBurn(long seconds);
    void ClosingDisc(long seconds);
    void BurnComplete(HRESULT status);
    void EraseComplete(HRESULT status);
    void PnPActivity();

private:
    std::vector<std::pair<uintptr_t, IDiscMasterProgressEvents*>> m_sinks;
    uintptr_t m_nextCookie = 1;
};

} // namespace cdwriter
