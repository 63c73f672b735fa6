#pragma once
// Runs a piece of code on the thread that owns `context` (the UI thread for every widget): at once
// when the caller is already there, otherwise queued there while the caller waits for it to finish.
// Either way the reports queued for the UI thread (CUiQueue) are handed over first, so the code sees
// everything the caller reported before. Never call it from the UI thread for an object of another
// thread.

#include "app/UiQueue.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace gui {

template <class F> void RunOnUiThread(QObject* context, F&& fn) {
    if (QThread::currentThread() == context->thread()) {
        CUiQueue::Deliver();
        fn();
    } else {
        QMetaObject::invokeMethod(
            context,
            [&fn] {
                CUiQueue::Deliver();
                fn();
            },
            Qt::BlockingQueuedConnection);
    }
}

} // namespace gui
