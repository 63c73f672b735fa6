#include "Fakes.h"

#include "platform/Text.h"

namespace testsupport {

void RecordingTextLine::SetText(const std::string& text) {
    texts.push_back(text);
    if (onText)
        onText(text);
}

void RecordingBar::SetRange(int64_t low, int64_t high) {
    ranges.emplace_back(low, high);
    log.push_back(
        platform::Format("range %lld..%lld", static_cast<long long>(low), static_cast<long long>(high)));
}

void RecordingBar::SetPos(int64_t pos) {
    positions.push_back(pos);
    log.push_back(platform::Format("pos %lld", static_cast<long long>(pos)));
}

intptr_t RecordingTarget::Send(unsigned message, uintptr_t wParam, intptr_t lParam) {
    Message m{message, wParam, lParam, false};
    if (onMessage)
        onMessage(m);
    messages.push_back(m);
    return 0;
}

void RecordingTarget::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    Message m{message, wParam, lParam, true};
    if (onMessage)
        onMessage(m);
    messages.push_back(m);
}

void RecordingTarget::Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice) {
    Message m{message, wParam, lParam, false, true, notice};
    if (onMessage)
        onMessage(m);
    messages.push_back(m);
}

std::vector<uintptr_t> RecordingTarget::Values(unsigned id) const {
    std::vector<uintptr_t> values;
    for (const Message& m : messages)
        if (m.id == id)
            values.push_back(m.wParam);
    return values;
}

int RecordingTarget::Count(unsigned id) const {
    return static_cast<int>(Values(id).size());
}

void RecordingTarget::ActOn(unsigned id, int n, std::function<void()> action, std::function<bool()> when) {
    auto left = std::make_shared<int>(n);
    onMessage = [=, action = std::move(action), when = std::move(when)](Message& m) {
        if (m.id == id && *left > 0 && (!when || when()) && --*left == 0)
            action();
    };
}

void RecordingCancelControl::EnableCancel(int enable) {
    calls.push_back(enable);
    if (onCall)
        onCall(enable);
}

platform::MbResult ScriptedMessageBox::Show(const std::string& text, platform::MbButtons buttons) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({text, buttons});
    if (buttons == platform::MbButtons::Ok || m_answers.empty())
        return platform::MbResult::Ok;
    const platform::MbResult answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedMessageBox::QueueAnswer(platform::MbResult answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<ScriptedMessageBox::Shown> ScriptedMessageBox::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::string> ScriptedMessageBox::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& s : m_shown)
        texts.push_back(s.text);
    return texts;
}

} // namespace testsupport
