#pragma once
// The terminal side of the job interfaces: questions on the terminal (or answered by --yes, shown only
// with --verbose), a progress bar on stderr when it is a terminal, plain lines otherwise, and neither
// with --quiet.

#include "platform/MessageBox.h"
#include "platform/Progress.h"

#include <chrono>
#include <mutex>
#include <string>

namespace cli {

class TerminalMessageBox : public platform::IMessageBox {
public:
    explicit TerminalMessageBox(bool answerYes);
    platform::MbResult Show(const std::string& text, platform::MbButtons buttons) override;

    // A question came up that nobody could answer (no --yes, no terminal): the command must fail.
    bool Unanswered() const { return m_unanswered; }
    // Messages with only an OK button are the program's reports; the caller may treat some as failure.
    int Reports() const { return m_reports; }

private:
    bool m_yes;
    bool m_unanswered = false;
    int m_reports = 0;
    std::mutex m_mutex;
};

// Status line (the job's headline, e.g. "ZT to PC   Track3") and progress bar, drawn together.
class TerminalProgress : public platform::ITextLine, public platform::IProgressBar {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    void SetText(const std::string& text) override;
    void SetRange(int64_t low, int64_t high) override;
    void SetPos(int64_t pos) override;
    // Ends the current bar line.
    void Finish();

private:
    void Draw(bool force);

    bool m_tty;
    bool m_quiet;
    std::mutex m_mutex;
    std::string m_text;
    int64_t m_low = 0, m_high = 0, m_pos = 0;
    int m_lastPercent = -1;
    bool m_lineOpen = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

// Lines that the detail text of a job writes are printed as they come.
class TerminalDetail : public platform::ITextLine {
public:
    void SetText(const std::string& text) override;
};

} // namespace cli
