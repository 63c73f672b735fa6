#include "app/UiQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <mutex>

namespace gui {

// A queued report; a value kept in a cell is read from it when the report leaves the open stretch.
struct CUiQueue::Entry {
    Report report;
    Cell* cell = nullptr;
};

struct CUiQueue::Shared {
    std::mutex mutex;
    std::deque<Entry> entries;
    // Entries before this index are closed to merging: an ordered report follows them.
    size_t open = 0;
    // A hand-over is on its way to the UI thread (posted, or waiting for its pace).
    bool scheduled = false;
    // One is on its way that does not wait for the pace: an ordered report is queued.
    bool urgent = false;
};

CUiQueue::Shared& CUiQueue::State() {
    static Shared shared;
    return shared;
}

namespace {

// The UI thread takes the queue at most this often: a frame is as fast as anyone can see a bar move,
// and a worker that reports every few microseconds must not wake the UI thread each time.
constexpr std::chrono::milliseconds kPace{16};

// UI thread only.
int g_depth = 0;
std::chrono::steady_clock::time_point g_lastRun;

void RunScheduled() {
    g_lastRun = std::chrono::steady_clock::now();
    CUiQueue::Deliver();
}

// On the UI thread, once per wake-up from a worker: hands over now, or when the pace allows. A new range
// or stage is no value to hold back: it goes at once (with everything before it).
void OnArrived(bool urgent) {
    const auto due = g_lastRun + kPace;
    const auto now = std::chrono::steady_clock::now();
    if (urgent || now >= due)
        RunScheduled();
    else
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                           QCoreApplication::instance(), [] { RunScheduled(); });
}

} // namespace

CUiQueue::Cell* CUiQueue::Cell::Find(Cell* cells, int count, unsigned slot) {
    const uint64_t key = uint64_t(slot) + 1;
    for (int i = 0; i < count; ++i) {
        uint64_t held = cells[i].m_key.load(std::memory_order_acquire);
        if (held == 0 && cells[i].m_key.compare_exchange_strong(held, key))
            return &cells[i];
        if (held == key)
            return &cells[i];
    }
    return nullptr;
}

bool CUiQueue::OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return true;
    // Asked for every value a worker reports: the answer is kept per thread.
    thread_local const QCoreApplication* knownApp = nullptr;
    thread_local bool onUi = false;
    if (knownApp != app) {
        knownApp = app;
        onUi = QThread::currentThread() == app->thread();
    }
    return onUi;
}

// Fixes the value of a report whose cell it no longer reads (the cell may take a later report's value).
// Under the queue's lock. The ticket moves before the value is read: a worker that stored its value
// and still finds the ticket unmoved knows its value is the one read here, or a later one is.
void CUiQueue::Seal(Entry& entry) {
    if (!entry.cell)
        return;
    entry.cell->m_ticket.fetch_add(1);
    entry.report.a = entry.cell->m_value.load();
    entry.cell = nullptr;
}

// Under the queue's lock: puts the value into the report the open stretch holds for the same receiver,
// slot and b; false when there is none.
bool CUiQueue::Merge(Shared& q, const Report& report, Cell* cell) {
    if (cell) {
        // A queued cell's report is always in the open stretch: an ordered report seals the ones before it.
        if ((cell->m_ticket.load() & 1) == 0)
            return false;
        if (cell->m_b.load() == report.b) {
            cell->m_value.store(report.a);
            return true;
        }
        for (size_t i = q.open; i < q.entries.size(); ++i)
            if (q.entries[i].cell == cell)
                Seal(q.entries[i]);
        return false;
    }
    for (size_t i = q.entries.size(); i > q.open; --i) {
        Entry& queued = q.entries[i - 1];
        if (queued.report.receiver != report.receiver || queued.report.slot != report.slot)
            continue;
        if (queued.report.b != report.b)
            return false;
        queued.report.a = report.a;
        queued.report.text = report.text;
        return true;
    }
    return false;
}

// Adds a report; says whether the UI thread has to be woken for it.
CUiQueue::Wake CUiQueue::Add(const Report& report, Kind kind, Cell* cell) {
    Shared& q = State();
    std::lock_guard lock(q.mutex);
    if (kind == Kind::Value) {
        if (Merge(q, report, cell))
            return Wake::None;
        if (cell) {
            cell->m_b.store(report.b);
            cell->m_value.store(report.a);
        }
        q.entries.push_back({report, cell});
        if (cell)
            cell->m_ticket.fetch_add(1);
    } else {
        for (size_t i = q.open; i < q.entries.size(); ++i)
            Seal(q.entries[i]);
        q.entries.push_back({report, nullptr});
        q.open = q.entries.size();
    }
    Wake wake = q.scheduled ? Wake::None : Wake::Paced;
    q.scheduled = true;
    if (kind == Kind::Ordered && !q.urgent) {
        q.urgent = true;
        wake = Wake::Now;
    }
    return wake;
}

void CUiQueue::Schedule(Wake wake) {
    if (wake == Wake::None || !QCoreApplication::instance())
        return;
    const bool urgent = wake == Wake::Now;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [urgent] { OnArrived(urgent); }, Qt::QueuedConnection);
}

void CUiQueue::Put(const Report& report, Kind kind) {
    if (OnUiThread()) {
        Deliver();
        report.receiver->Take(report);
        return;
    }
    Queue(report, kind);
}

void CUiQueue::PutValue(IReceiver* receiver, unsigned slot, int64_t a, int64_t b, Cell& cell) {
    const bool onUi = OnUiThread();
    if (!onUi) {
        // The value waiting in the cell is replaced, unless the UI thread (or an ordered report) took
        // the cell meanwhile: then it goes into the queue anew.
        const uint64_t ticket = cell.m_ticket.load(std::memory_order_acquire);
        if ((ticket & 1) != 0 && cell.m_b.load(std::memory_order_relaxed) == b) {
            cell.m_value.store(a);
            if (cell.m_ticket.load() == ticket)
                return;
        }
    }
    Report report;
    report.receiver = receiver;
    report.slot = slot;
    report.a = a;
    report.b = b;
    if (onUi) {
        Deliver();
        receiver->Take(report);
    } else {
        Schedule(Add(report, Kind::Value, &cell));
    }
}

void CUiQueue::Queue(const Report& report, Kind kind) {
    Schedule(Add(report, kind, nullptr));
}

void CUiQueue::Deliver() {
    if (!OnUiThread() || g_depth > 0)
        return;
    ++g_depth;
    Shared& q = State();
    for (;;) {
        Report report;
        {
            std::lock_guard lock(q.mutex);
            if (q.entries.empty()) {
                // A report made from now on wakes the UI thread again.
                q.scheduled = false;
                q.urgent = false;
                break;
            }
            Seal(q.entries.front());
            report = std::move(q.entries.front().report);
            q.entries.pop_front();
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
    for (size_t i = 0; i < q.entries.size(); ++i) {
        if (q.entries[i].report.receiver == receiver) {
            Seal(q.entries[i]);
            if (i < q.open)
                --open;
            continue;
        }
        if (kept != i)
            q.entries[kept] = std::move(q.entries[i]);
        ++kept;
    }
    q.entries.resize(kept);
    q.open = open;
}

} // namespace gui
