#include "platform/MessageBox.h"

namespace platform {

void Tell(IMessageBox* box, const std::string& text) {
    if (box)
        box->Show(text, MbButtons::Ok);
}

bool Ask(IMessageBox* box, const std::string& text) {
    return box && box->Show(text, MbButtons::OkCancel) == MbResult::Ok;
}

MbResult ScriptedMessageBox::Show(const std::string& text, MbButtons buttons) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({text, buttons});
    if (buttons == MbButtons::Ok || m_answers.empty())
        return MbResult::Ok;
    const MbResult answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedMessageBox::QueueAnswer(MbResult answer) {
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

} // namespace platform
