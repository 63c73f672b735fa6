#pragma once
// The Qt side of a message target: the handler always runs on the UI thread, in the order the messages
// were made.
//
// - Send from the UI thread calls the handler directly; Send from a worker waits until the UI thread
//   has run it. Either way the handler first gets everything notified before, so an answer (the
//   cancel query, WM_DISC_QUERY_CANCEL) is given on the latest state.
// - Post queues the message; it is never merged.
// - Notify never waits (CUiQueue). Values are coalesced, the latest of each message number (and
//   lParam) winning: WM_TRANSFER_POS and WM_TRANSFER_TOTAL (wave/WaveFile.h) and WM_DISC_ADD_PROGRESS
//   and WM_DISC_BLOCK_PROGRESS (cdwriter/DiscMaster.h). Every other notified message arrives one by one
//   in its place: WM_TRANSFER_RANGE, the disc stages (track, preparing, closing, complete, PnP). A value
//   is never handed over after an event notified later, and the last value before an event always is.
//   Values also keep their order against the progress dialog's bar and text lines.

#include "app/UiQueue.h"
#include "platform/MessageTarget.h"

#include <QObject>
#include <array>
#include <functional>

namespace gui {

class CQtMessageTarget : public QObject, public platform::IMessageTarget, private CUiQueue::IReceiver {
public:
    using Handler = std::function<intptr_t(unsigned message, uintptr_t wParam, intptr_t lParam)>;

    // Create it on the UI thread; the handler runs there.
    explicit CQtMessageTarget(Handler handler, QObject* parent = nullptr);
    ~CQtMessageTarget() override;
    CQtMessageTarget(const CQtMessageTarget&) = delete;
    CQtMessageTarget& operator=(const CQtMessageTarget&) = delete;

    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) override;

private:
    void Take(const CUiQueue::Report& report) override;
    CUiQueue::Report Make(unsigned message, uintptr_t wParam, intptr_t lParam);

    Handler m_handler;
    // The first value messages notified keep their latest value here while it waits.
    std::array<CUiQueue::Cell, 4> m_cells;
};

} // namespace gui
