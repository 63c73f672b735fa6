#include "card/TrackTransfer.h"

#include "platform/Text.h"
#include "wave/WaveFile.h"

namespace card {

intptr_t CTransferBar::Send(unsigned message, uintptr_t wParam, intptr_t) {
    if (!m_bar)
        return 0;
    const auto value = static_cast<int64_t>(wParam);
    if (m_follow == Follow::BytesTotal) {
        if (message == wave::WM_TRANSFER_TOTAL)
            m_bar->SetPos(value);
    } else if (message == wave::WM_TRANSFER_RANGE) {
        m_bar->SetRange(0, value);
    } else if (message == wave::WM_TRANSFER_POS) {
        m_bar->SetPos(value);
    }
    return 0;
}

void CTransferBar::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    Send(message, wParam, lParam);
}

std::string WaveWriteErrorText(const std::string& path) {
    return platform::Format("Wave file write error !\nfile : %s", path.c_str());
}

std::string WaveReadErrorText(const std::string& path) {
    return platform::Format("Can not read wave file!\nfile : %s", path.c_str());
}

} // namespace card
