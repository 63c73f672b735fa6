#pragma once
// Stand-in for a window that receives numbered messages: Send waits until the handler has run,
// Post queues the message and returns. Message numbers keep the values the program always used.

#include <cstdint>

namespace platform {

constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_USER = 0x0400;

class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void Post(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};

// Delivers a message the way a file object or job was told to: posted or sent; null = none.
inline void Deliver(IMessageTarget* target, bool post, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!target)
        return;
    if (post)
        target->Post(message, wParam, lParam);
    else
        target->Send(message, wParam, lParam);
}

} // namespace platform
