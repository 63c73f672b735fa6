#include "cdwriter/BurnJob.h"

#include "cdwriter/DiscMaster.h"
#include "cdwriter/TrackInfo.h"
#include "platform/Text.h"

namespace cdwriter {

namespace {

// How a step of the burn ended: the next one runs, the job is over with its outcome, or the step
// failed with the code to report.
enum class Flow { Next, Over, Failed };

using ErrCode = CBurnJob::ERR_CODE;

// One burn through a disc master of its own.
class BurnPass {
public:
    BurnPass(const BurnParams& params, platform::IMessageBox* messageBox,
             platform::ICancelControl* cancelControl, platform::ITextLine* progressText,
             platform::CancelFlag* cancel, BurnResult* result)
        : m_params(params), m_messageBox(messageBox), m_cancelControl(cancelControl),
          m_progressText(progressText), m_cancel(cancel), m_result(result), m_discMaster(params.backend) {}

    // False with *err set when a step failed.
    bool Run(platform::IMessageTarget* window, ErrCode* err) {
        Flow flow = Prepare(err);
        if (flow == Flow::Next)
            flow = Stage(window, err);
        if (flow == Flow::Next)
            flow = Record(err);
        return flow != Flow::Failed;
    }

    // Tells the failure once and leaves the recorder service as the failing step needs it left.
    void ReportFailure(ErrCode err) {
        m_result->outcome = BurnOutcome::Failed;
        m_result->errCode = err;
        m_result->message = m_discMaster.GetFailureText();
        platform::Tell(m_messageBox, m_result->message);
        if (err == CBurnJob::ERR_ADD_TRACK || err == CBurnJob::ERR_RECORD)
            m_discMaster.UnadviseProgress();
        if (err != CBurnJob::ERR_INIT)
            m_discMaster.ReleaseDiscMaster();
    }

private:
    static Flow Fail(ErrCode code, ErrCode* err) {
        *err = code;
        return Flow::Failed;
    }
    Flow End(BurnOutcome outcome) {
        m_result->outcome = outcome;
        return Flow::Over;
    }

    // The recorder and its medium.
    Flow Prepare(ErrCode* err) {
        if (!m_discMaster.InitDiscMaster())
            return Fail(CBurnJob::ERR_INIT, err);
        const bool selected =
            m_params.recorderName.empty()
                ? m_discMaster.SelectRecorder(m_params.recorderIndex)
                : m_discMaster.SelectRecorderByName(m_params.recorderName, m_params.recorderIndex);
        if (!selected)
            return Fail(CBurnJob::ERR_SELECT_RECORDER, err);
        uint16_t type = 0, state = 0;
        if (!m_discMaster.QueryMedia(&type, &state))
            return Fail(CBurnJob::ERR_QUERY_MEDIA, err);
        if (type == 0) {
            platform::Tell(m_messageBox, "Please set blank disc.");
            m_discMaster.ReleaseDiscMaster();
            return End(BurnOutcome::NoMedium);
        }
        if (state == 2) {
            // Either answer ends the burn: the question only asks the user to acknowledge.
            platform::Ask(m_messageBox, "The disc cannot hold any more data.\nPlease erase disc data first.");
            m_discMaster.ReleaseDiscMaster();
            return End(BurnOutcome::NotBlank);
        }
        return Flow::Next;
    }

    Flow Stage(platform::IMessageTarget* window, ErrCode* err) {
        if (!m_discMaster.AdviseProgress(window))
            return Fail(CBurnJob::ERR_ADVISE, err);
        m_discMaster.SetCancelFlag(m_cancel);
        m_discMaster.SetMinTrackBlocks(kMinTrackSectors);
        for (const BurnTrack& track : m_params.tracks) {
            if (m_progressText)
                m_progressText->SetText(
                    platform::Format("Add track.  file name : %s", track.fileName.c_str()));
            if (!m_discMaster.AddWaveTrack(track.path))
                return Fail(CBurnJob::ERR_ADD_TRACK, err);
            if (platform::IsCancelled(m_cancel)) {
                m_discMaster.UnadviseProgress();
                m_discMaster.ReleaseDiscMaster();
                return End(BurnOutcome::Cancelled);
            }
        }
        return Flow::Next;
    }

    Flow Record(ErrCode* err) {
        if (m_cancelControl)
            m_cancelControl->EnableCancel(0); // from here on the burn cannot be cancelled
        if (!m_discMaster.BurnDisc())
            return Fail(CBurnJob::ERR_RECORD, err);
        if (!m_discMaster.UnadviseProgress())
            return Fail(CBurnJob::ERR_UNADVISE, err);
        m_discMaster.ReleaseDiscMaster();
        return End(BurnOutcome::Burned);
    }

    const BurnParams& m_params;
    platform::IMessageBox* m_messageBox;
    platform::ICancelControl* m_cancelControl;
    platform::ITextLine* m_progressText;
    platform::CancelFlag* m_cancel;
    BurnResult* m_result;
    CDiscMaster m_discMaster;
};

} // namespace

CBurnJob::CBurnJob(BurnParams params, platform::IMessageBox* messageBox,
                   platform::ICancelControl* cancelControl, platform::IMessageTarget* window)
    : m_params(std::move(params)), m_messageBox(messageBox), m_cancelControl(cancelControl),
      m_window(window) {}

void CBurnJob::RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                      platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    m_result = BurnResult{};
    m_view = DiscProgressView{pProgressText, pProgress, pCancel};
    CDirectProgressTarget direct(&m_view);

    if (pProgress)
        pProgress->SetPos(0);
    if (pStatusText)
        pStatusText->SetText("Please do not boot other applications while burning.");

    BurnPass pass(m_params, m_messageBox, m_cancelControl, pProgressText, pCancel, &m_result);
    ErrCode err = ERR_INIT;
    if (!pass.Run(m_window ? m_window : &direct, &err))
        pass.ReportFailure(err);
    m_view = DiscProgressView{};
}

} // namespace cdwriter
