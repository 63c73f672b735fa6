// The "CD Writer" page and the Drive/Medium dialog in the real main window, on the test recorder
// service installed through the window's seam (and, for the disc image, on the service the program
// ships with): what the page lists and adds, the track list's buttons, the burn and what can go wrong
// with it, the recorder scan in the background, and the dialog's fields, Eject and Erase.

#include "Cli.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "TestDiscBackend.h"
#include "TestSupport.h"
#include "Wav.h"
#include "app/DirectoryTree.h"
#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "card/CardRules.h"
#include "card/RecorderDrives.h"
#include "cdwriter/AppDiscBackend.h"
#include "cdwriter/CdWriterDlg.h"
#include "cdwriter/DriveMediumDlg.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <sstream>

using cdwriter::CTestDiscBackend;
using cdwriter::TestProgressEvent;
using cdwriter::TestRecorder;
using testsupport::Quote;

namespace {

// Holds a recorder call of the burn's thread (or the scan's) until the test lets it go.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_released.wait(lock, [this] { return m_open; });
        m_waiting = false;
    }
    bool Waiting() {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_waiting = false;
    bool m_open = false;
};

// A CD audio file whose data chunk holds `bytes` of silence, without writing them (a sparse file).
void WriteSilentCdWav(const std::string& path, uint64_t bytes) {
    auto wav = testsupport::MakeWav({});
    testsupport::PatchLe32(wav, 4, static_cast<uint32_t>(36 + bytes));
    testsupport::PatchLe32(wav, 40, static_cast<uint32_t>(bytes));
    QVERIFY(testsupport::WriteBytes(path, wav));
    std::filesystem::resize_file(path, wav.size() + bytes);
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF));
    }
    return bytes;
}

// A small file system of its own at `folder` (tests run as root); false where mounting is not allowed.
bool Mount(const std::string& folder, const std::string& options) {
    return platform::CreateDirectory(folder) &&
           testsupport::RunCommand("mount -t tmpfs -o " + options + " tmpfs " + Quote(folder) +
                                   " 2>/dev/null") == 0;
}

} // namespace

class CdWriterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theWaveListAndAddedTracks();
    void theTrackListAtItsLimitsAndItsEdits();
    void withoutARecorderNothingCanBeAdded();
    void theRecorderScanRunsWhileTheWindowAnswers();
    void recordersOfOneNameAreToldApartByPosition();
    void burnStagesTheListAndGreysCancelOnceRecording();
    void cancelDuringStagingRecordsNothingAndSaysNothing();
    void whatGoesWrongBeforeOrDuringTheBurnIsToldAndNothingIsLost();
    void aBurnToTheDiscImageReadsBackWithCdInfoAndBchunk();
    void aDiscImageOnAReadOnlyOrFullFileSystemLeavesNothing();
    void driveMediumShowsTheChosenRecorderAndErasesItsDisc();
    void driveMediumFailuresAndTheDiscImage();

private:
    std::string P(const std::string& name) const {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string Card() const { return P("card"); }
    std::string Pc() const { return P("pc"); }
    void Open(bool waitForRecorders = true);
    gui::CCdWriterDlg* Page() const { return static_cast<gui::CCdWriterDlg*>(m_main->Page(2)); }
    template <class T> T* Ctl(int id) const { return res::Control<T>(m_main->Page(2), id); }
    void Click(int id) { QTest::mouseClick(Ctl<QPushButton>(id), Qt::LeftButton); }
    void Choose(int comboId, int index) {
        auto* combo = Ctl<QComboBox>(comboId);
        combo->setCurrentIndex(index < 0 ? combo->count() + index : index);
        emit combo->activated(combo->currentIndex());
    }
    QStringList Column(int id, int column) const;
    // The track list's files by their first letter, in list order.
    QString Order() const { return Column(res::IDC_TRACK_LIST, 1).join("").remove(".wav"); }
    void AddFiles(const QStringList& names);
    void SelectTracks(const std::vector<int>& rows);
    void CdWav(const std::string& name, size_t bytes, uint32_t seed = 1) {
        QVERIFY(testsupport::WriteBytes(platform::JoinPath(Pc(), name),
                                        testsupport::MakeWav(testsupport::Pcm(bytes, seed))));
    }
    bool CanBurnAndRemove() const {
        return Ctl<QPushButton>(res::IDC_BURN)->isEnabled() && Ctl<QPushButton>(res::IDC_REMOVE)->isEnabled();
    }
    QAction* DriveMediumCommand() const { return res::FindCommand(m_main.get(), res::ID_TOOL_DRIVEMEDIUM); }
    // Runs Tool > Drive/Medium; `look` sees the dialog, which is closed afterwards.
    void InDriveMedium(const std::function<void(gui::CDriveMediumDlg*)>& look) {
        WhenModalIs<gui::CDriveMediumDlg>([look](gui::CDriveMediumDlg* dialog) {
            look(dialog);
            dialog->reject();
        });
        DriveMediumCommand()->trigger();
    }
    // Answers Burn's question for the image with `cue` (empty: Cancel).
    void ImageGoesTo(const std::string& cue, QString* proposed = nullptr) {
        WhenModalIs<QFileDialog>([cue, proposed](QFileDialog* dialog) {
            if (proposed)
                *proposed = dialog->selectedFiles().value(0);
            if (cue.empty())
                return dialog->reject();
            // Typed into the name field as a user would; the dialog's own accept takes it.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(cue));
            static_cast<QDialog*>(dialog)->accept();
        });
    }
    void NewBox() {
        m_box = std::make_unique<testsupport::ScriptedMessageBox>();
        gui::SetAppMessageBox(m_box.get());
    }
    std::vector<std::string> Texts() const { return m_box->Texts(); }
    // Opened in cleanup, so that a failed test never leaves a thread waiting.
    Gate& NewGate() { return *m_gates.emplace_back(std::make_unique<Gate>()); }

    QTemporaryDir m_dir;
    std::unique_ptr<CTestDiscBackend> m_backend;
    std::unique_ptr<gui::CMainDlg> m_main;
    std::unique_ptr<testsupport::ScriptedMessageBox> m_box;
    std::vector<std::string> m_mounts;
    std::vector<std::unique_ptr<Gate>> m_gates;
};

void CdWriterTest::initTestCase() {
    QVERIFY(UseScratchHome(m_dir));
}

void CdWriterTest::init() {
    testsupport::RemoveTree(Card());
    testsupport::RemoveTree(Pc());
    QVERIFY(platform::CreateDirectory(Card()));
    QVERIFY(platform::CreateDirectory(Pc()));
    card::SetExtraCardFolders({Card()});
    m_backend = std::make_unique<CTestDiscBackend>();
    m_backend->SetRecorders({TestRecorder{}});
    gui::SetAppDiscBackend(m_backend.get());
    NewBox();
}

void CdWriterTest::cleanup() {
    for (const auto& gate : m_gates)
        gate->Open();
    m_main.reset();
    m_backend->SetCallHook({});
    m_gates.clear();
    for (const std::string& mount : m_mounts)
        testsupport::RunCommand("umount " + Quote(mount));
    m_mounts.clear();
    gui::SetAppDiscBackend(nullptr);
    gui::SetAppMessageBox(nullptr);
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

void CdWriterTest::Open(bool waitForRecorders) {
    m_main = std::make_unique<gui::CMainDlg>();
    m_main->Tree()->SetDriveSource([this] { return std::vector<std::string>{m_dir.path().toStdString()}; });
    m_main->OnInitDialog();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    m_main->TabControl()->setCurrentIndex(2);
    QVERIFY(m_main->Tree()->SelectPath(Pc(), true));
    if (waitForRecorders)
        QTRY_VERIFY(Page()->CdDrivesListed());
}

QStringList CdWriterTest::Column(int id, int column) const {
    QStringList texts;
    auto* list = Ctl<QTreeWidget>(id);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

void CdWriterTest::AddFiles(const QStringList& names) {
    auto* list = Ctl<QTreeWidget>(res::IDC_FILE_LIST);
    list->clearSelection();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setSelected(names.contains(list->topLevelItem(i)->text(0)));
    Click(res::IDC_ADD);
}

void CdWriterTest::SelectTracks(const std::vector<int>& rows) {
    auto* list = Ctl<QTreeWidget>(res::IDC_TRACK_LIST);
    list->clearSelection();
    for (int row : rows)
        list->topLevelItem(row)->setSelected(true);
}

// --- The page -------------------------------------------------------------------------------------

void CdWriterTest::theWaveListAndAddedTracks() {
    WriteSilentCdWav(P("pc/b3600.wav"), 176400ull * 3600);
    WriteSilentCdWav(P("pc/A59.wav"), 176400ull * 59);
    QVERIFY(testsupport::WritePcWav(P("pc/48k.wav"), 1, 100, {2, 16, 48000}));
    QVERIFY(testsupport::WritePcWav(P("pc/mono.wav"), 1, 100, {1, 16, 44100}));
    const std::string mixes = card::MixFolderPath(Card(), "Song01");
    QVERIFY(platform::CreateDirectory(card::SongFolderPath(Card(), "Song01")) &&
            platform::CreateDirectory(mixes));
    QVERIFY(testsupport::WriteBytes(platform::JoinPath(mixes, "mix.wav"),
                                    testsupport::MakeWav(testsupport::Pcm(100))));
    Open();
    QCOMPARE(Column(res::IDC_FILE_LIST, 0), (QStringList{"A59.wav", "b3600.wav"}));
    QVERIFY(!Ctl<QComboBox>(res::IDC_SONG)->isEnabled());
    QVERIFY(!CanBurnAndRemove());
    Click(res::IDC_ADD);
    QCOMPARE(Texts(), std::vector<std::string>{"Please select wave files first."});
    AddFiles({"A59.wav", "b3600.wav"});
    QCOMPARE(Column(res::IDC_TRACK_LIST, 0) + Column(res::IDC_TRACK_LIST, 1) + Column(res::IDC_TRACK_LIST, 2),
             (QStringList{"1", "2", "A59.wav", "b3600.wav", "0m59s", "1h0m0s"}));
    QCOMPARE(Column(res::IDC_TRACK_LIST, 3).front(), QString::fromStdString(P("pc/A59.wav")));
    QVERIFY(CanBurnAndRemove());

    // From the song's mixdowns: the ZT controls come alive and the 2mix folder is listed.
    QTest::mouseClick(Ctl<QRadioButton>(res::IDC_LOCATION_ZT), Qt::LeftButton);
    for (int id : {res::IDC_ZT_DRIVE_LABEL, res::IDC_SONG_LABEL, res::IDC_DRIVE, res::IDC_SONG})
        QVERIFY(res::FindControl(Page(), id)->isEnabled());
    QCOMPARE(Column(res::IDC_FILE_LIST, 0), QStringList{"mix.wav"});
    AddFiles({"mix.wav"});
    QCOMPARE(Column(res::IDC_TRACK_LIST, 3).back(),
             QString::fromStdString(platform::JoinPath(mixes, "mix.wav")));

    // A folder without CD audio offers nothing to add.
    QTest::mouseClick(Ctl<QRadioButton>(res::IDC_LOCATION_PC), Qt::LeftButton);
    QVERIFY(m_main->Tree()->SelectPath(P("Desktop"), true));
    QVERIFY(Column(res::IDC_FILE_LIST, 0).isEmpty());
    QVERIFY(!Ctl<QPushButton>(res::IDC_ADD)->isEnabled());
    QCOMPARE(Texts().size(), size_t(1));
}

void CdWriterTest::theTrackListAtItsLimitsAndItsEdits() {
    // Room for exactly 100 four-second tracks with their gaps: the disc is counted in audio sectors.
    TestRecorder recorder;
    recorder.freeBlocks = 100 * 300 + 99 * 150;
    m_backend->SetRecorders({recorder});
    for (const char* name : {"A.wav", "B.wav", "C.wav", "D.wav", "E.wav", "F.wav"})
        CdWav(name, 2352 * 300);
    Open();
    for (int i = 0; i < 33; ++i)
        AddFiles({"A.wav", "B.wav", "C.wav"});
    QCOMPARE(Column(res::IDC_TRACK_LIST, 0).back(), QString("99"));
    QVERIFY(Texts().empty());
    AddFiles({"D.wav"}); // the 100th track fits on the disc but not in the list
    QCOMPARE(Texts(), std::vector<std::string>{"Track over flow."});
    QCOMPARE(Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->topLevelItemCount(), 99);
    QVERIFY(CanBurnAndRemove());

    // Beyond the free space: the files below the one that does not fit are not added either, and the
    // rows added before it can be burned.
    NewBox();
    Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->selectAll();
    Click(res::IDC_REMOVE);
    QVERIFY(!CanBurnAndRemove());
    recorder.freeBlocks = 300 + 150 + 300;
    m_backend->SetRecorders({recorder});
    AddFiles({"A.wav", "B.wav", "C.wav", "D.wav"});
    QCOMPARE(Texts(), std::vector<std::string>{"Total write size are too large."});
    QCOMPARE(Order(), QString("AB"));
    QVERIFY(CanBurnAndRemove());
    Click(res::IDC_BURN);
    QCOMPARE(m_backend->RecordedTracks().size(), size_t(2));

    // Tracks 2 and 4 of 5 removed, one of them after its file went: three rows numbered 1, 2, 3.
    recorder.freeBlocks = 360000;
    m_backend->SetRecorders({recorder});
    NewBox();
    AddFiles({"C.wav", "D.wav", "E.wav"});
    QVERIFY(platform::DeleteFile(P("pc/B.wav")));
    SelectTracks({1, 3});
    Click(res::IDC_REMOVE);
    QCOMPARE(Order(), QString("ACE"));
    QCOMPARE(Column(res::IDC_TRACK_LIST, 0), (QStringList{"1", "2", "3"}));
    QCOMPARE(Page()->Tracks().DiscSectors(), 3u * 300 + 2 * 150);

    // Up and Down: a block as one, rows apart each past their neighbour, the ends refused.
    AddFiles({"F.wav"});
    struct Case {
        std::vector<int> selected;
        int button;
        QString order;
        std::string message;
    };
    const Case cases[] = {
        {{1, 2}, res::IDC_UP, "CEAF", ""},
        {{0, 1}, res::IDC_DOWN, "ACEF", ""},
        {{0, 2}, res::IDC_DOWN, "CAFE", ""},
        {{0}, res::IDC_UP, "CAFE", "Cannot move the track up further."},
        {{3}, res::IDC_DOWN, "CAFE", "Cannot move the track down further."},
        {{}, res::IDC_DOWN, "CAFE", "Please select audio tracks first !"},
    };
    for (const Case& c : cases) {
        NewBox();
        SelectTracks(c.selected);
        Click(c.button);
        QCOMPARE(Order(), c.order);
        QCOMPARE(Texts(),
                 c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    }
    QCOMPARE(Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->selectedItems().size(), 0);
    SelectTracks({0, 2});
    Click(res::IDC_DOWN);
    QCOMPARE(Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->topLevelItem(1)->isSelected() &&
                 Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->topLevelItem(3)->isSelected(),
             true); // the selection moves with its rows
}

void CdWriterTest::withoutARecorderNothingCanBeAdded() {
    m_backend->SetRecorders({});
    CdWav("a.wav", 100);
    Open();
    QCOMPARE(Ctl<QComboBox>(res::IDC_CD_DRIVE)->count(), 0);
    QVERIFY(!DriveMediumCommand()->isEnabled());
    AddFiles({"a.wav"});
    QCOMPARE(Texts(), std::vector<std::string>{"Please select cd drive first."});
    QVERIFY(!CanBurnAndRemove());
}

void CdWriterTest::theRecorderScanRunsWhileTheWindowAnswers() {
    Gate& scan = NewGate();
    std::atomic<bool> first{true};
    m_backend->SetCallHook([&](const std::string& call) {
        if (call == "IDiscMaster::EnumDiscRecorders" && first.exchange(false))
            scan.Wait(); // a drive scan that takes its time
    });
    CdWav("a.wav", 100);
    Open(false);
    QTRY_VERIFY(scan.Waiting());
    // The window answers meanwhile: the page lists its files and says why nothing can be added yet.
    QCOMPARE(Column(res::IDC_FILE_LIST, 0), QStringList{"a.wav"});
    QVERIFY(!DriveMediumCommand()->isEnabled());
    AddFiles({"a.wav"});
    QCOMPARE(Texts(), std::vector<std::string>{"Please select cd drive first."});
    m_main->TabControl()->setCurrentIndex(0);
    QVERIFY(m_main->Page(0)->isVisible());
    m_main->TabControl()->setCurrentIndex(2);

    scan.Open();
    QTRY_VERIFY(Page()->CdDrivesListed());
    QCOMPARE(Ctl<QComboBox>(res::IDC_CD_DRIVE)->currentText(), QString("TESTVEND, CD-RW RECORDER, 1.00"));
    QVERIFY(DriveMediumCommand()->isEnabled());
    AddFiles({"a.wav"});
    QCOMPARE(Ctl<QTreeWidget>(res::IDC_TRACK_LIST)->topLevelItemCount(), 1);
}

void CdWriterTest::recordersOfOneNameAreToldApartByPosition() {
    TestRecorder first, second;
    second.freeBlocks = 100; // too small for the track
    second.mediaFlags = cdwriter::MEDIA_RW;
    m_backend->SetRecorders({first, second});
    CdWav("a.wav", 2352 * 300);
    Open();
    Choose(res::IDC_CD_DRIVE, 1);
    AddFiles({"a.wav"}); // the free space is the second recorder's
    QCOMPARE(Texts(), std::vector<std::string>{"Total write size are too large."});
    QString state;
    InDriveMedium(
        [&](gui::CDriveMediumDlg* d) { state = res::Control<QLabel>(d, res::IDC_MEDIUM_STATE)->text(); });
    QCOMPARE(state, QString("RW"));

    Choose(res::IDC_CD_DRIVE, 0);
    AddFiles({"a.wav"});
    Choose(res::IDC_CD_DRIVE, 1);
    m_backend->ClearCalls();
    Click(res::IDC_BURN); // on the second recorder: its rewritable disc with data is refused
    QCOMPARE(Texts().back(),
             std::string("The disc cannot hold any more data.\nPlease erase disc data first."));
    QVERIFY(m_backend->WasCalled("IDiscMaster::SetActiveDiscRecorder(1)"));
    QCOMPARE(m_backend->RecordCount(), 0);
}

// --- The burn -------------------------------------------------------------------------------------

void CdWriterTest::burnStagesTheListAndGreysCancelOnceRecording() {
    using E = TestProgressEvent;
    m_backend->SetBurnEvents({{E::PreparingBurn, 3},
                              {E::TrackProgress, 1, 2},
                              {E::BlockProgress, 5, 10},
                              {E::QueryCancel},
                              {E::ClosingDisc, 1}});
    CdWav("a.wav", 2352 * 301, 5);
    CdWav("b.wav", 2352 * 2 + 7, 6);
    Open();
    AddFiles({"a.wav", "b.wav"});
    Gate& recording = NewGate();
    Gate& unadvise = NewGate();
    m_backend->SetCallHook([&](const std::string& call) {
        if (call.rfind("IDiscMaster::RecordDisc", 0) == 0)
            recording.Wait();
        if (call == "IDiscMaster::ProgressUnadvise")
            unadvise.Wait();
    });
    // The progress dialog while the disc is recorded, and after the recorder's last event.
    QStringList seen;
    const auto look = [&](QWidget* w) {
        seen << res::Control<QLabel>(w, res::IDC_PROGRESS_TEXT)->text()
             << QString::number(res::Control<QProgressBar>(w, res::IDC_PROGRESS_BAR)->value());
    };
    WhenModal([&](QWidget* w) { return dynamic_cast<gui::CProgressDlg*>(w) && recording.Waiting(); },
              [&](QWidget* w) {
                  auto* cancel = res::Control<QPushButton>(w, res::IDC_CANCEL);
                  seen << res::Control<QLabel>(w, res::IDC_STATUS_TEXT)->text()
                       << (cancel->isEnabled() ? "cancel" : "no cancel");
                  QTest::mouseClick(cancel, Qt::LeftButton); // greyed: the burn goes on
                  WhenModal(
                      [&](QWidget* d) { return dynamic_cast<gui::CProgressDlg*>(d) && unadvise.Waiting(); },
                      [&](QWidget* d) {
                          look(d);
                          unadvise.Open();
                      });
                  recording.Open();
              });
    Click(res::IDC_BURN);
    QCOMPARE(seen, (QStringList{"Please do not boot other applications while burning.", "no cancel",
                                "Closing disc..", "5"}));
    QCOMPARE(int(Page()->LastResult().outcome), int(cdwriter::BurnOutcome::Burned));
    QVERIFY(Texts().empty());
    const auto recorded = m_backend->RecordedTracks();
    QCOMPARE(recorded.size(), size_t(2));
    auto second = testsupport::Pcm(2352 * 2 + 7, 6);
    second.resize(2352 * 300, 0); // padded to 4 seconds
    QVERIFY(recorded[0].data == testsupport::Pcm(2352 * 301, 5));
    QVERIFY(recorded[1].data == second);
    QCOMPARE(Order(), QString("ab")); // the list stays for another disc
    QVERIFY(CanBurnAndRemove());
}

void CdWriterTest::cancelDuringStagingRecordsNothingAndSaysNothing() {
    CdWav("a.wav", 2352 * 400);
    CdWav("b.wav", 2352 * 400);
    Open();
    AddFiles({"a.wav", "b.wav"});
    Gate& staging = NewGate();
    int blocks = 0;
    m_backend->SetCallHook([&](const std::string& call) {
        if (call.rfind("IRedbookDiscMaster::AddAudioTrackBlocks", 0) == 0 && ++blocks == 410)
            staging.Wait(); // the tenth block of the second track
    });
    WhenModal([&](QWidget* w) { return dynamic_cast<gui::CProgressDlg*>(w) && staging.Waiting(); },
              [&](QWidget* w) {
                  QTest::mouseClick(res::Control<QPushButton>(w, res::IDC_CANCEL), Qt::LeftButton);
                  staging.Open();
              });
    Click(res::IDC_BURN);
    QCOMPARE(int(Page()->LastResult().outcome), int(cdwriter::BurnOutcome::Cancelled));
    QVERIFY(Texts().empty());
    QCOMPARE(m_backend->RecordCount(), 0);
    const auto staged = m_backend->StagedTracks();
    QCOMPARE(staged.size(), size_t(2));
    QCOMPARE(staged[1].data.size(), size_t(10 * 2352)); // stopped at the next block, closed short
    QVERIFY(staged[1].closed);
}

void CdWriterTest::whatGoesWrongBeforeOrDuringTheBurnIsToldAndNothingIsLost() {
    CdWav("a.wav", 2352 * 400);
    CdWav("b.wav", 2352 * 400);
    Open();
    AddFiles({"a.wav", "b.wav"});
    const auto bWav = testsupport::ReadBytes(P("pc/b.wav"));
    const auto medium = [](long type, long flags, uint32_t freeBlocks) {
        return [=](CTestDiscBackend& b) {
            TestRecorder r;
            r.mediaType = type;
            r.mediaFlags = flags;
            r.freeBlocks = freeBlocks;
            b.SetRecorders({r});
        };
    };
    const std::pair<std::function<void(CTestDiscBackend&)>, std::string> cases[] = {
        {medium(0, 0, 0), "Please set blank disc."},
        {medium(cdwriter::MEDIA_CDDA_CDROM, 0, 10), "The disc cannot hold any more data."},
        {medium(cdwriter::MEDIA_CDDA_CDROM, cdwriter::MEDIA_RW, 360000),
         "The disc cannot hold any more data.\nPlease erase disc data first."},
        {[](CTestDiscBackend& b) { b.SetRecorders({}); }, "The device is not present or has been removed."},
        {[this](CTestDiscBackend& b) {
             b.SetRecorders({TestRecorder{}});
             platform::DeleteFile(P("pc/b.wav"));
         },
         "File open error."},
        {[&](CTestDiscBackend&) {
             testsupport::WriteBytes(P("pc/b.wav"), std::vector<uint8_t>(bWav.begin(), bWav.begin() + 5000));
         },
         "File read error."},
    };
    for (const auto& [change, message] : cases) {
        NewBox();
        change(*m_backend);
        Click(res::IDC_BURN);
        QCOMPARE(Texts(), std::vector<std::string>{message});
        QCOMPARE(m_backend->RecordCount(), 0);
        QCOMPARE(Order(), QString("ab"));
        QVERIFY(CanBurnAndRemove());
    }
}

void CdWriterTest::aBurnToTheDiscImageReadsBackWithCdInfoAndBchunk() {
    // The program's own recorder service: the machine's recorders, then the disc image.
    gui::SetAppDiscBackend(nullptr);
    const testsupport::CliRun demo = testsupport::RunCli("make-demo-card " + Quote(Card()));
    QVERIFY2(demo.status == 0, demo.err.c_str());
    const std::string mixes = card::MixFolderPath(Card(), "Mixdown");
    Open();
    QTest::mouseClick(Ctl<QRadioButton>(res::IDC_LOCATION_ZT), Qt::LeftButton);
    Choose(res::IDC_DRIVE, Ctl<QComboBox>(res::IDC_DRIVE)->findText(QString::fromStdString(Card())));
    Choose(res::IDC_SONG, Ctl<QComboBox>(res::IDC_SONG)->findText("Mixdown"));
    QCOMPARE(Ctl<QComboBox>(res::IDC_CD_DRIVE)->itemText(Ctl<QComboBox>(res::IDC_CD_DRIVE)->count() - 1),
             QString("Pelmora, Disc Image, 1.00"));
    Choose(res::IDC_CD_DRIVE, -1);
    AddFiles({"mix01.wav", "mix02.wav"});
    QCOMPARE(Column(res::IDC_TRACK_LIST, 2), (QStringList{"0m5s", "0m7s"}));

    // Burn asks where the image goes, proposing the PC folder and the first track's name.
    const std::string out = P("out"), cue = P("out/Demo disc.cue"), bin = P("out/Demo disc.bin");
    QVERIFY(platform::CreateDirectory(out));
    QString proposed;
    ImageGoesTo(cue, &proposed);
    Click(res::IDC_BURN);
    QCOMPARE(proposed, QString::fromStdString(P("pc/mix01.cue")));
    QVERIFY2(Texts().empty(), Texts().empty() ? "" : Texts()[0].c_str());
    QCOMPARE(int(Page()->LastResult().outcome), int(cdwriter::BurnOutcome::Burned));
    const std::vector<uint8_t> audio[] = {
        Bytes(testsupport::CardAudio(platform::JoinPath(mixes, "mix01.wav"))),
        Bytes(testsupport::CardAudio(platform::JoinPath(mixes, "mix02.wav")))};
    QCOMPARE(audio[0].size() + audio[1].size(), size_t((375 + 525) * 2352)); // 5 s and 7 s

    if (!testsupport::HaveTool("cd-info"))
        QSKIP("cd-info is not installed (apt-get install libcdio-utils): the image was not read back");
    std::string text;
    const int status = testsupport::RunCommand(
        "cd-info --no-device-info --no-cddb --cue-file " + Quote(cue) + " 2>&1", &text);
    QVERIFY2(status == 0, text.c_str());
    // Track 1 at sector 0, track 2 after 5 s of audio and 2 s of silence, the lead-out 7 s after that.
    std::vector<long> starts;
    const std::regex line(R"(^\s*(\d+): (\d\d):(\d\d):(\d\d)\s+(\d+) (audio|leadout))");
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (std::regex_search(l, m, line))
            starts.push_back(std::stol(m[5]));
    }
    QVERIFY2(starts == (std::vector<long>{0, 525, 1050}), text.c_str());

    if (!testsupport::HaveTool("bchunk"))
        QSKIP("bchunk is not installed (apt-get install bchunk): the image was not split");
    const std::string split = P("split");
    QVERIFY(platform::CreateDirectory(split));
    QCOMPARE(testsupport::RunCommand("cd " + Quote(split) + " && bchunk -w " + Quote(bin) + " " + Quote(cue) +
                                     " part >/dev/null 2>&1"),
             0);
    for (size_t i = 0; i < 2; ++i) {
        const auto wav =
            testsupport::ReadBytes(platform::JoinPath(split, platform::Format("part%02zu.wav", i + 1)));
        QVERIFY(wav.size() >= 44 + audio[i].size());
        QVERIFY2(std::equal(audio[i].begin(), audio[i].end(), wav.begin() + 44), "samples differ");
        QVERIFY(std::all_of(wav.begin() + 44 + static_cast<long>(audio[i].size()), wav.end(),
                            [](uint8_t b) { return b == 0; }));
    }
}

void CdWriterTest::aDiscImageOnAReadOnlyOrFullFileSystemLeavesNothing() {
    const std::string readOnly = P("ro"), full = P("full");
    if (!Mount(readOnly, "ro,size=1m"))
        QSKIP("mounting a small file system needs root: the read-only and the full image folder were not "
              "tried");
    m_mounts.push_back(readOnly);
    QVERIFY(Mount(full, "size=1m"));
    m_mounts.push_back(full);
    gui::SetAppDiscBackend(nullptr);
    CdWav("a.wav", 2352 * 600); // 1.4 MB of audio: more than the full one holds
    Open();
    Choose(res::IDC_CD_DRIVE, -1);
    AddFiles({"a.wav"});
    for (const std::string& folder : {readOnly, full}) {
        NewBox();
        ImageGoesTo(platform::JoinPath(folder, "disc.cue"));
        Click(res::IDC_BURN);
        QCOMPARE(Texts(), std::vector<std::string>{"An error occurred while writing the image file."});
        QVERIFY2(platform::FindFiles(folder, "*").empty(), folder.c_str());
    }
    NewBox();
    ImageGoesTo({}); // the question cancelled: no burn
    Click(res::IDC_BURN);
    QVERIFY(Texts().empty());
    QVERIFY(platform::FindFiles(Pc(), "*.cue").empty());
}

// --- Drive/Medium ---------------------------------------------------------------------------------

void CdWriterTest::driveMediumShowsTheChosenRecorderAndErasesItsDisc() {
    TestRecorder other{"OTHER", "WRITER", "2"}, rw;
    rw.mediaFlags = cdwriter::MEDIA_RW;
    m_backend->SetRecorders({other, rw});
    Open();
    Choose(res::IDC_CD_DRIVE, 1);
    // The four fields and Erase: at opening, after Eject and Erase (not refreshed), after Refresh.
    QStringList seen;
    bool cancelGreyed = false, busyCursorLeft = true;
    InDriveMedium([&](gui::CDriveMediumDlg* dialog) {
        auto* erase = res::Control<QPushButton>(dialog, res::IDC_ERASE);
        const auto look = [&] {
            QStringList fields;
            for (int id :
                 {res::IDC_DRIVE_NAME, res::IDC_DRIVE_TYPE, res::IDC_MEDIUM_TYPE, res::IDC_MEDIUM_STATE})
                fields << res::Control<QLabel>(dialog, id)->text();
            seen << fields.join("|") + (erase->isEnabled() ? " erase" : "");
        };
        look();
        QTest::mouseClick(res::Control<QPushButton>(dialog, res::IDC_EJECT), Qt::LeftButton);
        WhenModalIs<gui::CProgressDlg>([&](gui::CProgressDlg* progress) {
            cancelGreyed = !res::Control<QPushButton>(progress, res::IDC_CANCEL)->isEnabled();
        });
        QTest::mouseClick(erase, Qt::LeftButton);
        look();
        QTest::mouseClick(res::Control<QPushButton>(dialog, res::IDC_REFRESH), Qt::LeftButton);
        look();
        busyCursorLeft = QApplication::overrideCursor() != nullptr; // only while the recorder is asked
    });
    QVERIFY(!busyCursorLeft);
    const QString shown = "TESTVEND, CD-RW RECORDER, 1.00|CDRW Recorder|CDDA_CDROM|";
    QCOMPARE(seen,
             (QStringList{shown + "RW erase", shown + "RW erase", shown + " "})); // now blank and writable
    QVERIFY(m_backend->WasCalled("IDiscRecorder::Eject(1)"));
    QVERIFY(m_backend->WasCalled("IDiscRecorder::Erase(1,0)")); // a quick erase of the chosen disc
    QVERIFY(!m_backend->WasCalled("IDiscRecorder::Erase(0,0)"));
    QVERIFY(cancelGreyed);
    QCOMPARE(Texts(), std::vector<std::string>{"Complete erase."});
}

void CdWriterTest::driveMediumFailuresAndTheDiscImage() {
    Open();
    // A failed medium query: the fields read before it show, the next keeps its template text.
    m_backend->FailCall("IDiscRecorder::QueryMediaType", cdwriter::IMAPI_E_MEDIUM_NOTPRESENT);
    m_backend->FailCall("IDiscRecorder::Eject", cdwriter::E_FAIL);
    QStringList seen;
    InDriveMedium([&](gui::CDriveMediumDlg* dialog) {
        QTest::mouseClick(res::Control<QPushButton>(dialog, res::IDC_EJECT), Qt::LeftButton);
        for (int id : {res::IDC_DRIVE_TYPE, res::IDC_MEDIUM_TYPE})
            seen << res::Control<QLabel>(dialog, id)->text();
    });
    QCOMPARE(seen, (QStringList{"CDRW Recorder", "MediumType"}));
    QCOMPARE(Texts(), (std::vector<std::string>{"There is no disc in the device.",
                                                "An unknown error occurred (0x80004005)."}));
    // The recorder unplugged since the page listed it: said so, and the dialog stays.
    NewBox();
    m_backend->SetRecorders({});
    InDriveMedium([&](gui::CDriveMediumDlg* dialog) {
        seen << res::Control<QLabel>(dialog, res::IDC_DRIVE_NAME)->text();
    });
    QCOMPARE(seen.back(), QString("DriveName"));
    QCOMPARE(Texts(), std::vector<std::string>{"The device is not present or has been removed."});
    // A service that cannot start: told, and the dialog closes by itself.
    NewBox();
    m_backend->FailCall("CreateDiscMaster", cdwriter::IMAPI_E_GENERIC);
    DriveMediumCommand()->trigger();
    QCOMPARE(Texts(), std::vector<std::string>{"A generic error occurred."});
    QVERIFY(!QApplication::overrideCursor());
    m_main.reset();

    // The disc image: a CD-R recorder with a blank CD whose Eject does nothing and succeeds.
    gui::SetAppDiscBackend(nullptr);
    NewBox();
    Open();
    Choose(res::IDC_CD_DRIVE, -1);
    seen.clear();
    InDriveMedium([&](gui::CDriveMediumDlg* dialog) {
        for (int id : {res::IDC_DRIVE_NAME, res::IDC_DRIVE_TYPE, res::IDC_MEDIUM_TYPE})
            seen << res::Control<QLabel>(dialog, id)->text();
        seen << (res::Control<QPushButton>(dialog, res::IDC_ERASE)->isEnabled() ? "erase" : "no erase");
        QTest::mouseClick(res::Control<QPushButton>(dialog, res::IDC_EJECT), Qt::LeftButton);
    });
    QCOMPARE(seen, (QStringList{"Pelmora, Disc Image, 1.00", "CDR Recorder", "CDDA_CDROM", "no erase"}));
    QVERIFY(Texts().empty());
}

QTEST_MAIN(CdWriterTest)
#include "CdWriterTest.moc"
