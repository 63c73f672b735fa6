#pragma once
// The small modal dialog behind every long operation: it starts one worker thread 100 ms after it
// opens, hands the job its two text lines, its bar and its cancel flag, and closes when the job returns.

#include "app/UiQueue.h"
#include "platform/Progress.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

class CProgressDlg : public QDialog, public platform::ICancelControl {
public:
    explicit CProgressDlg(QWidget* parent = nullptr);
    ~CProgressDlg() override;

    void SetJob(platform::CProgressJob* job) { m_job = job; }
    // Greys or enables Cancel; callable before DoModal and from the job on the worker thread.
    void EnableCancel(int enable) override;
    int DoModal();

    // True while a job's dialog is open (UI thread).
    static bool AnyRunning();
    // Runs `then` on `context`'s thread once no job runs, at once when none does; never when
    // `context` has gone by then.
    static void AfterJobs(QObject* context, std::function<void()> then);

    // Written once (0 -> 1) by the Cancel button, read by the job.
    platform::CancelFlag m_bCancel{0};
    std::atomic<int> m_bCancelEnabled{1};

protected:
    bool OnInitDialog();
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // A text line of the dialog as the job sees it. A worker's text reaches the label without the
    // worker waiting (CUiQueue); texts set in a row show the latest.
    class TextLine : public platform::ITextLine, private CUiQueue::IReceiver {
    public:
        ~TextLine();
        void Bind(QLabel* label) { m_label = label; }
        void SetText(const std::string& text) override;

    private:
        void Take(const CUiQueue::Report& report) override;
        QLabel* m_label = nullptr;
    };
    // The bar as the job sees it: a 64-bit range shown on the widget's int range. Ranges and
    // positions reach the widget in order without the worker waiting; positions in a row show the
    // latest, and the last position of a range is always shown before the next range.
    class ProgressBar : public platform::IProgressBar, private CUiQueue::IReceiver {
    public:
        ~ProgressBar();
        void Bind(QProgressBar* bar) { m_bar = bar; }
        void SetRange(int64_t low, int64_t high) override;
        void SetPos(int64_t pos) override;
        // The widget's own range 0..1 at 0 (UI thread).
        void Reset();

    private:
        enum : unsigned { kRange, kPos };
        static constexpr int kFrameMs = 16;
        void Take(const CUiQueue::Report& report) override;
        QProgressBar* m_bar = nullptr;
        CUiQueue::Cell m_posCell;
        bool m_holdingPaint = false; // UI thread
        // UI thread only: how the last range maps onto the widget.
        int64_t m_low = 0;
        int m_shift = 0;
        // The widget's top in steps, 0 for an empty range.
        int m_top = 1;
    };

    void OnCancel();
    void OnClose();
    void WorkerMain();

    QLabel* m_progressTextLabel = nullptr; // 1043, the lower line
    QLabel* m_statusTextLabel = nullptr;   // 1050, the upper line
    QProgressBar* m_progressBar = nullptr; // 1041
    QPushButton* m_cancelButton = nullptr; // 1042
    platform::CProgressJob* m_job = nullptr;
    TextLine m_progressText;
    TextLine m_statusText;
    ProgressBar m_progress;
    std::thread m_worker;
    int m_timerId = 0;
    bool m_jobReturned = false;
};

} // namespace gui
