#pragma once
// What workers report to the UI thread without waiting for it: a bar's position or range, a line's
// text, a window message that needs no answer. The UI thread takes the reports in the order they were
// made: values at most once a frame, an ordered report at its next turn, and everything before anything
// a worker waits for on it (RunOnUiThread, a message sent with CQtMessageTarget::Send, a message box).
// Values that pile up in between are merged, the
// latest winning; an ordered report (a new range, a stage of the work) is never merged, and no value
// made before it is merged with one made after it. So the UI thread never sees a value of an old range
// after the new range, and always sees the last value of every range. (Order is that of one thread's
// reports, and of reports the threads made one after the other.)
//
// One queue serves every receiver of the application's thread, so the order also holds between
// receivers: a range set on the progress dialog's bar and the positions a page window is sent for it.

#include <QString>
#include <atomic>
#include <cstdint>

namespace gui {

class CUiQueue {
public:
    class IReceiver;
    struct Report {
        IReceiver* receiver = nullptr;
        unsigned slot = 0; // what the report is about, per receiver (a message number)
        int64_t a = 0;     // the value
        int64_t b = 0;     // what the value is counted against: values with another b are not merged
        QString text;
    };
    class IReceiver {
    public:
        // On the UI thread, in the order the reports were made.
        virtual void Take(const Report& report) = 0;

    protected:
        ~IReceiver() = default;
    };
    enum class Kind { Value, Ordered };

    // Where a receiver keeps the latest value of one slot while the value waits in the queue: a worker
    // then replaces it without taking the queue's lock (a progress value comes every 2048 bytes).
    // A slot keeps its cell for the receiver's life; a slot without one goes through Put.
    class Cell {
    public:
        // The cell of `slot` among a receiver's cells, claimed on first use; null when all are taken.
        static Cell* Find(Cell* cells, int count, unsigned slot);

    private:
        friend class CUiQueue;
        std::atomic<uint64_t> m_key{0};    // slot + 1, 0 while free
        std::atomic<uint64_t> m_ticket{0}; // odd while a report in the queue reads its value
        std::atomic<int64_t> m_value{0};
        std::atomic<int64_t> m_b{0};
    };

    // From any thread. On the UI thread the receiver takes it at once, after what is queued.
    static void Put(const Report& report, Kind kind);
    // A value kept in `cell` while it waits; the same as Put otherwise.
    static void PutValue(IReceiver* receiver, unsigned slot, int64_t a, int64_t b, Cell& cell);
    // Always queued, also on the UI thread (a posted message).
    static void Queue(const Report& report, Kind kind);
    // On the UI thread: hands over everything queued so far. Inside a hand-over it does nothing, so
    // that a receiver's Take never sees reports that were made after the one it is taking.
    static void Deliver();
    // Drops what is queued for a receiver; its destructor calls it on the UI thread.
    static void Forget(const IReceiver* receiver);
    // True on the application's thread, or when there is no application (everything runs at once).
    static bool OnUiThread();

private:
    struct Entry;
    struct Shared;
    static Shared& State();
    static bool Merge(Shared& q, const Report& report, Cell* cell);
    // What a new report asks of the UI thread: nothing (one is on its way), a hand-over at its pace,
    // or one at once (an ordered report).
    enum class Wake { None, Paced, Now };
    static Wake Add(const Report& report, Kind kind, Cell* cell);
    static void Schedule(Wake wake);
    static void Seal(Entry& entry);
};

} // namespace gui
