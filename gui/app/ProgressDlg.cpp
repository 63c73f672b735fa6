#include "app/ProgressDlg.h"

#include "app/UiThread.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace gui {

CProgressDlg::TextLine::~TextLine() {
    CUiQueue::Forget(this);
}

void CProgressDlg::TextLine::SetText(const std::string& text) {
    CUiQueue::Report report;
    report.receiver = this;
    report.text = QString::fromStdString(text);
    CUiQueue::Put(report, CUiQueue::Kind::Value);
}

void CProgressDlg::TextLine::Take(const CUiQueue::Report& report) {
    m_label->setText(report.text);
}

CProgressDlg::ProgressBar::~ProgressBar() {
    CUiQueue::Forget(this);
}

void CProgressDlg::ProgressBar::SetRange(int64_t low, int64_t high) {
    CUiQueue::Report report;
    report.receiver = this;
    report.slot = kRange;
    report.a = low;
    report.b = high;
    CUiQueue::Put(report, CUiQueue::Kind::Ordered);
}

void CProgressDlg::ProgressBar::SetPos(int64_t pos) {
    CUiQueue::PutValue(this, kPos, pos, 0, m_posCell);
}

void CProgressDlg::ProgressBar::Reset() {
    m_low = 0;
    m_shift = 0;
    m_top = 1;
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
}

void CProgressDlg::ProgressBar::Take(const CUiQueue::Report& report) {
    // QProgressBar repaints at once for a visible change, and a file's range and last position come
    // in hand-overs of their own. The bar is drawn at most once a frame, with the latest.
    if (!m_holdingPaint) {
        m_holdingPaint = true;
        m_bar->setUpdatesEnabled(false);
        QTimer::singleShot(kFrameMs, m_bar, [this] {
            m_holdingPaint = false;
            m_bar->setUpdatesEnabled(true);
        });
    }
    if (report.slot == kPos) {
        const uint64_t offset = report.a > m_low ? uint64_t(report.a) - uint64_t(m_low) : 0;
        m_bar->setValue(static_cast<int>(std::min<uint64_t>(offset >> m_shift, uint64_t(m_top))));
        return;
    }
    // The widget counts in int: large byte ranges are shown in steps of 2^shift. Unsigned, so that
    // even the whole int64 range has a span.
    const int64_t low = report.a, high = report.b;
    const uint64_t span = high > low ? uint64_t(high) - uint64_t(low) : 0;
    int shift = 0;
    while ((span >> shift) > uint64_t(INT_MAX))
        ++shift;
    m_low = low;
    m_shift = shift;
    m_top = static_cast<int>(span >> shift);
    // Qt draws 0..0 as a busy indicator; an empty range is an empty bar.
    if (m_top == 0) {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    } else {
        m_bar->setRange(0, m_top);
    }
}

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    // Caption without a close box: the dialog ends only when its job has returned.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    res::BuildDialog(res::IDD_PROGRESS, this);
    m_progressTextLabel = res::Control<QLabel>(this, res::IDC_PROGRESS_TEXT);
    m_statusTextLabel = res::Control<QLabel>(this, res::IDC_STATUS_TEXT);
    m_progressBar = res::Control<QProgressBar>(this, res::IDC_PROGRESS_BAR);
    m_cancelButton = res::Control<QPushButton>(this, res::IDC_CANCEL);
    m_progressText.Bind(m_progressTextLabel);
    m_statusText.Bind(m_statusTextLabel);
    m_progress.Bind(m_progressBar);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgressDlg::OnCancel);
}

CProgressDlg::~CProgressDlg() {
    if (m_worker.joinable())
        m_worker.join();
}

void CProgressDlg::EnableCancel(int enable) {
    m_bCancelEnabled = enable;
    RunOnUiThread(this, [this] { m_cancelButton->setEnabled(m_bCancelEnabled != 0); });
}

namespace {

int g_running = 0;
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> g_afterJobs;

} // namespace

bool CProgressDlg::AnyRunning() {
    return g_running > 0;
}

void CProgressDlg::AfterJobs(QObject* context, std::function<void()> then) {
    if (g_running == 0)
        QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
    else
        g_afterJobs.emplace_back(context, std::move(then));
}

int CProgressDlg::DoModal() {
    ++g_running;
    OnInitDialog();
    const int result = exec();
    // The worker has posted the close as its last use of the dialog; it only has to finish now.
    if (m_worker.joinable())
        m_worker.join();
    // Whoever opened the dialog sees everything the job reported once it returns.
    CUiQueue::Deliver();
    if (--g_running == 0) {
        // Queued: whoever opened the dialog finishes with the job's result first.
        for (auto& [context, then] : std::exchange(g_afterJobs, {}))
            if (context)
                QMetaObject::invokeMethod(context.data(), std::move(then), Qt::QueuedConnection);
    }
    return result;
}

bool CProgressDlg::OnInitDialog() {
    m_progressTextLabel->setText(QString());
    m_statusTextLabel->setText(QString());
    m_progress.Reset();
    m_cancelButton->setEnabled(m_bCancelEnabled != 0);
    m_timerId = startTimer(100);
    return true;
}

void CProgressDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timerId) {
        QDialog::timerEvent(event);
        return;
    }
    killTimer(m_timerId);
    m_timerId = 0;
    if (!m_worker.joinable())
        m_worker = std::thread([this] { WorkerMain(); });
}

void CProgressDlg::WorkerMain() {
    [[maybe_unused]] platform::CThreadScope scope;
    if (m_job)
        m_job->RunJob(&m_progressText, &m_statusText, &m_progress, &m_bCancel);
    QMetaObject::invokeMethod(
        this, [this] { OnClose(); }, Qt::QueuedConnection);
}

void CProgressDlg::OnCancel() {
    m_bCancel = 1;
}

void CProgressDlg::OnClose() {
    CUiQueue::Deliver();
    m_jobReturned = true;
    QDialog::reject();
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc would end the dialog under a running job; they do nothing here.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (m_jobReturned)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void CProgressDlg::reject() {
    if (m_jobReturned)
        QDialog::reject();
}

} // namespace gui
