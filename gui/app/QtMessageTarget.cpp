#include "app/QtMessageTarget.h"

#include <QMetaObject>
#include <QThread>

namespace gui {

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

CQtMessageTarget::~CQtMessageTarget() {
    CUiQueue::Forget(this);
}

CUiQueue::Report CQtMessageTarget::Make(unsigned message, uintptr_t wParam, intptr_t lParam) {
    CUiQueue::Report report;
    report.receiver = this;
    report.slot = message;
    report.a = static_cast<int64_t>(wParam);
    report.b = static_cast<int64_t>(lParam);
    return report;
}

intptr_t CQtMessageTarget::Send(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!m_handler)
        return 0;
    if (QThread::currentThread() == thread()) {
        CUiQueue::Deliver();
        return m_handler(message, wParam, lParam);
    }
    intptr_t result = 0;
    QMetaObject::invokeMethod(
        this,
        [&] {
            CUiQueue::Deliver();
            result = m_handler(message, wParam, lParam);
        },
        Qt::BlockingQueuedConnection);
    return result;
}

void CQtMessageTarget::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    CUiQueue::Queue(Make(message, wParam, lParam), CUiQueue::Kind::Ordered);
}

void CQtMessageTarget::Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) {
    if (!m_handler)
        return;
    if (notice == platform::Notice::Value) {
        if (CUiQueue::Cell* cell = CUiQueue::Cell::Find(m_cells.data(), int(m_cells.size()), message)) {
            CUiQueue::PutValue(this, message, static_cast<int64_t>(wParam), static_cast<int64_t>(lParam),
                               *cell);
            return;
        }
    }
    CUiQueue::Put(Make(message, wParam, lParam),
                  notice == platform::Notice::Value ? CUiQueue::Kind::Value : CUiQueue::Kind::Ordered);
}

void CQtMessageTarget::Take(const CUiQueue::Report& report) {
    if (m_handler)
        m_handler(report.slot, static_cast<uintptr_t>(report.a), static_cast<intptr_t>(report.b));
}

} // namespace gui
