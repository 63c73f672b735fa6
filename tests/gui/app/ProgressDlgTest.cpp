// The progress dialog with jobs on its worker thread, and the Qt message target and message box
// used from that worker.

#include "app/ProgressDlg.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "app/QtMessageBox.h"
#include "app/QtMessageTarget.h"
#include "app/UiThread.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

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

QTEST_MAIN(ProgressDlgTest)
#include "ProgressDlgTest.moc"
