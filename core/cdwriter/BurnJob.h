#pragma once
// The CD writer page's burn: stages the listed WAV files as audio tracks on the chosen recorder and
// records the disc, through a disc master of its own. A track shorter than a CD track must last is
// padded with silence to 4 seconds. Failures are told once through the
// message-box service; progress comes back as WM_DISC_* messages to the given window (or, without
// one, straight to the job's text line and bar).

#include "cdwriter/DiscInterfaces.h"
#include "cdwriter/DiscProgress.h"
#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/Progress.h"

#include <string>
#include <vector>

namespace cdwriter {

struct BurnTrack {
    std::string fileName; // as listed (shown while staging)
    std::string path;
};

struct BurnParams {
    IDiscBackend* backend = nullptr;
    int recorderIndex = -1; // position in the recorder list, as the CD drive list shows it
    // The recorder's name in that list; when given, the recorder is found again by name (by position
    // where names repeat), so that a list changed since is never burned on the wrong recorder.
    std::string recorderName;
    std::vector<BurnTrack> tracks;
};

enum class BurnOutcome { NotRun, Burned, NoMedium, NotBlank, Cancelled, Failed };

struct BurnResult : platform::JobResult<BurnOutcome> {
    int errCode = 0; // the ERR_CODE raised, 0 if none
};

class CBurnJob : public platform::CProgressJob {
public:
    enum ERR_CODE {
        ERR_INIT = 1,
        ERR_SELECT_RECORDER = 2,
        ERR_QUERY_MEDIA = 3,
        ERR_ADVISE = 4,
        ERR_ADD_TRACK = 5,
        ERR_RECORD = 6,
        ERR_UNADVISE = 7,
    };

    // `window` receives the progress messages (the page); null handles them in the job's thread.
    // `cancelControl` greys Cancel once recording starts; may be null.
    CBurnJob(BurnParams params, platform::IMessageBox* messageBox, platform::ICancelControl* cancelControl,
             platform::IMessageTarget* window = nullptr);

    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;

    const BurnResult& Result() const { return m_result; }
    // The controls the progress handler works on while the job runs (the page's handler uses them).
    DiscProgressView& ProgressView() { return m_view; }

private:
    BurnParams m_params;
    platform::IMessageBox* m_messageBox;
    platform::ICancelControl* m_cancelControl;
    platform::IMessageTarget* m_window;
    DiscProgressView m_view;
    BurnResult m_result;
};

} // namespace cdwriter
