#pragma once
// What the CD writer page does with the disc progress messages: the text line and the bar follow
// the burn, and the cancel query is answered from the job's cancel flag. One function, called by the
// GUI page on its UI thread and by the command line directly.

#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <cstdint>
#include <mutex>

namespace cdwriter {

// The controls a burn job hands to the handler; valid while that job runs.
struct DiscProgressView {
    platform::ITextLine* progressText = nullptr;
    platform::IProgressBar* progressBar = nullptr;
    const platform::CancelFlag* cancelFlag = nullptr;
    // The bar's upper bound as last set here (-1 = not set yet), standing in for reading it back.
    int64_t rangeHigh = -1;
};

// Handles one WM_DISC_* message; always returns 0 (other messages are left alone).
intptr_t HandleDiscProgressMessage(DiscProgressView& view, unsigned message, uintptr_t wParam,
                                   intptr_t lParam);

// A message target that handles disc progress messages in the sender's thread.
class CDirectProgressTarget : public platform::IMessageTarget {
public:
    explicit CDirectProgressTarget(DiscProgressView* view) : m_view(view) {}
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;

private:
    DiscProgressView* m_view;
    std::mutex m_mutex; // libburn's progress may come from more than one thread
};

} // namespace cdwriter
