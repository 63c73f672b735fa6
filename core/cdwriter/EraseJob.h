#pragma once
// The Drive/Medium dialog's erase: a quick erase of the named recorder's disc through a disc master
// of its own. It cannot be cancelled; failures are told once through the message-box service.
// Also the texts the dialog shows for the recorder type and the medium.

#include "cdwriter/DiscInterfaces.h"
#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>

namespace cdwriter {

struct EraseParams {
    IDiscBackend* backend = nullptr;
    std::string driveName; // as the recorder list names it
    int driveIndex = -1;   // its position in that list, which decides where names repeat
    bool full = false;     // a full erase instead of the quick one the dialog does
};

enum class EraseOutcome { NotRun, Erased, Failed };

struct EraseResult : platform::JobResult<EraseOutcome> {
    int errCode = 0; // the ERR_CODE raised, 0 if none
};

class CEraseJob : public platform::CProgressJob {
public:
    enum ERR_CODE {
        ERR_INIT = 1,
        ERR_DEVICE = 2,
    };

    CEraseJob(EraseParams params, platform::IMessageBox* messageBox);

    // Uses the status line and the bar only; the cancel flag is never read.
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;

    const EraseResult& Result() const { return m_result; }

private:
    EraseParams m_params;
    platform::IMessageBox* m_messageBox;
    EraseResult m_result;
};

// Texts of the Drive/Medium dialog's fields for the codes of CDiscMaster.
std::string DriveTypeText(uint16_t code);
std::string MediumTypeText(uint16_t code);
std::string MediumStateText(uint16_t code);

} // namespace cdwriter
