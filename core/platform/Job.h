#pragma once
// The one shape every job shares: parameters in, a result out that says how the job ended, what the
// user was told, and the job's own details (the derived result's fields). Jobs that are a plain
// function of their parameters run behind the progress dialog through CFunctionJob.

#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <string>
#include <utility>

namespace platform {

template <typename Outcome> struct JobResult {
    Outcome outcome{};
    std::string message; // the failure or refusal text shown to the user; empty when none was
};

// Ends a job with `outcome`: the user is told `text` once, and the result keeps it.
template <typename Result, typename Outcome>
Result StopJob(Result result, Outcome outcome, IMessageBox* box, const std::string& text) {
    result.outcome = outcome;
    result.message = text;
    Tell(box, text);
    return result;
}

// Runs `Run` on the job's thread with the status line, bar and cancel flag of the progress dialog.
// `page` receives the transfer messages (the page window); the progress text line is not used.
template <typename ParamsT, typename ResultT,
          ResultT (*Run)(const ParamsT&, IMessageBox*, ITextLine*, IProgressBar*, const CancelFlag*,
                         IMessageTarget*)>
class CFunctionJob : public CProgressJob {
public:
    CFunctionJob(ParamsT params, IMessageBox* box, IMessageTarget* page = nullptr)
        : m_params(std::move(params)), m_box(box), m_page(page) {}

    void RunJob(ITextLine*, ITextLine* pStatusText, IProgressBar* pProgress, CancelFlag* pCancel) override {
        m_result = Run(m_params, m_box, pStatusText, pProgress, pCancel, m_page);
    }
    const ResultT& Result() const { return m_result; }

private:
    ParamsT m_params;
    IMessageBox* m_box;
    IMessageTarget* m_page;
    ResultT m_result;
};

} // namespace platform
