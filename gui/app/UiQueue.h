#pragma once
// What workers report to the UI thread without waiting for it: a bar's position or range, a line's
// text, a window message that needs no answer. The UI thread takes the reports in the order they were
// made, at most once a frame, and before anything a worker waits for on it (RunOnUiThread, a message
// sent with CQtMessageTarget::Send, a message box). Values that pile up in between are merged, the
// latest winning; an ordered report (a new range, a stage of the work) is never merged, and no value
// made before it is merged with one made after it. So the UI thread never sees a value of an old range
// after the new range, and always sees the last value of every range.
//
// One queue serves every receiver of the application's thread, so the order also holds between
// receivers: a range set on the progress dialog's bar and the positions a page window is sent for it.

#include <QString>
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

    // From any thread. On the UI thread the receiver takes it at once, after what is queued.
    static void Put(const Report& report, Kind kind);
    // Always queued, also on the UI thread (a posted message).
    static void Queue(const Report& report, Kind kind);
    // On the UI thread: hands over everything queued so far. Inside a hand-over it does nothing, so
    // that a receiver's Take never sees reports that were made after the one it is taking.
    static void Deliver();
    // Drops what is queued for a receiver; its destructor calls it on the UI thread.
    static void Forget(const IReceiver* receiver);
    // True on the application's thread, or when there is no application (everything runs at once).
    static bool OnUiThread();
};

} // namespace gui
