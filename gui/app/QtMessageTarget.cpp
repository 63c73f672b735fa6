#include "app/QtMessageTarget.h"

#include <QMetaObject>
#include <QThread>

namespace gui {

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

intptr_t CQtMessageTarget::Send(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!m_handler)
        return 0;
    if (QThread::currentThread() == thread())
        return m_handler(message, wParam, lParam);
    intptr_t result = 0;
    QMetaObject::invokeMethod(
        this, [&] { result = m_handler(message, wParam, lParam); }, Qt::BlockingQueuedConnection);
    return result;
}

void CQtMessageTarget::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    QMetaObject::invokeMethod(
        this,
        [this, message, wParam, lParam] {
            if (m_handler)
                m_handler(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

} // namespace gui
