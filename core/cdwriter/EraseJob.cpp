#include "cdwriter/EraseJob.h"

#include "cdwriter/DiscMaster.h"

namespace cdwriter {

CEraseJob::CEraseJob(EraseParams params, platform::IMessageBox* messageBox)
    : m_params(std::move(params)), m_messageBox(messageBox) {}

void CEraseJob::RunJob(platform::ITextLine*, platform::ITextLine* pStatusText,
                       platform::IProgressBar* pProgress, platform::CancelFlag*) {
    m_result = EraseResult{};
    if (pStatusText)
        pStatusText->SetText("Erase disc data..");
    if (pProgress) {
        pProgress->SetRange(0, 1);
        pProgress->SetPos(0);
    }
    CDiscMaster discMaster(m_params.backend);
    ERR_CODE err = ERR_INIT;
    if (!discMaster.InitDiscMaster()) {
        err = ERR_INIT;
    } else if (!discMaster.SelectRecorderByName(m_params.driveName, m_params.driveIndex)) {
        err = ERR_DEVICE;
    } else if (!discMaster.EraseDisc(m_params.full ? 1 : 0)) {
        // The bar stays where it is; the service goes without being released, as it always did.
        m_result.outcome = EraseOutcome::Failed;
        m_result.message = discMaster.GetFailureText();
        platform::Tell(m_messageBox, m_result.message);
        return;
    } else {
        platform::Tell(m_messageBox, "Complete erase.");
        discMaster.ReleaseDiscMaster();
        m_result.outcome = EraseOutcome::Erased;
        if (pProgress)
            pProgress->SetPos(1);
        return;
    }
    m_result.outcome = EraseOutcome::Failed;
    m_result.errCode = err;
    m_result.message = discMaster.GetFailureText();
    platform::Tell(m_messageBox, m_result.message);
    if (err == ERR_DEVICE)
        discMaster.ReleaseDiscMaster();
    if (pProgress)
        pProgress->SetPos(1);
}

std::string DriveTypeText(uint16_t code) {
    switch (code) {
    case 1:
        return "CDR Recorder";
    case 2:
        return "CDRW Recorder";
    default:
        return " ";
    }
}

std::string MediumTypeText(uint16_t code) {
    static const char* const kTexts[] = {"Unknow",   "CDDA_CDROM", "CD_ROM_XA", "CD_I",
                                         "CD_EXTRA", "CD_OTHER",   "SPECIAL"};
    return code < 7 ? kTexts[code] : " ";
}

std::string MediumStateText(uint16_t code) {
    switch (code) {
    case 1:
        return "BLANK";
    case 2:
        return "RW";
    case 3:
        return "WRITABLE";
    default:
        return " ";
    }
}

} // namespace cdwriter
