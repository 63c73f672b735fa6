// The progress dialog with jobs on its worker thread, and the Qt message target and message box
// used from that worker.

#include "app/ProgressDlg.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "app/QtMessageBox.h"
#include "app/QtMessageTarget.h"
#include "app/UiQueue.h"
#include "app/UiThread.h"
#include "platform/Text.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "wave/WaveFile.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

using gui::CProgressDlg;

namespace {

// A job made of a lambda, run once on the worker.
class LambdaJob : public platform::CProgressJob {
public:
    using Body = std::function<void(platform::ITextLine*, platform::ITextLine*, platform::IProgressBar*,
                                    platform::CancelFlag*)>;
    explicit LambdaJob(Body body) : m_body(std::move(body)) {}
    void RunJob(platform::ITextLine* progress, platform::ITextLine* status, platform::IProgressBar* bar,
                platform::CancelFlag* cancel) override {
        m_thread = std::this_thread::get_id();
        m_body(progress, status, bar, cancel);
    }
    std::thread::id m_thread;

private:
    Body m_body;
};

void WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Runs `work` on a thread of its own while the UI thread sleeps (up to 5 s) without taking events.
// True when the work was over before the UI thread woke: it never waited for the UI thread.
bool RunWhileUiSleeps(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    WaitFor([&] { return done.load(); });
    const bool finishedAlone = done;
    // A worker stuck on the UI thread gets its way now, so that the test fails instead of hanging.
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return finishedAlone;
}

QLabel* Label(QWidget* dialog, int id) {
    return res::Control<QLabel>(dialog, id);
}
QPushButton* CancelButton(QWidget* dialog) {
    return res::Control<QPushButton>(dialog, res::IDC_CANCEL);
}

} // namespace

class ProgressDlgTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { VERIFY_NO_WINDOW_LEFT(); }
    void jobThatReturnsAtOnceClosesTheDialog();
    void linesStartEmptyAndShowWhatTheJobWrites();
    void emptyRangesShowAnEmptyBarAndPositionsStayInRange();
    void cancelSetsTheFlagButDoesNotClose();
    void keysAndCloseDoNotEndARunningJob();
    void enableCancelBeforeAndDuringTheRun();
    void noJobClosesAtOnce();
    void messageBoxFromTheWorkerThroughTheScriptedService();
    void qtMessageBoxFromTheWorker();
    void messageTargetRunsTheHandlerOnTheUiThread();
    void progressNeverWaitsAndKeepsItsOrder_data();
    void progressNeverWaitsAndKeepsItsOrder();
    void notifiedValuesMergeOnlyWithTheirOwnKind();
};

void ProgressDlgTest::jobThatReturnsAtOnceClosesTheDialog() {
    LambdaJob job([](auto...) {});
    CProgressDlg dialog;
    dialog.SetJob(&job);
    QElapsedTimer clock;
    clock.start();
    dialog.DoModal();
    QVERIFY(clock.elapsed() >= 90); // the worker starts on the 100 ms timer
    QVERIFY(job.m_thread != std::thread::id());
    QVERIFY(job.m_thread != std::this_thread::get_id());
    QVERIFY(!dialog.isVisible());
}

void ProgressDlgTest::linesStartEmptyAndShowWhatTheJobWrites() {
    CProgressDlg dialog;
    QCOMPARE(Label(&dialog, res::IDC_STATUS_TEXT)->text(),
             QString("Please do not boot other applications while burning."));
    QString statusAtStart = "x", progressAtStart = "x", statusLater, progressLater;
    int maxAtStart = -1, valueLater = -1, maxLater = -1;
    LambdaJob job([&](platform::ITextLine* progress, platform::ITextLine* status, platform::IProgressBar* bar,
                      platform::CancelFlag*) {
        gui::RunOnUiThread(&dialog, [&] {
            statusAtStart = Label(&dialog, res::IDC_STATUS_TEXT)->text();
            progressAtStart = Label(&dialog, res::IDC_PROGRESS_TEXT)->text();
            maxAtStart = res::Control<QProgressBar>(&dialog, res::IDC_PROGRESS_BAR)->maximum();
        });
        status->SetText("PC to ZT   Track1");
        progress->SetText("tr01.wav");
        // A byte range past 32 bits still shows the right share.
        bar->SetRange(0, int64_t(1) << 40);
        bar->SetPos(int64_t(1) << 39);
        gui::RunOnUiThread(&dialog, [&] {
            statusLater = Label(&dialog, res::IDC_STATUS_TEXT)->text();
            progressLater = Label(&dialog, res::IDC_PROGRESS_TEXT)->text();
            auto* widget = res::Control<QProgressBar>(&dialog, res::IDC_PROGRESS_BAR);
            valueLater = widget->value();
            maxLater = widget->maximum();
        });
    });
    dialog.SetJob(&job);
    dialog.DoModal();
    QCOMPARE(statusAtStart, QString());
    QCOMPARE(progressAtStart, QString());
    QCOMPARE(maxAtStart, 1);
    QCOMPARE(statusLater, QString("PC to ZT   Track1"));
    QCOMPARE(progressLater, QString("tr01.wav"));
    QVERIFY(maxLater > 0);
    QCOMPARE(valueLater * 2, maxLater);
}

void ProgressDlgTest::emptyRangesShowAnEmptyBarAndPositionsStayInRange() {
    struct Step {
        int64_t low, high, pos;
        const char* shown; // minimum..maximum@value; 0..0 would be Qt's busy indicator
    };
    const Step steps[] = {
        {0, 10, 10, "0..10@10"}, {0, 0, 0, "0..1@0"},  // empty right after a full bar
        {0, 0, 5, "0..1@0"},     {10, 4, 7, "0..1@0"}, // high below low
        {0, 10, 20, "0..10@10"}, {5, 15, 0, "0..10@0"}, {INT64_MIN, INT64_MAX, 0, "0..2147483647@1073741824"},
    };
    CProgressDlg dialog;
    QStringList shown, expected;
    LambdaJob job([&](auto, auto, platform::IProgressBar* bar, auto) {
        for (const Step& step : steps) {
            bar->SetRange(step.low, step.high);
            bar->SetPos(step.pos);
            gui::RunOnUiThread(&dialog, [&] {
                auto* widget = res::Control<QProgressBar>(&dialog, res::IDC_PROGRESS_BAR);
                shown << QString("%1..%2@%3")
                             .arg(widget->minimum())
                             .arg(widget->maximum())
                             .arg(widget->value());
            });
            expected << step.shown;
        }
    });
    dialog.SetJob(&job);
    dialog.DoModal();
    QCOMPARE(shown, expected);
}

void ProgressDlgTest::cancelSetsTheFlagButDoesNotClose() {
    CProgressDlg dialog;
    std::atomic<bool> sawCancel{false}, openAfterCancel{false};
    LambdaJob job([&](auto, auto, auto, platform::CancelFlag* cancel) {
        WaitFor([&] { return platform::IsCancelled(cancel); });
        sawCancel = platform::IsCancelled(cancel);
        // Some time after the click, the dialog is still there waiting for us.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        gui::RunOnUiThread(&dialog, [&] { openAfterCancel = dialog.isVisible(); });
    });
    dialog.SetJob(&job);
    WhenModalIs<CProgressDlg>([](CProgressDlg* d) { QTest::mouseClick(CancelButton(d), Qt::LeftButton); });
    dialog.DoModal();
    QVERIFY(sawCancel);
    QVERIFY(openAfterCancel);
    QCOMPARE(dialog.m_bCancel.load(), 1);
}

void ProgressDlgTest::keysAndCloseDoNotEndARunningJob() {
    CProgressDlg dialog;
    std::atomic<bool> poked{false}, stillOpen{false};
    LambdaJob job([&](auto...) {
        WaitFor([&] { return poked.load(); });
        gui::RunOnUiThread(&dialog, [&] { stillOpen = dialog.isVisible(); });
    });
    dialog.SetJob(&job);
    WhenModalIs<CProgressDlg>([&](CProgressDlg* d) {
        QTest::keyClick(d, Qt::Key_Escape);
        QTest::keyClick(CancelButton(d), Qt::Key_Return);
        QTest::keyClick(d, Qt::Key_Enter);
        d->close();
        poked = true;
    });
    dialog.DoModal();
    QVERIFY(poked);
    QVERIFY(stillOpen);
    QCOMPARE(dialog.m_bCancel.load(), 0); // Enter on the focused Cancel button did not press it
}

void ProgressDlgTest::enableCancelBeforeAndDuringTheRun() {
    CProgressDlg dialog;
    dialog.EnableCancel(0);
    std::atomic<int> atStart{-1}, afterEnable{-1}, afterDisable{-1};
    auto enabled = [&] {
        bool on = false;
        gui::RunOnUiThread(&dialog, [&] { on = CancelButton(&dialog)->isEnabled(); });
        return on ? 1 : 0;
    };
    LambdaJob job([&](auto...) {
        atStart = enabled();
        dialog.EnableCancel(1); // from the worker
        afterEnable = enabled();
        dialog.EnableCancel(0);
        afterDisable = enabled();
    });
    dialog.SetJob(&job);
    dialog.DoModal();
    QCOMPARE(atStart.load(), 0);
    QCOMPARE(afterEnable.load(), 1);
    QCOMPARE(afterDisable.load(), 0);
}

void ProgressDlgTest::noJobClosesAtOnce() {
    CProgressDlg dialog;
    QElapsedTimer clock;
    clock.start();
    dialog.DoModal();
    QVERIFY(clock.elapsed() < 5000);
}

void ProgressDlgTest::messageBoxFromTheWorkerThroughTheScriptedService() {
    testsupport::ScriptedMessageBox box;
    box.QueueAnswer(platform::MbResult::Cancel);
    gui::SetAppMessageBox(&box);
    bool first = true, second = false;
    LambdaJob job([&](auto...) {
        first = platform::Ask(gui::AppMessageBox(), "Overwrite tr01.wav ?");
        second = platform::Ask(gui::AppMessageBox(), "Overwrite tr02.wav ?");
        platform::Tell(gui::AppMessageBox(), "Done.");
    });
    CProgressDlg dialog;
    dialog.SetJob(&job);
    dialog.DoModal();
    gui::SetAppMessageBox(nullptr);
    QVERIFY(!first);
    QVERIFY(second);
    QCOMPARE(box.Texts(),
             (std::vector<std::string>{"Overwrite tr01.wav ?", "Overwrite tr02.wav ?", "Done."}));
    QCOMPARE(box.Messages()[2].buttons, platform::MbButtons::Ok);
}

void ProgressDlgTest::qtMessageBoxFromTheWorker() {
    // The real service: the box shows on the UI thread while the worker waits for the answer.
    gui::SetAppMessageBox(nullptr);
    std::vector<bool> answers;
    QStringList captions, texts;
    LambdaJob job([&](auto...) {
        answers.push_back(platform::Ask(gui::AppMessageBox(), "Overwrite tr01.wav ?"));
        answers.push_back(platform::Ask(gui::AppMessageBox(), "Overwrite tr02.wav ?"));
        platform::Tell(gui::AppMessageBox(), "Done.");
        answers.push_back(true);
    });
    auto answer = [&](QMessageBox::StandardButton button) {
        return [&, button](QMessageBox* box) {
            captions << box->windowTitle();
            texts << box->text();
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        };
    };
    WhenModalIs<QMessageBox>([&](QMessageBox* box) {
        answer(QMessageBox::Cancel)(box);
        WhenModal([](QWidget* w) { return qobject_cast<QMessageBox*>(w) && w->isVisible(); },
                  [&](QWidget* w) {
                      answer(QMessageBox::Ok)(static_cast<QMessageBox*>(w));
                      WhenModal(
                          [&](QWidget* w2) { return qobject_cast<QMessageBox*>(w2) && texts.size() == 2; },
                          [&](QWidget* w2) {
                              auto* last = static_cast<QMessageBox*>(w2);
                              QVERIFY(!last->button(QMessageBox::Cancel));
                              answer(QMessageBox::Ok)(last);
                          });
                  });
    });
    CProgressDlg dialog;
    dialog.SetJob(&job);
    dialog.DoModal();
    QCOMPARE(answers, (std::vector<bool>{false, true, true}));
    QCOMPARE(captions, QStringList({"Pelmora", "Pelmora", "Pelmora"}));
    QCOMPARE(texts, QStringList({"Overwrite tr01.wav ?", "Overwrite tr02.wav ?", "Done."}));
}

void ProgressDlgTest::messageTargetRunsTheHandlerOnTheUiThread() {
    std::vector<std::pair<unsigned, bool>> seen; // message, ran on the UI thread
    const std::thread::id ui = std::this_thread::get_id();
    gui::CQtMessageTarget target([&](unsigned message, uintptr_t wParam, intptr_t) -> intptr_t {
        seen.push_back({message, std::this_thread::get_id() == ui});
        return intptr_t(wParam) + 1;
    });
    QCOMPARE(target.Send(platform::WM_USER + 200, 41, 0), intptr_t(42)); // direct on the UI thread

    intptr_t fromWorker = 0;
    LambdaJob job([&](auto...) {
        fromWorker = target.Send(platform::WM_USER + 201, 9, 0);
        target.Post(platform::WM_USER + 202, 0, 0);
    });
    CProgressDlg dialog;
    dialog.SetJob(&job);
    dialog.DoModal();
    QCoreApplication::processEvents();
    QCOMPARE(fromWorker, intptr_t(10));
    QCOMPARE(seen.size(), size_t(3));
    for (const auto& [message, onUi] : seen)
        QVERIFY2(onUi, qPrintable(QString::number(message)));
    QCOMPARE(seen[2].first, platform::WM_USER + 202);
}

void ProgressDlgTest::progressNeverWaitsAndKeepsItsOrder_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("ui");
    // The three ways a job's progress reaches the bar: the job moves the dialog's bar itself; the export
    // page takes WM_TRANSFER_RANGE/POS; the import page takes WM_TRANSFER_TOTAL while the renderer sets
    // the range on the dialog's bar. The UI thread is busy all along, takes the values at its own pace,
    // or takes them all the time (racing the worker for every value).
    for (const char* route : {"bar", "export page", "import page"})
        for (const char* ui : {"busy", "free", "eager"})
            QTest::addRow("%s, UI %s", route, ui) << QString(route) << QString(ui);
}

void ProgressDlgTest::progressNeverWaitsAndKeepsItsOrder() {
    QFETCH(QString, route);
    QFETCH(QString, ui);
    const bool uiBusy = ui == "busy";
    constexpr unsigned kQuery = platform::WM_USER + 300; // asks what the bar shows
    constexpr int kFiles = 5;
    // File k counts to 16 m + k through 16 i + k: every position names its file (value % 16).
    std::vector<int> finals;
    for (int k = 1; k <= kFiles; ++k)
        finals.push_back(16 * (2000 + 37 * k) + k);

    CProgressDlg dialog;
    auto* widget = res::Control<QProgressBar>(&dialog, res::IDC_PROGRESS_BAR);
    std::atomic<platform::IProgressBar*> jobBar{nullptr};
    gui::CQtMessageTarget page([&](unsigned message, uintptr_t wParam, intptr_t) -> intptr_t {
        platform::IProgressBar* bar = jobBar;
        const auto value = static_cast<int64_t>(wParam);
        if (message == kQuery)
            return widget->value();
        if (message == wave::WM_TRANSFER_RANGE)
            bar->SetRange(0, value);
        else if (message == wave::WM_TRANSFER_POS || message == wave::WM_TRANSFER_TOTAL)
            bar->SetPos(value);
        return 0;
    });
    std::vector<std::pair<int, int>> shown; // each value the widget took, with its maximum then
    QObject::connect(widget, &QProgressBar::valueChanged, &dialog,
                     [&](int value) { shown.emplace_back(widget->maximum(), value); });

    std::atomic<bool> busy{false}, sent{false}, sentWhileBusy{false};
    std::vector<intptr_t> answers;
    LambdaJob job([&](auto, platform::ITextLine* status, platform::IProgressBar* bar, auto) {
        jobBar = bar;
        if (uiBusy) {
            QMetaObject::invokeMethod(
                &dialog,
                [&] {
                    busy = true;
                    WaitFor([&] { return sent.load(); });
                    sentWhileBusy = sent.load();
                },
                Qt::QueuedConnection);
            WaitFor([&] { return busy.load(); });
        }
        for (int k = 1; k <= kFiles; ++k) {
            const int final = finals[k - 1];
            status->SetText(platform::Format("Track%d", k));
            if (route == "export page")
                page.Notify(wave::WM_TRANSFER_RANGE, final, 0, platform::Notice::Event);
            else
                bar->SetRange(0, final);
            for (int pos = 16 + k; pos <= final; pos += 16) {
                if (route == "bar")
                    bar->SetPos(pos);
                else
                    page.Notify(route == "export page" ? wave::WM_TRANSFER_POS : wave::WM_TRANSFER_TOTAL, pos,
                                0, platform::Notice::Value);
                if (!uiBusy && pos % 1024 == k)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (!uiBusy)
                answers.push_back(page.Send(kQuery, 0, 0));
        }
        sent = true;
        if (uiBusy)
            answers.push_back(page.Send(kQuery, 0, 0));
    });
    dialog.SetJob(&job);
    QTimer eager;
    if (ui == "eager") {
        QObject::connect(&eager, &QTimer::timeout, [] { gui::CUiQueue::Deliver(); });
        eager.start(0);
    }
    dialog.DoModal();
    eager.stop();

    if (uiBusy)
        QVERIFY2(sentWhileBusy, "the worker waited for the UI thread");
    // A question is answered on everything reported before it.
    QCOMPARE(answers, uiBusy ? std::vector<intptr_t>{finals.back()}
                             : std::vector<intptr_t>(finals.begin(), finals.end()));
    QCOMPARE(Label(&dialog, res::IDC_STATUS_TEXT)->text(), QString("Track%1").arg(kFiles));
    // Every value shown belongs to the range shown and is past the one before, and every range ends on
    // its exact last value. (Before the job's first range: the dialog's own 0..1 at 0.)
    std::vector<int> ranges, lastOfRange;
    size_t values = 0;
    for (const auto& [high, value] : shown) {
        if (high <= 1)
            continue;
        ++values;
        QVERIFY2(value % 16 == high % 16, qPrintable(QString("%1 under range %2").arg(value).arg(high)));
        const bool sameRange = !ranges.empty() && ranges.back() == high;
        QVERIFY2(!sameRange || value > lastOfRange.back(),
                 qPrintable(QString("%1 after %2").arg(value).arg(sameRange ? lastOfRange.back() : -1)));
        if (ranges.empty() || ranges.back() != high) {
            ranges.push_back(high);
            lastOfRange.push_back(value);
        }
        lastOfRange.back() = value;
    }
    QCOMPARE(ranges, finals);
    QCOMPARE(lastOfRange, finals);
    if (uiBusy) // everything waited: each file's positions came down to its last one
        QCOMPARE(values, size_t(kFiles));
}

void ProgressDlgTest::notifiedValuesMergeOnlyWithTheirOwnKind() {
    using platform::Notice;
    constexpr unsigned kCount = platform::WM_USER + 4, kOther = platform::WM_USER + 3,
                       kStage = platform::WM_USER + 5, kPosted = platform::WM_USER + 7;
    QStringList seen;
    gui::CQtMessageTarget target([&](unsigned message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        const bool onUi = QThread::currentThread() == qApp->thread();
        seen << QString("%1:%2/%3%4")
                    .arg(message - platform::WM_USER)
                    .arg(wParam)
                    .arg(lParam)
                    .arg(onUi ? "" : "!");
        return 0;
    });
    const bool alone = RunWhileUiSleeps([&] {
        target.Notify(kCount, 1, 10, Notice::Value);
        target.Notify(kCount, 5, 10, Notice::Value);
        target.Notify(kOther, 7, 0, Notice::Value);
        target.Notify(kCount, 3, 20, Notice::Value); // counted against another total: kept apart
        target.Notify(kCount, 20, 20, Notice::Value);
        target.Post(kPosted, 1, 0);
        target.Notify(kCount, 4, 20, Notice::Value); // after a posted message: kept apart
        target.Notify(kStage, 9, 0, Notice::Event);
        target.Notify(kStage, 9, 0, Notice::Event); // events are never merged
        target.Notify(kCount, 20, 20, Notice::Value);
    });
    QVERIFY(alone);
    QVERIFY(seen.isEmpty());
    gui::CUiQueue::Deliver();
    QCOMPARE(seen,
             QStringList({"4:5/10", "3:7/0", "4:20/20", "7:1/0", "4:4/20", "5:9/0", "5:9/0", "4:20/20"}));
}

QTEST_MAIN(ProgressDlgTest)
#include "ProgressDlgTest.moc"
