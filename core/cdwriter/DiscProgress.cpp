#include "cdwriter/DiscProgress.h"

#include "cdwriter/DiscMaster.h"
#include "platform/Text.h"

namespace cdwriter {

namespace {

void SetText(const DiscProgressView& view, const std::string& text) {
    if (view.progressText)
        view.progressText->SetText(text);
}

} // namespace

intptr_t HandleDiscProgressMessage(DiscProgressView& view, unsigned message, uintptr_t wParam,
                                   intptr_t lParam) {
    switch (message) {
    case WM_DISC_QUERY_CANCEL:
        // The question carries the address of the answer, as a window message carries a pointer.
        if (bool* answer = reinterpret_cast<bool*>(wParam)) // NOLINT(performance-no-int-to-ptr)
            *answer = platform::IsCancelled(view.cancelFlag);
        break;
    case WM_DISC_ADD_PROGRESS:
    case WM_DISC_BLOCK_PROGRESS:
        if (view.progressBar) {
            if (view.rangeHigh != static_cast<int64_t>(lParam)) {
                view.progressBar->SetRange(0, lParam);
                view.rangeHigh = lParam;
            }
            view.progressBar->SetPos(static_cast<int64_t>(wParam));
        }
        break;
    case WM_DISC_TRACK_PROGRESS:
        SetText(view, platform::Format("Burning Track%d..", static_cast<int>(wParam) + 1));
        break;
    case WM_DISC_PREPARING_BURN:
        SetText(view, "Preparing to burn a disc..");
        break;
    case WM_DISC_CLOSING_DISC:
        SetText(view, "Closing disc..");
        break;
    case WM_DISC_BURN_COMPLETE:
        SetText(view, "");
        break;
    case WM_DISC_ERASE_COMPLETE:
        SetText(view, "Erase complete.");
        break;
    default: // WM_DISC_PNP_ACTIVITY and anything else
        break;
    }
    return 0;
}

intptr_t CDirectProgressTarget::Send(unsigned message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard lock(m_mutex);
    return m_view ? HandleDiscProgressMessage(*m_view, message, wParam, lParam) : 0;
}

void CDirectProgressTarget::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    // A posted cancel query would outlive the answer it points to: only plain notifications count.
    if (message != WM_DISC_QUERY_CANCEL)
        Send(message, wParam, lParam);
}

} // namespace cdwriter
