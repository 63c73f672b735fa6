#pragma once
// The Qt side of a message target: the handler always runs on the UI thread. Send from the UI thread
// calls it directly, Send from a worker waits until the UI thread has run it, Post queues it.

#include "platform/MessageTarget.h"

#include <QObject>
#include <functional>

namespace gui {

class CQtMessageTarget : public QObject, public platform::IMessageTarget {
public:
    using Handler = std::function<intptr_t(unsigned message, uintptr_t wParam, intptr_t lParam)>;

    // Create it on the UI thread; the handler runs there.
    explicit CQtMessageTarget(Handler handler, QObject* parent = nullptr);

    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;

private:
    Handler m_handler;
};

} // namespace gui
