// The pelmora program: the Qt application around CTransferApp.

#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/TransferApp.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <thread>

namespace {

// A job that only shows progress until it is cancelled or a minute has passed.
class ShowcaseJob : public platform::CProgressJob {
public:
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override {
        pStatusText->SetText("PC to ZT   Track3");
        pProgressText->SetText("tr03.wav");
        pProgress->SetRange(0, 100);
        pProgress->SetPos(40);
        for (int i = 0; i < 600 && !platform::IsCancelled(pCancel); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

// PELMORA_SCREENSHOT_VIEW (tab0, tab1, tab2, about, progress) opens that view once the main window
// shows, for scripts/screenshots.sh; nothing else reads it.
void ScheduleScreenshotView(const QString& view) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, view] {
        auto* main = dynamic_cast<gui::CMainDlg*>(QApplication::activeModalWidget());
        if (!main || !main->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        if (view.startsWith(QLatin1String("tab")))
            main->TabControl()->setCurrentIndex(view.mid(3).toInt());
        else if (view == QLatin1String("about"))
            res::FindCommand(main, res::ID_HELP_ABOUT)->trigger();
        else if (view == QLatin1String("progress")) {
            ShowcaseJob job;
            gui::CProgressDlg dialog;
            dialog.SetJob(&job);
            dialog.DoModal();
        }
    });
    timer->start(200);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QApplication::setDesktopFileName(QStringLiteral("pelmora"));
    QApplication::setWindowIcon(res::AppIcon());

    const QString view = qEnvironmentVariable("PELMORA_SCREENSHOT_VIEW");
    if (!view.isEmpty())
        ScheduleScreenshotView(view);

    gui::CTransferApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
