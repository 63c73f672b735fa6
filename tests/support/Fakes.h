#pragma once
// Recording stand-ins for what a job is handed: the text lines, the bar, the page window, the message
// box and the Cancel button. Each records every call in order; the hooks let a test act at a chosen
// moment (cancel after the nth block, fill the disk when the copy starts). Used from one thread at a
// time, except the message box, which jobs may ask from any thread.

#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class RecordingTextLine : public platform::ITextLine {
public:
    void SetText(const std::string& text) override;
    // The last text, or empty before any.
    std::string Last() const { return texts.empty() ? std::string() : texts.back(); }

    std::vector<std::string> texts;
    std::function<void(const std::string&)> onText; // runs after the text is recorded
};

class RecordingBar : public platform::IProgressBar {
public:
    void SetRange(int64_t low, int64_t high) override;
    void SetPos(int64_t pos) override;
    // The high end of the last range and the last position, -1 before any.
    int64_t High() const { return ranges.empty() ? -1 : ranges.back().second; }
    int64_t Pos() const { return positions.empty() ? -1 : positions.back(); }

    std::vector<std::pair<int64_t, int64_t>> ranges;
    std::vector<int64_t> positions;
    std::vector<std::string> log; // "range 0..10" and "pos 3" in the order they came
};

class RecordingTarget : public platform::IMessageTarget {
public:
    struct Message {
        unsigned id;
        uintptr_t wParam;
        intptr_t lParam;
        bool posted;
        bool notified = false; // came through Notify, as `notice`
        platform::Notice notice = platform::Notice::Event;
    };
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) override;

    std::vector<uintptr_t> Values(unsigned id) const;
    int Count(unsigned id) const;
    // Runs `action` once, on the nth message `id` from now that arrives while `when` holds (always when
    // it is empty). Replaces onMessage.
    void ActOn(unsigned id, int n, std::function<void()> action, std::function<bool()> when = {});

    std::vector<Message> messages;
    // Runs before the message is recorded and may change what is recorded (an answer written back).
    std::function<void(Message&)> onMessage;
};

class RecordingCancelControl : public platform::ICancelControl {
public:
    void EnableCancel(int enable) override;

    std::vector<int> calls;
    std::function<void(int)> onCall; // runs after the call is recorded
};

// Records every text shown and answers from a queue (OK once the queue is empty).
class ScriptedMessageBox : public platform::IMessageBox {
public:
    struct Shown {
        std::string text;
        platform::MbButtons buttons;
    };
    platform::MbResult Show(const std::string& text, platform::MbButtons buttons) override;

    void QueueAnswer(platform::MbResult answer);
    std::vector<Shown> Messages() const;
    std::vector<std::string> Texts() const;

private:
    mutable std::mutex m_mutex;
    std::deque<platform::MbResult> m_answers;
    std::vector<Shown> m_shown;
};

} // namespace testsupport
