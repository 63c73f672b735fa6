#pragma once
// The program's only way to reach a CD recorder: finds and names the recorders, makes one active,
// reports its type and medium, stages WAV files as audio tracks, records, erases and ejects, forwards
// progress events to a window as messages, and turns every failure into an English text.
// One instance per user, driven from one thread.

#include "cdwriter/DiscInterfaces.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace cdwriter {

constexpr unsigned WM_DISC_QUERY_CANCEL = platform::WM_USER + 1;
constexpr unsigned WM_DISC_PNP_ACTIVITY = platform::WM_USER + 2;
constexpr unsigned WM_DISC_ADD_PROGRESS = platform::WM_USER + 3;
constexpr unsigned WM_DISC_BLOCK_PROGRESS = platform::WM_USER + 4;
constexpr unsigned WM_DISC_TRACK_PROGRESS = platform::WM_USER + 5;
constexpr unsigned WM_DISC_PREPARING_BURN = platform::WM_USER + 6;
constexpr unsigned WM_DISC_CLOSING_DISC = platform::WM_USER + 7;
constexpr unsigned WM_DISC_BURN_COMPLETE = platform::WM_USER + 8;
constexpr unsigned WM_DISC_ERASE_COMPLETE = platform::WM_USER + 9;

// Forwards each progress event to a window as a message; decides nothing itself. WM_DISC_QUERY_CANCEL
// is sent and carries the address of a bool that the window writes the answer into; every other event
// needs no answer and is notified (the add and block counts as values, the rest as events).
class CDiscProgressSink final : public IDiscMasterProgressEvents {
public:
    CDiscProgressSink() = default;
    CDiscProgressSink(const CDiscProgressSink&) = delete;
    CDiscProgressSink& operator=(const CDiscProgressSink&) = delete;

    void SetTarget(platform::IMessageTarget* target) { m_target = target; }

    HRESULT QueryInterface(InterfaceId id, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT QueryCancel(bool* cancel) override;
    HRESULT NotifyPnPActivity() override;
    HRESULT NotifyAddProgress(long completed, long total) override;
    HRESULT NotifyBlockProgress(long completed, long total) override;
    HRESULT NotifyTrackProgress(long current, long total) override;
    HRESULT NotifyPreparingBurn(long seconds) override;
    HRESULT NotifyClosingDisc(long seconds) override;
    HRESULT NotifyBurnComplete(HRESULT status) override;
    HRESULT NotifyEraseComplete(HRESULT status) override;

private:
    ~CDiscProgressSink() = default; // deleted by the last Release
    void Send(unsigned message, uintptr_t wParam, intptr_t lParam);
    void Notify(unsigned message, uintptr_t wParam, intptr_t lParam, platform::Notice notice);

    std::atomic<uint32_t> m_refCount{1};
    platform::IMessageTarget* m_target = nullptr;
};

class CDiscMaster {
public:
    enum : uint16_t {
        DM_ERR_NONE = 0,
        DM_ERR_FILE_OPEN = 1,
        DM_ERR_FILE_READ = 2,
        DM_ERR_FILE_WRITE = 3,
        DM_ERR_NO_CHUNK = 4,
        DM_ERR_MEMORY = 5,
        DM_ERR_IMAPI = 6,
    };

    // No recorder service call happens here; the backend is used from InitDiscMaster on.
    explicit CDiscMaster(IDiscBackend* backend);
    ~CDiscMaster();
    CDiscMaster(const CDiscMaster&) = delete;
    CDiscMaster& operator=(const CDiscMaster&) = delete;

    int InitDiscMaster();
    int ReleaseDiscMaster();
    bool IsOpen() const { return m_discMaster != nullptr; }
    // 1 = data (Joliet), 2 = audio (Red Book); any other value does nothing.
    void SelectDiscFormat(uint16_t kind);

    HRESULT BuildRecorderList();
    int GetRecorderCount() const { return m_recorderCount; }
    // Copies the name of entry `index`; an index outside the list copies nothing.
    void GetRecorderName(int index, std::string* buffer) const;
    std::string GetActiveRecorderName();
    int SelectRecorder(int index);
    // Exact, case-sensitive look-up in the list; false (error code untouched) when absent.
    int SelectRecorderByName(const std::string& name);
    // The same look-up for a recorder chosen at `position` of a list read earlier: a name listed once
    // is taken wherever it is now; where names repeat, only the entry at `position` can be the one
    // chosen. False, with the result "not present", when no entry answers.
    int SelectRecorderByName(const std::string& name, int position);

    void SetCancelFlag(const platform::CancelFlag* flag) { m_cancelFlag = flag; }
    // Tracks staged from now on last at least this many sectors, padded with silence (0 = as long as
    // their audio).
    void SetMinTrackBlocks(uint32_t blocks) { m_minTrackBlocks = blocks; }
    int AddWaveTrack(const std::string& path);
    int BurnDisc();
    // 0 = quick erase, non-zero = full erase.
    int EraseDisc(uint8_t full);
    int EjectDisc();
    // 1 = CD-R recorder, 2 = CD-RW recorder.
    int GetRecorderType(uint16_t* type);
    // Medium type code 0-6 and medium state code 0-3.
    int QueryMedia(uint16_t* type, uint16_t* state);
    int GetFreeBytes(uint32_t* bytes);

    int AdviseProgress(platform::IMessageTarget* window);
    int UnadviseProgress();

    std::string GetErrorText() const;
    std::string GetResultText() const { return ResultText(m_result); }
    // What the user is told of the last failure: GetErrorText, unless that says nothing ("No error.",
    // "?" or no text at all); then the result's own text, or its code in hexadecimal.
    std::string GetFailureText() const;

    uint16_t GetErrorCode() const { return m_errorCode; }
    HRESULT GetResult() const { return m_result; }

    static std::string ErrorText(uint16_t code);
    static std::string ResultText(HRESULT result);
    static uint16_t MediumTypeCode(long mediaType);
    static uint16_t MediumStateCode(long mediaFlags);
    static uint16_t RecorderTypeCode(long recorderType);

private:
    int Fail(uint16_t code);
    // Stores an IMAPI call's value; true when it failed.
    bool CallFailed(HRESULT hr);
    int FailNoRecorder();
    HRESULT RestartWalk();
    HRESULT StepWalk();
    enum class MediumOp { Eject, Erase, QueryType, QueryInfo };
    int MediumOperation(MediumOp op, bool fullErase, long* type, long* flags, uint32_t* freeBlocks);
    void ReleaseSinks();

    const platform::CancelFlag* m_cancelFlag = nullptr;
    uint32_t m_minTrackBlocks = 0;
    uint16_t m_errorCode = DM_ERR_NONE;
    HRESULT m_result = S_OK;
    uintptr_t m_adviseCookie = 0;
    CDiscProgressSink* m_sink = nullptr;
    IDiscMasterProgressEvents* m_sinkEvents = nullptr;
    int m_recorderCount = 0;
    std::vector<std::string> m_recorderList;

    IDiscBackend* m_backend;
    std::shared_ptr<IDiscMaster> m_discMaster;
    std::shared_ptr<IEnumDiscRecorders> m_recorderEnum;
    RecorderPtr m_currentRecorder;
    std::shared_ptr<IJolietDiscMaster> m_dataFormatMaster;
    std::shared_ptr<IRedbookDiscMaster> m_audioFormatMaster;
};

} // namespace cdwriter
