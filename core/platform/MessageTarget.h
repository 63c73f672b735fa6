#pragma once
// Stand-in for a window that receives numbered messages: Send waits until the handler has run,
// Post queues the message and returns, Notify hands over a message that needs no answer. Message
// numbers keep the values the program always used.

#include <cstdint>

namespace platform {

constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_USER = 0x0400;

// What a message that needs no answer is to the window.
enum class Notice {
    Value, // a position or a count: the next one of the same number (and lParam) supersedes it
    Event, // anything else (a new range, a stage of the work): kept, and kept in its place
};

class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void Post(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    // The sender needs no answer and nothing the handler writes back. A window on another thread may
    // take it without making the sender wait, and of a run of values hand over only the latest; it
    // never hands a value over after an event that was notified later. Plain targets just send it.
    virtual void Notify(unsigned message, uintptr_t wParam, intptr_t lParam, Notice) {
        Send(message, wParam, lParam);
    }
};

// Delivers a message the way a file object or job was told to: posted or notified; null = none.
inline void Deliver(IMessageTarget* target, bool post, unsigned message, uintptr_t wParam, intptr_t lParam,
                    Notice notice = Notice::Event) {
    if (!target)
        return;
    if (post)
        target->Post(message, wParam, lParam);
    else
        target->Notify(message, wParam, lParam, notice);
}

} // namespace platform
