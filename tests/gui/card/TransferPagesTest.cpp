// The "ZT to PC" and "PC to ZT" pages in the real main window, with card folders listed as recorder
// drives and a scripted message box: what each page offers, the jobs they run, and what a user can do
// to them halfway.

#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "app/DirectoryTree.h"
#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "card/JobLock.h"
#include "card/PcToZtDlg.h"
#include "card/RecorderDrives.h"
#include "card/ZtToPcDlg.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

using adl::EditType;
using adl::SampleRateCode;
using platform::MbResult;
using testsupport::Ev;

namespace {

// A message box that answers OK, and holds the job at one question until the test lets it go, so
// that the test can act while the job waits at a known step.
class GatedMessageBox : public platform::IMessageBox {
public:
    explicit GatedMessageBox(std::string gate = {}) : m_gate(std::move(gate)) {}
    MbResult Show(const std::string& text, platform::MbButtons) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
        if (!m_gate.empty() && text.find(m_gate) != std::string::npos) {
            m_waiting = true;
            m_released.wait(lock, [this] { return !m_waiting; });
        }
        return MbResult::Ok;
    }
    bool Waiting() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_waiting;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waiting = false;
        m_released.notify_all();
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }

private:
    std::string m_gate;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_waiting = false;
    std::vector<std::string> m_texts;
};

// Every value the progress dialog's bar takes, with the bar's maximum then, from the moment it opens.
std::shared_ptr<std::vector<std::pair<int, int>>> FollowBar() {
    auto shown = std::make_shared<std::vector<std::pair<int, int>>>();
    WhenModal([](QWidget* w) { return dynamic_cast<gui::CProgressDlg*>(w) != nullptr; },
              [shown](QWidget* w) {
                  auto* bar = res::Control<QProgressBar>(w, res::IDC_PROGRESS_BAR);
                  QObject::connect(bar, &QProgressBar::valueChanged, bar,
                                   [bar, shown](int value) { shown->emplace_back(value, bar->maximum()); });
              });
    return shown;
}

// Clicks the progress dialog's Cancel once `ready` says so, then runs `then`.
void CancelWhen(std::function<bool()> ready, std::function<void()> then = {}) {
    WhenModal([ready](QWidget* w) { return dynamic_cast<gui::CProgressDlg*>(w) && ready(); },
              [then](QWidget* w) {
                  QTest::mouseClick(res::Control<QPushButton>(w, res::IDC_CANCEL), Qt::LeftButton);
                  if (then)
                      then();
              });
}

std::vector<std::string> CardEvents(const std::string& card, const std::string& song) {
    adl::CAdlFile adl;
    std::vector<std::string> events;
    if (!adl.Open(card::AdlPath(card, song), true))
        return {"(cannot open)"};
    for (int i = 0; i < adl.GetEventCount(); ++i)
        events.push_back(adl.GetEventSourceName(i) + " on " + std::to_string(adl.GetEventDestChannel(i)));
    return events;
}

} // namespace

class TransferPagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // "ZT to PC"
    void noDriveOffersNothing();
    void aSongShowsItsRateDepthAndTracks();
    void trackBoxesEnableImport();
    void importWritesTheTickedTracks();
    void overwriteIsAskedAndAnOldFileStaysUntilTheNewIsWhole();
    void abModeNeedsALocatePointAAheadOfB();
    void cancelInTheSecondTrackKeepsTheFirst();
    void aDamagedSongOffersNoTrackAndThePageGoesOn();

    // "PC to ZT"
    void theFileListShowsEveryWaveFileAndTicksItsTracks();
    void theFolderIsListedAfreshOnEachVisit();
    void filesThatDoNotSuitTheSongAreRefused();
    void refusedFilesAreConvertedWhenTheUserAgrees();
    void newSongIsProposedFromTheList();
    void typedNamesFollowTheRules();
    void exportIntoAnExistingSongTakesTheNextFreeName();
    void exportIntoANewSongWritesItWhole();
    void cancelInTheSecondFileKeepsTheFirst();

    // Both pages
    void aPulledCardOrAGonePcFolderIsToldAndNothingIsLost();
    void aSongInUseByAnotherProgramIsToldAndNothingIsLost();
    void songNamesAtTheLimitAndInUtf8();
    void enterAndEscNeverClosePages();

private:
    std::string P(const std::string& name) const {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string Card() const { return P("card"); }
    std::string Pc() const { return P("pc"); }
    // A 48 kHz song: track 1 from zt50001.wav (4000 samples), track 2 from zt50002.wav at 500
    // (3000 samples); locate points A and B as given.
    void MakeSong(const std::string& song, SampleRateCode rate = SampleRateCode::Hz48000, uint32_t a = 100,
                  uint32_t b = 1100, uint32_t samples = 4000);
    void Open();
    gui::CZtToPcDlg* ZtPage() const { return static_cast<gui::CZtToPcDlg*>(m_main->Page(0)); }
    gui::CPcToZtDlg* PcPage() const { return static_cast<gui::CPcToZtDlg*>(m_main->Page(1)); }
    template <class T> T* Ctl(int page, int id) const { return res::Control<T>(m_main->Page(page), id); }
    QCheckBox* Box(int page, int track) const { return Ctl<QCheckBox>(page, res::IDC_TRACK[track - 1]); }
    std::vector<int> Ticked(int page) const;
    std::vector<int> Enabled(int page) const;
    void ShowTab(int tab) { m_main->TabControl()->setCurrentIndex(tab); }
    void SelectFolder(const std::string& path) { QVERIFY(m_main->Tree()->SelectPath(path, true)); }
    void ChooseSong(int page, const QString& song);
    void Click(int page, int id) { QTest::mouseClick(Ctl<QPushButton>(page, id), Qt::LeftButton); }
    void TypeSongName(const QString& text);
    void NewBox() {
        m_box = std::make_unique<testsupport::ScriptedMessageBox>();
        gui::SetAppMessageBox(m_box.get());
    }
    void PcTrack(int n, uint32_t frames, testsupport::WavFormat format = {}) {
        QVERIFY(testsupport::WritePcWav(platform::JoinPath(Pc(), platform::Format("tr%02d.wav", n)), n,
                                        frames, format));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<gui::CMainDlg> m_main;
    std::unique_ptr<testsupport::ScriptedMessageBox> m_box;
};

void TransferPagesTest::initTestCase() {
    QVERIFY(UseScratchHome(m_dir));
}

void TransferPagesTest::init() {
    testsupport::RemoveTree(Card());
    testsupport::RemoveTree(Pc());
    testsupport::RemoveTree(P("card2"));
    QVERIFY(platform::CreateDirectory(Card()));
    QVERIFY(platform::CreateDirectory(Pc()));
    card::SetExtraCardFolders({Card()});
    NewBox();
}

void TransferPagesTest::cleanup() {
    m_main.reset();
    gui::SetAppMessageBox(nullptr);
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

void TransferPagesTest::MakeSong(const std::string& song, SampleRateCode rate, uint32_t a, uint32_t b,
                                 uint32_t samples) {
    const std::string folder = card::SongFolderPath(Card(), song);
    QVERIFY(platform::CreateDirectory(folder));
    const uint32_t hz = adl::SampleRateOfCode(rate);
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50001.wav", 1, samples, {1, 16, hz}));
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50002.wav", 2, 3000, {1, 16, hz}));
    const std::vector<Ev> events = {{1, EditType::Cut, "zt50001.wav", 1, 0, 0, samples},
                                    {2, EditType::Cut, "zt50002.wav", 2, 0, 500, 3500}};
    QVERIFY(testsupport::WriteText(card::AdlPath(Card(), song), testsupport::AdlText(rate, events, a, b)));
}

void TransferPagesTest::Open() {
    m_main = std::make_unique<gui::CMainDlg>();
    m_main->Tree()->SetDriveSource([this] { return std::vector<std::string>{m_dir.path().toStdString()}; });
    m_main->OnInitDialog();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

std::vector<int> TransferPagesTest::Ticked(int page) const {
    std::vector<int> ticked;
    for (int t = 1; t <= 16; ++t)
        if (Box(page, t)->isChecked())
            ticked.push_back(t);
    return ticked;
}

std::vector<int> TransferPagesTest::Enabled(int page) const {
    std::vector<int> enabled;
    for (int t = 1; t <= 16; ++t)
        if (Box(page, t)->isEnabled())
            enabled.push_back(t);
    return enabled;
}

void TransferPagesTest::ChooseSong(int page, const QString& song) {
    // As the user does it: the list opens, the entry is picked with the keyboard, the list closes.
    QComboBox* combo = Ctl<QComboBox>(page, res::IDC_SONG);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const int row = combo->findText(song, Qt::MatchExactly);
    QVERIFY2(row >= 0, qPrintable(song));
    view->setCurrentIndex(combo->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
    QTest::qWait(10); // the close-up step runs once the chosen entry is selected
}

void TransferPagesTest::TypeSongName(const QString& text) {
    QLineEdit* edit = Ctl<QComboBox>(1, res::IDC_SONG)->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) // key by key, letters beyond ASCII too
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// --- "ZT to PC" ---------------------------------------------------------------------------------

void TransferPagesTest::noDriveOffersNothing() {
    card::SetExtraCardFolders({});
    if (!card::FindRecorderDrives().empty())
        QSKIP("this machine has a removable drive mounted");
    Open();
    QCOMPARE(Ctl<QComboBox>(0, res::IDC_DRIVE)->count(), 0);
    QCOMPARE(Ctl<QComboBox>(0, res::IDC_SONG)->count(), 0);
    QVERIFY(Enabled(0).empty());
    QVERIFY(!Ctl<QPushButton>(0, res::IDC_IMPORT)->isEnabled());
}

void TransferPagesTest::aSongShowsItsRateDepthAndTracks() {
    MakeSong("B song");
    MakeSong("a song", SampleRateCode::Hz44100);
    QVERIFY(platform::CreateDirectory(P("card2")));
    QVERIFY(platform::CreateDirectory(P("card2/Empty")));
    QVERIFY(testsupport::WriteText(card::AdlPath(P("card2"), "Empty"),
                                   testsupport::AdlText(SampleRateCode::Hz22050, {})));
    card::SetExtraCardFolders({Card(), P("card2")});
    Open();
    // The first song, alphabetically, is chosen at start.
    QCOMPARE(Ctl<QComboBox>(0, res::IDC_SONG)->currentText(), QString("a song"));
    QCOMPARE(Ctl<QLabel>(0, res::IDC_SAMPLING_FREQ)->text(), QString("44100"));
    QCOMPARE(Ctl<QLabel>(0, res::IDC_BIT)->text(), QString("16"));
    QCOMPARE(Ticked(0), (std::vector<int>{1, 2}));
    QCOMPARE(Enabled(0), (std::vector<int>{1, 2}));
    QVERIFY(Ctl<QPushButton>(0, res::IDC_IMPORT)->isEnabled());

    // Another drive: its first song is chosen; a song without audio files shows "?" and no track.
    QComboBox* drives = Ctl<QComboBox>(0, res::IDC_DRIVE);
    drives->setCurrentIndex(1);
    emit drives->activated(1);
    QCOMPARE(Ctl<QComboBox>(0, res::IDC_SONG)->currentText(), QString("Empty"));
    QCOMPARE(Ctl<QLabel>(0, res::IDC_SAMPLING_FREQ)->text(), QString("22050"));
    QCOMPARE(Ctl<QLabel>(0, res::IDC_BIT)->text(), QString("?"));
    QVERIFY(Enabled(0).empty());
    QVERIFY(!Ctl<QPushButton>(0, res::IDC_IMPORT)->isEnabled());
    QCOMPARE(m_main->m_nDriveIndex, 1);
    QCOMPARE(m_main->m_nSongIndex, 0);
}

void TransferPagesTest::trackBoxesEnableImport() {
    MakeSong("Song01");
    Open();
    QPushButton* import = Ctl<QPushButton>(0, res::IDC_IMPORT);
    QTest::mouseClick(Box(0, 1), Qt::LeftButton);
    QVERIFY(import->isEnabled());
    QTest::mouseClick(Box(0, 2), Qt::LeftButton);
    QVERIFY(!import->isEnabled());
    QTest::mouseClick(Box(0, 2), Qt::LeftButton);
    QVERIFY(import->isEnabled());
}

void TransferPagesTest::importWritesTheTickedTracks() {
    MakeSong("Song01");
    Open();
    SelectFolder(Pc());
    const auto bar = FollowBar();
    Click(0, res::IDC_IMPORT);
    QVERIFY(m_box->Texts().empty());
    QCOMPARE(ZtPage()->LastResult().written, (std::vector<int>{1, 2}));
    QVERIFY(!bar->empty());
    QCOMPARE(bar->back().first, bar->back().second); // the last track's last total reached the bar
    QCOMPARE(testsupport::CardAudio(card::TrackFilePath(Pc(), 1)), testsupport::Marks(1, 4000));
    std::vector<int16_t> second(500, 0);
    const std::vector<int16_t> marks = testsupport::Marks(2, 3000);
    second.insert(second.end(), marks.begin(), marks.end());
    QCOMPARE(testsupport::CardAudio(card::TrackFilePath(Pc(), 2)), second);
}

void TransferPagesTest::overwriteIsAskedAndAnOldFileStaysUntilTheNewIsWhole() {
    MakeSong("Song01");
    const std::vector<uint8_t> old = testsupport::PcWav(9, 10);
    QVERIFY(testsupport::WriteBytes(card::TrackFilePath(Pc(), 1), old));
    QVERIFY(testsupport::WriteBytes(card::TrackFilePath(Pc(), 2), old));
    Open();
    SelectFolder(Pc());
    m_box->QueueAnswer(MbResult::Cancel); // tr01.wav: keep it
    m_box->QueueAnswer(MbResult::Ok);     // tr02.wav: replace it
    Click(0, res::IDC_IMPORT);
    QCOMPARE(m_box->Texts(),
             (std::vector<std::string>{
                 "Overwrite wave file.\nAre you ok?\nfile : " + card::TrackFilePath(Pc(), 1),
                 "Overwrite wave file.\nAre you ok?\nfile : " + card::TrackFilePath(Pc(), 2)}));
    QCOMPARE(testsupport::ReadBytes(card::TrackFilePath(Pc(), 1)), old);
    QCOMPARE(testsupport::CardAudio(card::TrackFilePath(Pc(), 2)).size(), size_t(3500));
    QCOMPARE(platform::FindFiles(Pc(), "*").size(), size_t(2));
}

void TransferPagesTest::abModeNeedsALocatePointAAheadOfB() {
    MakeSong("Song01", SampleRateCode::Hz48000, 700, 700);
    Open();
    SelectFolder(Pc());
    QTest::mouseClick(Ctl<QRadioButton>(0, res::IDC_MODE_AB), Qt::LeftButton);
    Click(0, res::IDC_IMPORT);
    QCOMPARE(m_box->Texts(), std::vector<std::string>{"Invalid locate point !\nLocateA >= LocateB"});
    QVERIFY(platform::FindFiles(Pc(), "*").empty());
}

void TransferPagesTest::cancelInTheSecondTrackKeepsTheFirst() {
    // The job stops at the question for tr02.wav; Cancel is pressed there and the answer is OK, so
    // track 2 starts and meets the cancel in its first block.
    MakeSong("Song01");
    const std::vector<uint8_t> old = testsupport::PcWav(9, 10);
    QVERIFY(testsupport::WriteBytes(card::TrackFilePath(Pc(), 2), old));
    GatedMessageBox box("tr02.wav");
    gui::SetAppMessageBox(&box);
    Open();
    SelectFolder(Pc());
    CancelWhen([&] { return box.Waiting(); }, [&] { box.Release(); });
    Click(0, res::IDC_IMPORT);
    QCOMPARE(int(ZtPage()->LastResult().outcome), int(card::ImportOutcome::Cancelled));
    QCOMPARE(testsupport::CardAudio(card::TrackFilePath(Pc(), 1)), testsupport::Marks(1, 4000));
    QCOMPARE(testsupport::ReadBytes(card::TrackFilePath(Pc(), 2)), old);
    QCOMPARE(platform::FindFiles(Pc(), "*").size(), size_t(2));
}

void TransferPagesTest::aDamagedSongOffersNoTrackAndThePageGoesOn() {
    MakeSong("Good");
    MakeSong("Bad");
    QVERIFY(testsupport::WriteText(card::AdlPath(Card(), "Bad"), "<ADL>\r\n\t<EVENT_LIST>\r\n(Entry) x"));
    Open();
    QCOMPARE(Ctl<QComboBox>(0, res::IDC_SONG)->currentText(), QString("Bad"));
    QVERIFY(Enabled(0).empty());
    QVERIFY(!Ctl<QPushButton>(0, res::IDC_IMPORT)->isEnabled());
    ChooseSong(0, "Good");
    QCOMPARE(Enabled(0), (std::vector<int>{1, 2}));
    SelectFolder(Pc());
    Click(0, res::IDC_IMPORT);
    QCOMPARE(ZtPage()->LastResult().written, (std::vector<int>{1, 2}));
}

// --- "PC to ZT" ---------------------------------------------------------------------------------

void TransferPagesTest::theFileListShowsEveryWaveFileAndTicksItsTracks() {
    MakeSong("Song01");
    for (const char* name : {"tr01.wav", "TR02.wav", "Tr03.wav", "take.wav", "tr10.wav"})
        QVERIFY(testsupport::WritePcWav(platform::JoinPath(Pc(), name), 1, 490));
    QVERIFY(testsupport::WriteText(platform::JoinPath(Pc(), "notes.txt"), "x"));
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    auto* list = Ctl<QTreeWidget>(1, res::IDC_FILE_LIST);
    QStringList names, row;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    QCOMPARE(names, (QStringList{"take.wav", "tr01.wav", "TR02.wav", "Tr03.wav", "tr10.wav"}));
    for (int c = 0; c < list->columnCount(); ++c)
        row << list->headerItem()->text(c) + "=" + list->topLevelItem(1)->text(c);
    QCOMPARE(row, (QStringList{"File name=tr01.wav", "FS=44.10kHz", "BIT=16bit", "CH=1", "SIZE=2KB"}));
    QCOMPARE(Ticked(1), (std::vector<int>{1, 2, 10}));
    QCOMPARE(Enabled(1), (std::vector<int>{1, 2, 10}));
    QVERIFY(Ctl<QPushButton>(1, res::IDC_EXPORT)->isEnabled());

    SelectFolder(P("Desktop")); // no WAV files
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(Enabled(1).empty());
    QVERIFY(!Ctl<QPushButton>(1, res::IDC_EXPORT)->isEnabled());
}

void TransferPagesTest::theFolderIsListedAfreshOnEachVisit() {
    MakeSong("Song01");
    PcTrack(1, 100);
    PcTrack(2, 100);
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    QTest::mouseClick(Box(1, 1), Qt::LeftButton);
    QTest::mouseClick(Box(1, 2), Qt::LeftButton);
    QVERIFY(!Ctl<QPushButton>(1, res::IDC_EXPORT)->isEnabled());
    ShowTab(0);
    ShowTab(1);
    QCOMPARE(Ticked(1), (std::vector<int>{1, 2}));
    QVERIFY(Ctl<QPushButton>(1, res::IDC_EXPORT)->isEnabled());
}

void TransferPagesTest::filesThatDoNotSuitTheSongAreRefused() {
    // After the refusal the user is asked whether to convert; Cancel leaves the refusal as it was.
    MakeSong("Song01"); // 48 kHz
    Open();
    ShowTab(1);
    const std::string song = "; the song holds 16-bit, 48 kHz, mono. Convert it while exporting";
    const std::string unchanged = "? The file on the PC is not changed.";
    const struct {
        testsupport::WavFormat format;
        std::string message;
        std::string question;
    } cases[] = {
        {{1, 16, 44100},
         "Sampling Frequency not matched!",
         "tr01.wav is 16-bit, 44.1 kHz, mono" + song + unchanged},
        {{2, 16, 48000},
         "Wave file not acceptable!",
         "tr01.wav is 16-bit, 48 kHz, stereo" + song + " (left to TR1, right to TR2)" + unchanged},
        {{1, 8, 48000}, "Bit digit not matched!", "tr01.wav is 8-bit, 48 kHz, mono" + song + unchanged},
        {{1, 24, 48000}, "Bit digit not matched!", "tr01.wav is 24-bit, 48 kHz, mono" + song + unchanged},
    };
    for (const auto& c : cases) {
        PcTrack(1, 100, c.format);
        SelectFolder(P("Desktop"));
        SelectFolder(Pc());
        NewBox();
        m_box->QueueAnswer(MbResult::Ok);
        m_box->QueueAnswer(MbResult::Cancel);
        Click(1, res::IDC_EXPORT);
        QCOMPARE(m_box->Texts(), (std::vector<std::string>{"Overwrite this song?\nsong name : Song01",
                                                           c.message, c.question}));
        QCOMPARE(m_box->Messages()[2].buttons, platform::MbButtons::OkCancel);
        QCOMPARE(CardEvents(Card(), "Song01").size(), size_t(2));
    }
    // Into a new song the files are checked before the question, so a refusal leaves no empty song.
    PcTrack(2, 100, {1, 16, 48000});
    SelectFolder(P("Desktop"));
    SelectFolder(Pc());
    ChooseSong(1, "---:(New Song)");
    NewBox();
    m_box->QueueAnswer(MbResult::Cancel);
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(), (std::vector<std::string>{"Bit digit not matched!", cases[3].question}));
    QCOMPARE(card::ListSongs(Card()), std::vector<std::string>{"Song01"});
}

void TransferPagesTest::refusedFilesAreConvertedWhenTheUserAgrees() {
    // A 24-bit 44.1 kHz stereo file into a 48 kHz song: split while the next track is free, mixed once
    // that track has a file of its own. The file on the PC stays as it was.
    MakeSong("Song01");
    PcTrack(2, 4410, {2, 24, 44100});
    const std::vector<uint8_t> source = testsupport::ReadBytes(card::TrackFilePath(Pc(), 2));
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(),
             (std::vector<std::string>{
                 "Overwrite this song?\nsong name : Song01", "Sampling Frequency not matched!",
                 "tr02.wav is 24-bit, 44.1 kHz, stereo; the song holds 16-bit, 48 kHz, mono. "
                 "Convert it while exporting (left to TR2, right to TR3)? The file on the PC "
                 "is not changed."}));
    QCOMPARE(PcPage()->LastResult().written, (std::vector<int>{2, 3}));
    QCOMPARE(CardEvents(Card(), "Song01"),
             (std::vector<std::string>{"zt50001.wav on 1", "zt50002.wav on 2", "zt50003.wav on 2",
                                       "zt50004.wav on 3"}));
    for (const char* name : {"zt50003.wav", "zt50004.wav"})
        QCOMPARE(testsupport::CardAudio(card::AudioFilePath(Card(), "Song01", name)).size(), size_t(4800));
    QCOMPARE(testsupport::ReadBytes(card::TrackFilePath(Pc(), 2)), source);

    PcTrack(3, 480, {1, 16, 48000});
    SelectFolder(P("Desktop"));
    SelectFolder(Pc());
    NewBox();
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts().at(2),
             std::string("tr02.wav is 24-bit, 44.1 kHz, stereo; the song holds 16-bit, 48 kHz, "
                         "mono. Convert it while exporting (left and right mixed on TR2)? The "
                         "file on the PC is not changed."));
    QCOMPARE(PcPage()->LastResult().written, (std::vector<int>{2, 3}));
    QCOMPARE(CardEvents(Card(), "Song01").back(), std::string("zt50006.wav on 3"));
    QCOMPARE(testsupport::CardAudio(card::AudioFilePath(Card(), "Song01", "zt50005.wav")).size(),
             size_t(4800));
    QCOMPARE(testsupport::CardAudio(card::AudioFilePath(Card(), "Song01", "zt50006.wav")),
             testsupport::Marks(3, 480));
}

void TransferPagesTest::newSongIsProposedFromTheList() {
    for (const char* song : {"Song01", "Song02", "Song03"})
        MakeSong(song);
    Open();
    ShowTab(1);
    QComboBox* songs = Ctl<QComboBox>(1, res::IDC_SONG);
    songs->showPopup();
    QTRY_VERIFY(songs->view()->isVisible());
    QCOMPARE(songs->itemText(songs->count() - 1), QString("---:(New Song)"));
    songs->hidePopup();
    QTRY_COMPARE(songs->count(), 3); // closed without a choice: the entry goes again
    ChooseSong(1, "---:(New Song)");
    QCOMPARE(songs->currentText(), QString("Song04"));
    QCOMPARE(songs->count(), 4);
    QCOMPARE(songs->itemData(3).toInt(), int(card::SongEntryKind::Pending));

    // 99 songs: nothing new is offered, and a typed new name is refused.
    for (int i = 4; i <= 99; ++i)
        QVERIFY(platform::CreateDirectory(card::SongFolderPath(Card(), platform::Format("Song%02d", i))));
    PcTrack(1, 100, {1, 16, 48000});
    ShowTab(0);
    emit Ctl<QComboBox>(1, res::IDC_DRIVE)->activated(0); // the drive's songs read again
    ShowTab(1);
    SelectFolder(Pc());
    songs->showPopup();
    QTRY_VERIFY(songs->view()->isVisible());
    QCOMPARE(songs->findText("---:(New Song)"), -1);
    songs->hidePopup();
    TypeSongName("Another");
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(), std::vector<std::string>{"Can't create song more !"});
    QCOMPARE(songs->currentIndex(), 0);
    QCOMPARE(m_main->m_nSongIndex, 0);
    QVERIFY(!platform::PathExists(card::SongFolderPath(Card(), "Another")));
}

void TransferPagesTest::typedNamesFollowTheRules() {
    MakeSong("Song01");
    Open();
    ShowTab(1);
    QComboBox* songs = Ctl<QComboBox>(1, res::IDC_SONG);
    TypeSongName("ABCDEFGHIJKLMNOPQ");
    QCOMPARE(songs->currentText(), QString("ABCDEFGHIJKLMNOP"));
    QVERIFY(m_box->Texts().empty());
    TypeSongName("My/");
    QCOMPARE(songs->currentText(), QString("My"));
    QCOMPARE(m_box->Texts(), std::vector<std::string>{"Can't use this character.\ncharacter : \"/\""});
}

void TransferPagesTest::exportIntoAnExistingSongTakesTheNextFreeName() {
    MakeSong("Song01");
    PcTrack(3, 1000, {1, 16, 48000});
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(), std::vector<std::string>{"Overwrite this song?\nsong name : Song01"});
    QCOMPARE(PcPage()->LastResult().files, std::vector<std::string>{"zt50003.wav"});
    QCOMPARE(CardEvents(Card(), "Song01"),
             (std::vector<std::string>{"zt50001.wav on 1", "zt50002.wav on 2", "zt50003.wav on 3"}));
    QCOMPARE(testsupport::CardAudio(card::AudioFilePath(Card(), "Song01", "zt50003.wav")),
             testsupport::Marks(3, 1000));
}

void TransferPagesTest::exportIntoANewSongWritesItWhole() {
    MakeSong("Song01");
    for (int t : {1, 2, 5})
        PcTrack(t, 200 * t);
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    ChooseSong(1, "---:(New Song)");
    QCOMPARE(Ctl<QComboBox>(1, res::IDC_SONG)->currentText(), QString("Song02"));
    const auto bar = FollowBar();
    Click(1, res::IDC_EXPORT);
    QVERIFY(!bar->empty());
    QCOMPARE(bar->back().first, bar->back().second); // the last file's last position reached the bar
    QCOMPARE(m_box->Texts(), std::vector<std::string>{"Create new song. Are you ok ?\nsong name : Song02"});
    QCOMPARE(CardEvents(Card(), "Song02"),
             (std::vector<std::string>{"zt50001.wav on 1", "zt50002.wav on 2", "zt50003.wav on 5"}));
    adl::CAdlFile song;
    QVERIFY(song.Open(card::AdlPath(Card(), "Song02"), true));
    QCOMPARE(int(song.GetSampleRateCode()), int(SampleRateCode::Hz44100));
    QCOMPARE(song.GetEventDestOut(2).GetSamples(), 1000u);
    QVERIFY(platform::PathExists(card::MixFolderPath(Card(), "Song02")));
    // The new song stays in the list as one this run made, and is the shared song.
    QComboBox* songs = Ctl<QComboBox>(1, res::IDC_SONG);
    QCOMPARE(songs->currentText(), QString("Song02"));
    QCOMPARE(songs->itemData(songs->currentIndex()).toInt(), int(card::SongEntryKind::Created));
    QCOMPARE(m_main->m_nSongIndex, 1);
}

void TransferPagesTest::cancelInTheSecondFileKeepsTheFirst() {
    MakeSong("Song01");
    PcTrack(1, 1000, {1, 16, 48000});
    // Ten minutes: the copy runs on while the UI thread sees its track begin and presses Cancel.
    PcTrack(2, 48000 * 600, {1, 16, 48000});
    PcTrack(3, 1000, {1, 16, 48000});
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    CancelWhen([] {
        auto* status = res::Control<QLabel>(QApplication::activeModalWidget(), res::IDC_STATUS_TEXT);
        return status && status->text() == "PC to ZT   Track2";
    });
    Click(1, res::IDC_EXPORT);
    QCOMPARE(int(PcPage()->LastResult().outcome), int(card::ExportOutcome::Cancelled));
    QCOMPARE(CardEvents(Card(), "Song01"),
             (std::vector<std::string>{"zt50001.wav on 1", "zt50002.wav on 2", "zt50003.wav on 1"}));
    QCOMPARE(platform::FindFiles(card::SongFolderPath(Card(), "Song01"), "*.wav").size(), size_t(3));
}

// --- Both pages ---------------------------------------------------------------------------------

void TransferPagesTest::aPulledCardOrAGonePcFolderIsToldAndNothingIsLost() {
    MakeSong("Song01");
    PcTrack(1, 1000, {1, 16, 48000});
    Open();
    SelectFolder(Pc());
    testsupport::RemoveTree(Card()); // pulled after the song was chosen
    const std::string pulled = card::SongMissingText(Card(), "Song01");
    Click(0, res::IDC_IMPORT);
    QCOMPARE(m_box->Texts(), std::vector<std::string>{pulled});
    QVERIFY(!platform::PathExists(card::TrackFilePath(Pc(), 2)));

    QVERIFY(platform::CreateDirectory(Card()));
    MakeSong("Song01");
    m_main.reset();
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    testsupport::RemoveTree(Card());
    NewBox();
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(), std::vector<std::string>{pulled});
    QVERIFY(!platform::PathExists(Card()));
    QVERIFY(platform::PathExists(card::TrackFilePath(Pc(), 1)));

    // The PC folder removed while it is selected: the import names the file it could not write.
    QVERIFY(platform::CreateDirectory(Card()));
    MakeSong("Song01");
    m_main.reset();
    Open();
    SelectFolder(Pc());
    testsupport::RemoveTree(Pc());
    NewBox();
    Click(0, res::IDC_IMPORT);
    QCOMPARE(m_box->Texts(),
             std::vector<std::string>{"Wave file write error !\nfile : " + card::TrackFilePath(Pc(), 1)});
    QCOMPARE(CardEvents(Card(), "Song01").size(), size_t(2));
}

void TransferPagesTest::aSongInUseByAnotherProgramIsToldAndNothingIsLost() {
    MakeSong("Song01");
    PcTrack(3, 1000, {1, 16, 48000});
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    card::CJobLock other;
    QCOMPARE(int(other.LockSong(Card(), "Song01", card::CJobLock::Use::Write)),
             int(card::CJobLock::Result::Locked));
    Click(1, res::IDC_EXPORT);
    QCOMPARE(m_box->Texts(), (std::vector<std::string>{"Overwrite this song?\nsong name : Song01",
                                                       card::SongInUseText("Song01")}));
    QCOMPARE(CardEvents(Card(), "Song01").size(), size_t(2));
    QVERIFY(!platform::PathExists(card::AudioFilePath(Card(), "Song01", "zt50003.wav")));
}

void TransferPagesTest::songNamesAtTheLimitAndInUtf8() {
    MakeSong("Song01");
    PcTrack(1, 100);
    Open();
    ShowTab(1);
    SelectFolder(Pc());
    QComboBox* songs = Ctl<QComboBox>(1, res::IDC_SONG);
    // Seven two-byte letters and "ab" are 16 bytes; one more letter would split nothing but is cut.
    TypeSongName(QString::fromUtf8("ÄÖÜäöüßabc"));
    QCOMPARE(songs->currentText(), QString::fromUtf8("ÄÖÜäöüßab"));
    Click(1, res::IDC_EXPORT);
    const std::string name = "ÄÖÜäöüßab";
    QCOMPARE(CardEvents(Card(), name), std::vector<std::string>{"zt50001.wav on 1"});
    ShowTab(0);
    ChooseSong(0, QString::fromStdString(name));
    QCOMPARE(Enabled(0), std::vector<int>{1});
}

void TransferPagesTest::enterAndEscNeverClosePages() {
    MakeSong("Song01");
    Open();
    for (int tab : {0, 1}) {
        ShowTab(tab);
        QWidget* focus = Ctl<QComboBox>(tab, res::IDC_DRIVE);
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Escape);
        QTest::keyClick(focus, Qt::Key_Return);
        QVERIFY(m_main->isVisible());
        QVERIFY(m_main->Page(tab)->isVisible());
    }
    QVERIFY(m_box->Texts().empty());
}

QTEST_MAIN(TransferPagesTest)
#include "TransferPagesTest.moc"
