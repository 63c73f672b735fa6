#include "cdwriter/BurnJob.h"

#include "cdwriter/DiscMaster.h"
#include "platform/Text.h"

namespace cdwriter {

CBurnJob::CBurnJob(BurnParams params, platform::IMessageBox* messageBox,
                   platform::ICancelControl* cancelControl, platform::IMessageTarget* window)
    : m_params(std::move(params)), m_messageBox(messageBox), m_cancelControl(cancelControl),
      m_window(window) {}

void CBurnJob::RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                      platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    m_result = BurnResult{};
    CDiscMaster discMaster(m_params.backend);
    m_view = DiscProgressView{pProgressText, pProgress, pCancel};
    CDirectProgressTarget direct(&m_view);
    platform::IMessageTarget* window = m_window ? m_window : &direct;

    if (pProgress)
        pProgress->SetPos(0);
    if (pStatusText)
        pStatusText->SetText("Please do not boot other applications while burning.");

    ERR_CODE err = ERR_INIT;
    // One pass; a failing step leaves it with the code to report.
    const bool done = [&]() {
        if (!discMaster.InitDiscMaster()) {
            err = ERR_INIT;
            return false;
        }
        if (!discMaster.SelectRecorder(m_params.recorderIndex)) {
            err = ERR_SELECT_RECORDER;
            return false;
        }
        uint16_t type = 0, state = 0;
        if (!discMaster.QueryMedia(&type, &state)) {
            err = ERR_QUERY_MEDIA;
            return false;
        }
        if (type == 0) {
            platform::Tell(m_messageBox, "Please set blank disc.");
            m_result.outcome = BurnOutcome::NoMedium;
            discMaster.ReleaseDiscMaster();
            return true;
        }
        if (state == 2) {
            // Either answer ends the burn: the question only asks the user to acknowledge.
            platform::Ask(m_messageBox, "The disc cannot hold any more data.\nPlease erase disc data first.");
            m_result.outcome = BurnOutcome::NotBlank;
            discMaster.ReleaseDiscMaster();
            return true;
        }
        if (!discMaster.AdviseProgress(window)) {
            err = ERR_ADVISE;
            return false;
        }
        discMaster.SetCancelFlag(pCancel);
        for (const BurnTrack& track : m_params.tracks) {
            if (pProgressText)
                pProgressText->SetText(
                    platform::Format("Add track.  file name : %s", track.fileName.c_str()));
            if (!discMaster.AddWaveTrack(track.path)) {
                err = ERR_ADD_TRACK;
                return false;
            }
            if (platform::IsCancelled(pCancel)) {
                discMaster.UnadviseProgress();
                discMaster.ReleaseDiscMaster();
                m_result.outcome = BurnOutcome::Cancelled;
                return true;
            }
        }
        if (m_cancelControl)
            m_cancelControl->EnableCancel(0); // from here on the burn cannot be cancelled
        if (!discMaster.BurnDisc()) {
            err = ERR_RECORD;
            return false;
        }
        if (!discMaster.UnadviseProgress()) {
            err = ERR_UNADVISE;
            return false;
        }
        discMaster.ReleaseDiscMaster();
        m_result.outcome = BurnOutcome::Burned;
        return true;
    }();

    if (!done) {
        m_result.outcome = BurnOutcome::Failed;
        m_result.errCode = err;
        m_result.message = discMaster.GetErrorText();
        platform::Tell(m_messageBox, m_result.message);
        if (err == ERR_ADD_TRACK || err == ERR_RECORD)
            discMaster.UnadviseProgress();
        if (err != ERR_INIT)
            discMaster.ReleaseDiscMaster();
    }
    m_view = DiscProgressView{};
}

} // namespace cdwriter
