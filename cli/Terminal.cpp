#include "Terminal.h"

#include "Commands.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace cli {

TerminalMessageBox::TerminalMessageBox(bool answerYes) : m_yes(answerYes) {}

platform::MbResult TerminalMessageBox::Show(const std::string& text, platform::MbButtons buttons) {
    std::lock_guard lock(m_mutex);
    if (buttons == platform::MbButtons::Ok) {
        ++m_reports;
        std::fprintf(stderr, "\n%s\n", text.c_str());
        return platform::MbResult::Ok;
    }
    if (m_yes) {
        // The answer is known already: the question is worth a line only to whoever asked for every one.
        if (GetVerbosity() == Verbosity::Verbose)
            std::fprintf(stderr, "\n%s\n[OK: --yes]\n", text.c_str());
        return platform::MbResult::Ok;
    }
    std::fprintf(stderr, "\n%s\n", text.c_str());
    if (!::isatty(STDIN_FILENO)) {
        // Never wait on a pipe or a closed input: the caller must say --yes to go on.
        m_unanswered = true;
        std::fprintf(stderr,
                     "This needs an answer and standard input is not a terminal; run again with --yes.\n");
        return platform::MbResult::Cancel;
    }
    std::fprintf(stderr, "OK? [y/N] ");
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return platform::MbResult::Cancel;
    return (answer == "y" || answer == "Y" || answer == "yes" || answer == "ok" || answer == "OK")
               ? platform::MbResult::Ok
               : platform::MbResult::Cancel;
}

TerminalProgress::TerminalProgress()
    : m_tty(::isatty(STDERR_FILENO) != 0), m_quiet(GetVerbosity() == Verbosity::Quiet) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::SetText(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (text == m_text)
        return;
    if (m_lineOpen) {
        std::fputc('\n', stderr);
        m_lineOpen = false;
    }
    m_text = text;
    m_lastPercent = -1;
    if (m_quiet)
        return;
    if (!m_tty) {
        if (!text.empty())
            std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    Draw(true);
}

void TerminalProgress::SetRange(int64_t low, int64_t high) {
    std::lock_guard lock(m_mutex);
    m_low = low;
    m_high = high;
    m_pos = low;
    m_lastPercent = -1;
}

void TerminalProgress::SetPos(int64_t pos) {
    std::lock_guard lock(m_mutex);
    m_pos = pos;
    Draw(false);
}

void TerminalProgress::Finish() {
    std::lock_guard lock(m_mutex);
    if (m_lineOpen)
        std::fputc('\n', stderr);
    m_lineOpen = false;
}

void TerminalProgress::Draw(bool force) {
    if (m_quiet || m_high <= m_low)
        return;
    const int64_t span = m_high - m_low;
    const int64_t done = std::min(std::max<int64_t>(m_pos - m_low, 0), span);
    const int percent = static_cast<int>(done * 100 / span);
    if (!m_tty) {
        // Plain lines: one every 25 percent keeps logs readable.
        if (percent / 25 != m_lastPercent / 25 || m_lastPercent < 0) {
            if (percent > 0)
                std::fprintf(stderr, "  %3d%%\n", percent);
            m_lastPercent = percent;
        }
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && percent == m_lastPercent && now - m_lastDraw < std::chrono::milliseconds(200))
        return;
    m_lastDraw = now;
    m_lastPercent = percent;
    constexpr int width = 30;
    const int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '-');
    std::fprintf(stderr, "\r%-20.20s [%s] %3d%%", m_text.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    m_lineOpen = true;
}

void TerminalDetail::SetText(const std::string& text) {
    if (!text.empty())
        Note(text);
}

} // namespace cli
