#pragma once
// What the import and the export share while they move a track: a bar moved from the transfer
// messages when no page window takes them, and the texts that end a job on a failed file.

#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <string>

namespace card {

// Moves `bar` (which may be null) from the transfer messages of a CWaveFile.
class CTransferBar : public platform::IMessageTarget {
public:
    enum class Follow {
        FileCopy,   // each file's own range and position (a copy sets the range per source)
        BytesTotal, // the bytes written so far (the caller sets the range)
    };
    CTransferBar(platform::IProgressBar* bar, Follow follow) : m_bar(bar), m_follow(follow) {}
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;

private:
    platform::IProgressBar* m_bar;
    Follow m_follow;
};

std::string WaveWriteErrorText(const std::string& path);
std::string WaveReadErrorText(const std::string& path);

} // namespace card
