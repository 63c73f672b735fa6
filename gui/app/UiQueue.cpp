#include "app/UiQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <mutex>

namespace gui {
namespace {

// The UI thread takes the queue at most this often: a frame is as fast as anyone can see a bar move,
// and a worker that reports every few microseconds must not wake the UI thread each time.
constexpr std::chrono::milliseconds kPace{16};

struct Shared {
    std::mutex mutex;
    std::deque<CUiQueue::Report> reports;
    // Reports before this index are closed to merging: an ordered report follows them.
    size_t open = 0;
    // A hand-over is on its way to the UI thread (posted, or waiting for its pace).
    bool scheduled = false;
};

Shared& State() {
    static Shared shared;
    return shared;
}

// UI thread only.
int g_depth = 0;
std::chrono::steady_clock::time_point g_lastRun;

void RunScheduled() {
    g_lastRun = std::chrono::steady_clock::now();
    CUiQueue::Deliver();
}

// On the UI thread, once per wake-up from a worker: hands over now, or when the pace allows.
void OnArrived() {
    const auto due = g_lastRun + kPace;
    const auto now = std::chrono::steady_clock::now();
    if (now >= due)
        RunScheduled();
    else
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                           QCoreApplication::instance(), [] { RunScheduled(); });
}

// Adds a report; true when the UI thread has to be woken for it.
bool Add(const CUiQueue::Report& report, CUiQueue::Kind kind) {
    Shared& q = State();
    std::lock_guard lock(q.mutex);
    if (kind == CUiQueue::Kind::Value) {
        for (size_t i = q.reports.size(); i > q.open; --i) {
            CUiQueue::Report& queued = q.reports[i - 1];
            if (queued.receiver != report.receiver || queued.slot != report.slot)
                continue;
            if (queued.b != report.b)
                break;
            queued.a = report.a;
            queued.text = report.text;
            return false;
        }
    }
    q.reports.push_back(report);
    if (kind == CUiQueue::Kind::Ordered)
        q.open = q.reports.size();
    const bool wake = !q.scheduled;
    q.scheduled = true;
    return wake;
}

} // namespace

bool CUiQueue::OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void CUiQueue::Put(const Report& report, Kind kind) {
    if (OnUiThread()) {
        Deliver();
        report.receiver->Take(report);
        return;
    }
    Queue(report, kind);
}

void CUiQueue::Queue(const Report& report, Kind kind) {
    if (Add(report, kind) && QCoreApplication::instance())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { OnArrived(); }, Qt::QueuedConnection);
}

void CUiQueue::Deliver() {
    if (g_depth > 0 || !OnUiThread())
        return;
    ++g_depth;
    Shared& q = State();
    for (;;) {
        Report report;
        {
            std::lock_guard lock(q.mutex);
            if (q.reports.empty()) {
                // A report made from now on wakes the UI thread again.
                q.scheduled = false;
                break;
            }
            report = std::move(q.reports.front());
            q.reports.pop_front();
            if (q.open > 0)
                --q.open;
        }
        report.receiver->Take(report);
    }
    --g_depth;
}

void CUiQueue::Forget(const IReceiver* receiver) {
    Shared& q = State();
    std::lock_guard lock(q.mutex);
    size_t kept = 0, open = q.open;
    for (size_t i = 0; i < q.reports.size(); ++i) {
        if (q.reports[i].receiver == receiver) {
            if (i < q.open)
                --open;
            continue;
        }
        if (kept != i)
            q.reports[kept] = std::move(q.reports[i]);
        ++kept;
    }
    q.reports.resize(kept);
    q.open = open;
}

} // namespace gui
