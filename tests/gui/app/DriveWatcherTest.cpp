// The live drive list in the real main window: cards that the disk service (a fake on a private bus)
// reports coming and going, a change while a job runs, devices that never count, safe removal, and
// the fallback on mountinfo with a real mount.

#include "app/DriveWatcher.h"
#include "FakeDiskService.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "app/DirectoryTree.h"
#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "card/CardRules.h"
#include "card/RecorderDrives.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <memory>
#include <mutex>

using testsupport::FakeDevice;

namespace {

// A job that holds its progress dialog open until the test lets it end.
class HeldJob : public platform::CProgressJob {
public:
    void RunJob(platform::ITextLine*, platform::ITextLine*, platform::IProgressBar*,
                platform::CancelFlag*) override {
        m_released.wait();
    }
    void Release() {
        std::call_once(m_once, [this] { m_release.set_value(); });
    }

private:
    std::once_flag m_once;
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();
};

} // namespace

class DriveWatcherTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cardsComeAndGoOnEveryPage();
    void systemAndFixedDevicesNeverCount();
    void aChangeDuringAJobWaitsForItsEnd();
    void safeRemoval_data();
    void safeRemoval();
    void mountInfoFollowsARealMount();

private:
    std::string P(const QString& relative) const { return m_dir.filePath(relative).toStdString(); }
    FakeDevice Card(const QString& name = QStringLiteral("sdb1")) const {
        FakeDevice card;
        card.name = name;
        card.mountPoint = P("cardB");
        return card;
    }
    void MakeSong(const std::string& card, const std::string& song);
    void Open();
    QComboBox* Combo(int page, int id) const { return res::Control<QComboBox>(m_main->Page(page), id); }
    QStringList Drives(int page) const;
    std::vector<int> Ticked() const;
    void CheckPages(const QStringList& drives, int selected) const;

    QTemporaryDir m_dir;
    std::unique_ptr<testsupport::PrivateBus> m_bus;
    std::unique_ptr<testsupport::FakeDiskService> m_disks;
    std::unique_ptr<testsupport::ScriptedMessageBox> m_box;
    std::unique_ptr<gui::CMainDlg> m_main;
};

void DriveWatcherTest::initTestCase() {
    QVERIFY(UseScratchHome(m_dir));
    if (!testsupport::HaveTool("dbus-daemon"))
        QSKIP("dbus-daemon is not installed (scripts/setup.sh installs it)");
    m_bus = std::make_unique<testsupport::PrivateBus>();
    QVERIFY2(m_bus->IsRunning(), "dbus-daemon gave no address");
    for (const char* song : {"Song01", "Song02"}) {
        MakeSong(P("cardB"), song);
        MakeSong(P("folder"), song);
    }
}

void DriveWatcherTest::init() {
    card::SetExtraCardFolders({P("folder")});
    m_disks = std::make_unique<testsupport::FakeDiskService>(m_bus->Address());
    QVERIFY(m_disks->IsRegistered());
    m_box = std::make_unique<testsupport::ScriptedMessageBox>();
    gui::SetAppMessageBox(m_box.get());
}

void DriveWatcherTest::cleanup() {
    m_main.reset();
    m_disks.reset();
    gui::SetAppMessageBox(nullptr);
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

void DriveWatcherTest::MakeSong(const std::string& card, const std::string& song) {
    const std::string folder = card::SongFolderPath(card, song);
    QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50001.wav", 1, 4000, {1, 16, 48000}));
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50002.wav", 2, 3000, {1, 16, 48000}));
    const std::vector<testsupport::Ev> events = {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 4000},
                                                 {2, adl::EditType::Cut, "zt50002.wav", 2, 0, 500, 3500}};
    QVERIFY(testsupport::WriteText(card::AdlPath(card, song),
                                   testsupport::AdlText(adl::SampleRateCode::Hz48000, events, 100, 1100)));
}

void DriveWatcherTest::Open() {
    m_main = std::make_unique<gui::CMainDlg>();
    m_main->OnInitDialog();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

QStringList DriveWatcherTest::Drives(int page) const {
    QStringList drives;
    QComboBox* combo = Combo(page, res::IDC_DRIVE);
    for (int i = 0; i < combo->count(); ++i)
        drives << combo->itemText(i);
    return drives;
}

std::vector<int> DriveWatcherTest::Ticked() const {
    std::vector<int> ticked;
    for (int t = 1; t <= 16; ++t)
        if (res::Control<QCheckBox>(m_main->Page(0), res::IDC_TRACK[t - 1])->isChecked())
            ticked.push_back(t);
    return ticked;
}

void DriveWatcherTest::CheckPages(const QStringList& drives, int selected) const {
    for (int page = 0; page < 3; ++page) {
        QCOMPARE(Drives(page), drives);
        QCOMPARE(Combo(page, res::IDC_DRIVE)->currentIndex(), selected);
    }
    QCOMPARE(m_main->m_nDriveIndex, selected);
}

void DriveWatcherTest::cardsComeAndGoOnEveryPage() {
    Open();
    QVERIFY(m_main->DriveWatcher()->UsesDiskService());
    const QString card = QString::fromStdString(P("cardB")), folder = QString::fromStdString(P("folder"));
    CheckPages({folder}, 0);
    // The second song with track 2 unticked: what the user chose stays while the list changes.
    m_main->Page(0)->SelectSong(1);
    QTest::mouseClick(res::Control<QCheckBox>(m_main->Page(0), res::IDC_TRACK[1]), Qt::LeftButton);
    QCOMPARE(Ticked(), std::vector<int>{1});

    m_disks->Add(Card());
    QTRY_COMPARE(Drives(0).size(), 2);
    CheckPages({card, folder}, 1);
    QCOMPARE(Combo(0, res::IDC_SONG)->currentIndex(), 1);
    QCOMPARE(Ticked(), std::vector<int>{1});
    QVERIFY(m_main->Tree()->TopItem(P("cardB")));

    m_disks->Remove(QStringLiteral("sdb1"));
    QTRY_COMPARE(Drives(0).size(), 1);
    CheckPages({folder}, 0);
    QCOMPARE(Combo(0, res::IDC_SONG)->currentIndex(), 1);
    QCOMPARE(Ticked(), std::vector<int>{1});
    QVERIFY(!m_main->Tree()->TopItem(P("cardB")));

    // The selected card goes: every page falls back to the first drive and its first song.
    m_disks->Add(Card());
    QTRY_COMPARE(Drives(0).size(), 2);
    for (int page = 0; page < 3; ++page)
        m_main->Page(page)->SelectDrive(0);
    m_disks->Remove(QStringLiteral("sdb1"));
    QTRY_COMPARE(Drives(0).size(), 1);
    CheckPages({folder}, 0);
    QCOMPARE(Combo(0, res::IDC_SONG)->currentIndex(), 0);
    QCOMPARE(Ticked(), (std::vector<int>{1, 2}));

    // The last drive goes: no page offers its songs any longer.
    card::SetExtraCardFolders({});
    m_disks->Add(Card());
    QTRY_COMPARE(Drives(0), QStringList{card});
    m_disks->Remove(QStringLiteral("sdb1"));
    QTRY_COMPARE(Drives(0).size(), 0);
    CheckPages({}, -1);
    for (int page = 0; page < 3; ++page)
        QCOMPARE(Combo(page, res::IDC_SONG)->count(), 0);
    QCOMPARE(Ticked(), std::vector<int>{});
}

void DriveWatcherTest::systemAndFixedDevicesNeverCount() {
    Open();
    FakeDevice system = Card(QStringLiteral("sda2")); // on USB and removable, but the system's own
    system.mountPoint = P("system");
    system.hintSystem = true;
    FakeDevice fixed = Card(QStringLiteral("nvme0n1p3"));
    fixed.mountPoint = P("fixed");
    fixed.connectionBus.clear();
    fixed.removable = fixed.mediaRemovable = false;
    m_disks->Add(system);
    m_disks->Add(fixed);
    QTRY_COMPARE(m_main->DriveWatcher()->Mounted().size(), size_t(2));
    QCOMPARE(m_main->DriveWatcher()->RecorderDrives(), std::vector<std::string>{P("folder")});
    CheckPages({QString::fromStdString(P("folder"))}, 0);
    // Both are drives of the folder tree all the same.
    QVERIFY(m_main->Tree()->TopItem(P("system")));
    QVERIFY(m_main->Tree()->TopItem(P("fixed")));
}

void DriveWatcherTest::aChangeDuringAJobWaitsForItsEnd() {
    Open();
    HeldJob job;
    bool seenDuringJob = false;
    WhenModalIs<gui::CProgressDlg>([&](gui::CProgressDlg*) {
        // Let go however the checks below end, so a failure cannot leave the dialog waiting.
        const std::shared_ptr<void> release(nullptr, [&job](void*) { job.Release(); });
        m_disks->Add(Card());
        // The watcher knows of the card at once; the pages do not change under the job.
        QTRY_VERIFY_WITH_TIMEOUT(m_main->DriveWatcher()->RecorderDrives().size() == 2, 10000);
        seenDuringJob = Drives(0).size() == 1 && Drives(2).size() == 1;
    });
    gui::CProgressDlg dialog;
    dialog.SetJob(&job);
    dialog.DoModal();
    QVERIFY(seenDuringJob);
    QTRY_COMPARE(Drives(0).size(), 2);
    CheckPages({QString::fromStdString(P("cardB")), QString::fromStdString(P("folder"))}, 1);
}

void DriveWatcherTest::safeRemoval_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("text");
    const QString card = QString::fromStdString(P("cardB"));
    QTest::newRow("removed") << "removed" << true << QStringList{"Unmount sdb1", "PowerOff sdb1"}
                             << "The card in " + card + " can now be removed safely.";
    // A reader that cannot be switched off: unmounted, the card leaves the list all the same.
    QTest::newRow("removed, stays powered") << "unpowered" << true << QStringList{"Unmount sdb1"}
                                            << "The card in " + card + " can now be removed safely.";
    QTest::newRow("busy")
        << "busy" << true << QStringList{"Unmount sdb1"}
        << "The card in " + card +
               " is still in use by another program. Close the files or programs that use it, "
               "then try again.";
    QTest::newRow("a card folder") << "folder" << false << QStringList{} << QString();
    QTest::newRow("no disk service") << "gone" << true << QStringList{}
                                     << "The card in " + card +
                                            " cannot be unmounted from here: this desktop has no disk "
                                            "service (UDisks2). Unmount it with the "
                                            "desktop (eject it in the file manager) before you remove it.";
}

void DriveWatcherTest::safeRemoval() {
    QFETCH(QString, situation);
    QFETCH(bool, enabled);
    QFETCH(QStringList, calls);
    QFETCH(QString, text);
    FakeDevice device = Card();
    device.canPowerOff = situation != "unpowered";
    m_disks->Add(device);
    m_disks->SetBusy(situation == "busy");
    Open();
    QCOMPARE(Drives(0).size(), 2);
    if (situation == "folder")
        m_main->Page(0)->SelectDrive(1);
    if (situation == "gone")
        m_disks->Stop();
    QAction* remove = res::FindCommand(m_main.get(), res::ID_TOOL_SAFEREMOVAL);
    emit qobject_cast<QMenu*>(remove->parent())->aboutToShow();
    QCOMPARE(remove->isEnabled(), enabled);

    remove->trigger();
    if (!enabled) {
        QVERIFY(m_box->Texts().empty());
        return;
    }
    QTRY_COMPARE(m_box->Texts().size(), size_t(1));
    QCOMPARE(QString::fromStdString(m_box->Texts()[0]), text);
    QCOMPARE(m_disks->Calls(), calls);
    // Taken out, the card leaves the list; otherwise it stays.
    QTRY_COMPARE(Drives(0).size(), situation == "removed" || situation == "unpowered" ? 1 : 2);
}

void DriveWatcherTest::mountInfoFollowsARealMount() {
    m_disks.reset(); // no disk service on the bus: the window falls back on mountinfo
    const std::string mountPoint = P("mnt/card");
    QVERIFY(QDir().mkpath(QString::fromStdString(mountPoint)));
    // The test's own mount stands for a card in a USB reader; everything else is what it is.
    platform::SetMountProbe([mountPoint](const platform::MountEntry& m) {
        return m.path == mountPoint ? platform::DeviceFacts{m.path, "vfat", "usb", true, true, false}
                                    : platform::DeviceFacts{m.path, m.fsType, "", false, false, false};
    });
    struct Restore {
        std::string path;
        ~Restore() {
            testsupport::RunCommand("umount " + path + " 2>/dev/null");
            platform::SetMountProbe(nullptr);
        }
    } restore{mountPoint};
    Open();
    QVERIFY(!m_main->DriveWatcher()->UsesDiskService());
    if (testsupport::RunCommand("mount -t tmpfs -o size=1m pelmora-test " + mountPoint + " 2>/dev/null") != 0)
        QSKIP("mounting a tmpfs was refused (it needs root or CAP_SYS_ADMIN): the mountinfo fallback is "
              "untested");
    const QString card = QString::fromStdString(mountPoint), folder = QString::fromStdString(P("folder"));
    QTRY_COMPARE(Drives(0), (QStringList{card, folder}));
    CheckPages({card, folder}, 1);

    // Without a disk service the card is unmounted with the desktop's own tools.
    for (int page = 0; page < 3; ++page)
        m_main->Page(page)->SelectDrive(0);
    QAction* remove = res::FindCommand(m_main.get(), res::ID_TOOL_SAFEREMOVAL);
    emit qobject_cast<QMenu*>(remove->parent())->aboutToShow();
    remove->trigger();
    QTRY_COMPARE(m_box->Texts().size(), size_t(1));
    QCOMPARE(m_box->Texts()[0], card::RemovalText(card::Removal::NoDiskService, mountPoint));

    QCOMPARE(testsupport::RunCommand("umount " + mountPoint), 0);
    QTRY_COMPARE(Drives(0), QStringList{folder});
    CheckPages({folder}, 0);
}

QTEST_MAIN(DriveWatcherTest)
#include "DriveWatcherTest.moc"
