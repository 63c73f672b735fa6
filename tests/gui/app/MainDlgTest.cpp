// The main window against pages that record the calls they get: the opening order, the drive list,
// tab switching, folder selection, the menu state, Enter/Esc and the tree failure.

#include "app/MainDlg.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "app/AboutDlg.h"
#include "app/DirectoryTree.h"
#include "app/QtMessageBox.h"
#include "card/RecorderDrives.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using gui::CMainDlg;

namespace {

struct World {
    std::vector<std::string> log;
    CMainDlg* main = nullptr;
    std::string cdName;
    int songAfterDrive = -100; // when set, SelectDrive also moves the shared song position
};

class RecordingPage : public gui::CBasicPage {
public:
    RecordingPage(int templateId, World* world)
        : CBasicPage(templateId), m_world(world),
          m_name("p" + std::to_string(templateId - res::IDD_ZT_TO_PC + 1)) {}

    int* m_drive = nullptr;
    int* m_song = nullptr;

    void SetSharedSelection(int* drive, int* song) override {
        Log("SetSharedSelection");
        m_drive = drive;
        m_song = song;
        CBasicPage::SetSharedSelection(drive, song);
    }
    void ResetDrives() override {
        Log("ResetDrives");
        CBasicPage::ResetDrives();
    }
    void AddDrive(const std::string& drive) override {
        Log("AddDrive(" + drive + ")");
        CBasicPage::AddDrive(drive);
    }
    int SelectDrive(int index) override {
        Log("SelectDrive(" + std::to_string(index) + ")");
        const int result = CBasicPage::SelectDrive(index);
        if (m_world->songAfterDrive != -100 && m_song)
            *m_song = m_world->songAfterDrive;
        return result;
    }
    int SelectSong(int index) override {
        Log("SelectSong(" + std::to_string(index) + ")");
        return CBasicPage::SelectSong(index);
    }
    void SetFolder(const std::string& path) override {
        Log("SetFolder(" + path + ")" + State());
        CBasicPage::SetFolder(path);
    }
    std::string GetCdDriveName() const override {
        m_world->log.push_back(m_name + " GetCdDriveName");
        return m_world->cdName;
    }

protected:
    bool OnInitDialog() override {
        Log("Create" + State());
        return true;
    }

private:
    void Log(const std::string& call) { m_world->log.push_back(m_name + " " + call); }
    // What the main window had built when the call came: its tabs and the tree's selection.
    std::string State() const {
        CMainDlg* main = m_world->main;
        return " tabs=" + std::to_string(main->TabControl()->count()) +
               " tree=" + main->Tree()->GetItemPath(main->Tree()->currentItem());
    }

    World* m_world;
    std::string m_name;
};

} // namespace

class MainDlgTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingOrder();
    void cdRecorderEnablesDriveMedium();
    void noRecorderDrive();
    void tabSwitchingTellsOnlyTheShownPage();
    void folderSelectionReachesOnlyTheVisiblePage();
    void enterAndEscCloseTheWindow_data();
    void enterAndEscCloseTheWindow();
    void enterAndEscInsideAPageKeepItOpen_data();
    void enterAndEscInsideAPageKeepItOpen();
    void aboutFromTheHelpMenu();
    void treeFailureSaysInitializeError();

private:
    std::unique_ptr<CMainDlg> Make(bool initialize = true);
    RecordingPage* Page(int i) const { return static_cast<RecordingPage*>(m_main->Page(i)); }
    std::string P(const QString& relative) const { return m_dir.filePath(relative).toStdString(); }

    QTemporaryDir m_dir;
    World m_world;
    std::unique_ptr<CMainDlg> m_main;
    std::vector<std::string> m_driveMediumCalls;
    std::vector<std::string> m_drives;
};

void MainDlgTest::initTestCase() {
    // A home of our own with a desktop folder in it, and two folders that act as recorder cards.
    QVERIFY(UseScratchHome(m_dir));
    QVERIFY(QDir().mkpath(m_dir.filePath("cardB/SONG1")));
    QVERIFY(QDir().mkpath(m_dir.filePath("cardA")));
    QCOMPARE(CMainDlg::DesktopFolder(), P("Desktop"));
}

void MainDlgTest::init() {
    m_world = World();
    m_driveMediumCalls.clear();
    card::SetExtraCardFolders({P("cardB"), P("cardA")});
    m_drives = card::FindRecorderDrives();
}

void MainDlgTest::cleanup() {
    m_main.reset();
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

std::unique_ptr<CMainDlg> MainDlgTest::Make(bool initialize) {
    auto main = std::make_unique<CMainDlg>(
        nullptr, [this](int id) { return std::make_unique<RecordingPage>(id, &m_world); },
        [this](const std::string& name, int) { m_driveMediumCalls.push_back(name); });
    m_world.main = main.get();
    main->Tree()->SetDriveSource([this] { return std::vector<std::string>{m_dir.path().toStdString()}; });
    if (initialize)
        main->OnInitDialog();
    return main;
}

void MainDlgTest::openingOrder() {
    m_main = Make();
    const std::string desktop = P("Desktop");
    std::vector<std::string> expected = {
        "p1 SetFolder(" + desktop + ") tabs=0 tree=" + desktop,
        "p1 Create tabs=3 tree=" + desktop,
        "p2 Create tabs=3 tree=" + desktop,
        "p3 Create tabs=3 tree=" + desktop,
        "p1 SetSharedSelection",
        "p2 SetSharedSelection",
        "p3 SetSharedSelection",
        "p1 ResetDrives",
    };
    for (const std::string& drive : m_drives)
        for (const char* page : {"p1", "p2", "p3"})
            expected.push_back(std::string(page) + " AddDrive(" + drive + ")");
    for (const char* call : {"p1 SelectDrive(0)", "p2 SelectDrive(0)", "p3 SelectDrive(0)",
                             "p1 SelectSong(0)", "p3 GetCdDriveName"})
        expected.push_back(call);
    QCOMPARE(m_world.log, expected);

    // The two card folders come after the machine's drives, in the order named, the first drive selected.
    QVERIFY(m_drives.size() >= 2);
    QCOMPARE(m_drives[m_drives.size() - 2], P("cardB"));
    QCOMPARE(m_drives.back(), P("cardA"));
    for (int i = 0; i < 3; ++i) {
        auto* combo = res::Control<QComboBox>(Page(i), res::IDC_DRIVE);
        QCOMPARE(combo->count(), int(m_drives.size()));
        for (size_t d = 0; d < m_drives.size(); ++d)
            QCOMPARE(combo->itemText(int(d)).toStdString(), m_drives[d]);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(Page(i)->m_drive, &m_main->m_nDriveIndex);
        QCOMPARE(Page(i)->m_song, &m_main->m_nSongIndex);
        QCOMPARE(Page(i)->parentWidget(), static_cast<QWidget*>(m_main->TabControl()));
        QCOMPARE(Page(i)->pos(), QPoint(2, 25));
        QCOMPARE(Page(i)->isVisibleTo(m_main.get()), i == 0);
    }
    QCOMPARE(m_main->m_nDriveIndex, 0);
    QCOMPARE(m_main->m_nSongIndex, -1); // the plain pages list no songs

    QTabWidget* tab = m_main->TabControl();
    QCOMPARE(tab->count(), 3);
    QCOMPARE(tab->tabText(0), QString("ZT to PC"));
    QCOMPARE(tab->tabText(1), QString("PC to ZT"));
    QCOMPARE(tab->tabText(2), QString("CD Writer"));
    QCOMPARE(m_main->windowTitle(), QString("Pelmora"));
    // No CD recorder listed: Tool > Drive/Medium is grey.
    QVERIFY(!res::FindCommand(m_main.get(), res::ID_TOOL_DRIVEMEDIUM)->isEnabled());
    QVERIFY(res::FindCommand(m_main.get(), res::ID_HELP_ABOUT)->isEnabled());
}

void MainDlgTest::cdRecorderEnablesDriveMedium() {
    m_world.cdName = "ACME Writer 1.0";
    m_main = Make();
    QAction* driveMedium = res::FindCommand(m_main.get(), res::ID_TOOL_DRIVEMEDIUM);
    QVERIFY(driveMedium->isEnabled());
    driveMedium->trigger();
    QCOMPARE(m_driveMediumCalls, std::vector<std::string>{"ACME Writer 1.0"});
}

void MainDlgTest::noRecorderDrive() {
    card::SetExtraCardFolders({});
    if (!card::FindRecorderDrives().empty())
        QSKIP("this machine has a removable drive mounted");
    m_main = Make();
    QCOMPARE(m_main->m_nDriveIndex, -1);
    QCOMPARE(res::Control<QComboBox>(Page(1), res::IDC_DRIVE)->count(), 0);
}

void MainDlgTest::tabSwitchingTellsOnlyTheShownPage() {
    m_main = Make();
    m_main->m_nDriveIndex = 1;
    m_world.songAfterDrive = 7; // the page's drive refresh moves the shared song position
    m_world.log.clear();
    m_main->TabControl()->setCurrentIndex(1);
    const std::string desktop = P("Desktop");
    QCOMPARE(m_world.log, (std::vector<std::string>{"p2 SetFolder(" + desktop + ") tabs=3 tree=" + desktop,
                                                    "p2 SelectDrive(1)", "p2 SelectSong(7)"}));
    QVERIFY(!Page(0)->isVisibleTo(m_main.get()));
    QVERIFY(Page(1)->isVisibleTo(m_main.get()));
    QVERIFY(!Page(2)->isVisibleTo(m_main.get()));

    m_world.songAfterDrive = -100;
    m_world.log.clear();
    m_main->TabControl()->setCurrentIndex(2);
    QCOMPARE(m_world.log, (std::vector<std::string>{"p3 SetFolder(" + desktop + ") tabs=3 tree=" + desktop,
                                                    "p3 SelectDrive(1)", "p3 SelectSong(-1)"}));
    QVERIFY(Page(2)->isVisibleTo(m_main.get()));
    QVERIFY(!Page(1)->isVisibleTo(m_main.get()));
}

void MainDlgTest::folderSelectionReachesOnlyTheVisiblePage() {
    m_main = Make();
    m_main->TabControl()->setCurrentIndex(1);
    m_world.log.clear();
    QVERIFY(m_main->Tree()->SelectPath(P("cardB/SONG1"), false));
    const std::string tail = " tabs=3 tree=" + P("cardB/SONG1");
    QCOMPARE(m_world.log, std::vector<std::string>{"p2 SetFolder(" + P("cardB/SONG1") + ")" + tail});

    // The root item stands for no folder.
    m_world.log.clear();
    m_main->Tree()->setCurrentItem(m_main->Tree()->RootItem());
    QCOMPARE(m_world.log, std::vector<std::string>{"p2 SetFolder() tabs=3 tree="});
}

void MainDlgTest::enterAndEscCloseTheWindow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
}

void MainDlgTest::enterAndEscCloseTheWindow() {
    QFETCH(int, key);
    QFETCH(int, result);
    m_main = Make(false);
    WhenModalIs<CMainDlg>([key](CMainDlg* main) {
        QApplication::setActiveWindow(main);
        main->Tree()->setFocus();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : main;
        QTest::keyClick(target, Qt::Key(key));
    });
    QCOMPARE(m_main->DoModal(), result);
}

void MainDlgTest::enterAndEscInsideAPageKeepItOpen_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("result"); // 42: still open after the key
    QTest::addColumn<int>("clicks");
    const int open = 42, none = Qt::NoModifier, keypad = Qt::KeypadModifier;
    QTest::newRow("Esc on a page's combo") << "combo" << int(Qt::Key_Escape) << none << open << 0;
    QTest::newRow("Enter on a page's combo") << "combo" << int(Qt::Key_Return) << none << open << 0;
    QTest::newRow("keypad Enter on a page's combo") << "combo" << int(Qt::Key_Enter) << keypad << open << 0;
    QTest::newRow("Esc on a page's button") << "button" << int(Qt::Key_Escape) << none << open << 0;
    QTest::newRow("Enter on a page's button presses it")
        << "button" << int(Qt::Key_Return) << none << open << 1;
    QTest::newRow("Esc on the tab bar")
        << "tabs" << int(Qt::Key_Escape) << none << int(QDialog::Rejected) << 0;
    QTest::newRow("Enter on the tab bar")
        << "tabs" << int(Qt::Key_Return) << none << int(QDialog::Accepted) << 0;
}

void MainDlgTest::enterAndEscInsideAPageKeepItOpen() {
    QFETCH(QString, target);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, result);
    QFETCH(int, clicks);
    m_main = Make(false);
    bool focused = false;
    int clicked = 0;
    WhenModalIs<CMainDlg>([&](CMainDlg* main) {
        QWidget* page = main->Page(0);
        auto* button = res::Control<QPushButton>(page, res::IDC_IMPORT);
        connect(button, &QPushButton::clicked, [&] { ++clicked; });
        QWidget* widget = target == "combo"    ? res::Control<QComboBox>(page, res::IDC_DRIVE)
                          : target == "button" ? static_cast<QWidget*>(button)
                                               : main->TabControl()->tabBar();
        // A loaded machine may not have made the dialog active yet; focus goes only to an active window.
        QApplication::setActiveWindow(main);
        widget->setFocus();
        focused = QApplication::focusWidget() == widget;
        QTest::keyClick(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        if (main->isVisible())
            main->done(42);
    });
    QCOMPARE(m_main->DoModal(), result);
    QVERIFY(focused);
    QCOMPARE(clicked, clicks);
}

void MainDlgTest::aboutFromTheHelpMenu() {
    m_main = Make(false);
    QString caption, firstLine;
    WhenModalIs<CMainDlg>([](CMainDlg* main) { res::FindCommand(main, res::ID_HELP_ABOUT)->trigger(); });
    WhenModalIs<gui::CAboutDlg>([&](gui::CAboutDlg* about) {
        caption = about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>())
            if (label->text().startsWith("Pelmora"))
                firstLine = label->text();
        res::Control<QPushButton>(about, res::IDOK)->click();
        WhenModalIs<CMainDlg>([](CMainDlg* main) { main->reject(); });
    });
    m_main->DoModal();
    QCOMPARE(caption, QString("Pelmora"));
    QCOMPARE(firstLine, QString("Pelmora Version 2.12"));
}

void MainDlgTest::treeFailureSaysInitializeError() {
    testsupport::ScriptedMessageBox box;
    gui::SetAppMessageBox(&box);
    m_main = Make(false);
    m_main->Tree()->SetDriveSource([] { return std::vector<std::string>(); });
    QTimer::singleShot(5000, m_main.get(), [this] { m_main->done(42); }); // would mean the close never came
    const int result = m_main->DoModal();
    gui::SetAppMessageBox(nullptr);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(box.Texts(), std::vector<std::string>{"Initialize error !"});
    QVERIFY(m_world.log.empty()); // no page was made or told anything
    QCOMPARE(m_main->TabControl()->count(), 0);
}

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
