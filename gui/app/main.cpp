// The pelmora program: the Qt application around CTransferApp.

#include "PelmoraVersion.h"
#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/TransferApp.h"
#include "card/RecorderDrives.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

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

// The CD writer page with the demo card's two mixdowns in its track list.
void ShowCdTracks(gui::CMainDlg* main) {
    main->TabControl()->setCurrentIndex(2);
    gui::CPageDlg* page = main->Page(2);
    res::Control<QRadioButton>(page, res::IDC_LOCATION_ZT)->click();
    auto* songs = res::Control<QComboBox>(page, res::IDC_SONG);
    const int mixdown = songs->findText(QStringLiteral("Mixdown"));
    songs->setCurrentIndex(mixdown);
    emit songs->activated(mixdown);
    res::Control<QTreeWidget>(page, res::IDC_FILE_LIST)->selectAll();
    res::Control<QPushButton>(page, res::IDC_ADD)->click();
    if (QTreeWidgetItem* first = res::Control<QTreeWidget>(page, res::IDC_TRACK_LIST)->topLevelItem(0))
        first->setSelected(true);
}

// Chooses the song on the "ZT to PC" page and opens it in the song view.
void ShowSongView(gui::CMainDlg* main, const QString& song) {
    gui::CPageDlg* page = main->Page(0);
    page->SelectSong(res::Control<QComboBox>(page, res::IDC_SONG)->findText(song));
    res::FindCommand(main, res::ID_TOOL_SONGVIEW)->trigger();
}

// The window made larger, still on the screen, with a wider tree pane.
void ShowResized(gui::CMainDlg* main) {
    main->setGeometry(main->geometry().adjusted(-180, -80, 180, 80));
    if (auto* splitter = main->findChild<QSplitter*>())
        splitter->setSizes({splitter->sizes().value(0) + 120, splitter->sizes().value(1) + 240});
}

// PELMORA_SCREENSHOT_VIEW (tab0, tab1, tab2, cdtracks, drivemedium, resized, toolmenu, about, progress,
// songview:SONG) opens that view
// once the main window shows, for scripts/screenshots.sh; nothing else reads it.
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
        else if (view == QLatin1String("cdtracks"))
            main->Page(2)->WhenCdDrivesListed([main] { ShowCdTracks(main); });
        else if (view == QLatin1String("drivemedium"))
            main->Page(2)->WhenCdDrivesListed(
                [main] { res::FindCommand(main, res::ID_TOOL_DRIVEMEDIUM)->trigger(); });
        else if (view.startsWith(QLatin1String("songview:")))
            ShowSongView(main, view.mid(9));
        else if (view == QLatin1String("resized"))
            ShowResized(main);
        else if (view == QLatin1String("toolmenu"))
            main->findChild<QMenuBar*>()->setActiveAction(main->findChild<QMenuBar*>()->actions().value(0));
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

// Reads the program's own options (Qt has taken its own out by now). False, with the reason on
// standard error, when a card folder named on the command line is not there.
bool ReadOptions(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Moves audio between this computer and the recorder's card."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {QStringLiteral("card"),
         QStringLiteral("List <folder> (a copy of a card) as a recorder drive for this run; repeatable."),
         QStringLiteral("folder")});
    parser.process(app);
    std::vector<std::string> cards;
    for (const QString& folder : parser.values(QStringLiteral("card"))) {
        const QFileInfo info(folder);
        if (!info.isDir()) {
            std::fprintf(stderr, "pelmora: --card %s: no such folder\n", qPrintable(folder));
            return false;
        }
        cards.push_back(QDir::cleanPath(info.absoluteFilePath()).toStdString());
    }
    card::SetExtraCardFolders(cards);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("pelmora"));
    QApplication::setWindowIcon(res::AppIcon());
    if (!ReadOptions(app))
        return 2;

    const QString view = qEnvironmentVariable("PELMORA_SCREENSHOT_VIEW");
    if (!view.isEmpty())
        ScheduleScreenshotView(view);

    gui::CTransferApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
