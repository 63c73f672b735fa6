// The song view opened from the real main window on a card folder listed as a recorder drive: its
// lanes and stretches through the hit test, the tooltip texts, zoom, the peak cache, and the tracks it
// ticks on the "ZT to PC" page.

#include "card/SongView.h"
#include "Fakes.h"
#include "ModalDriver.h"
#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "app/MainDlg.h"
#include "app/QtMessageBox.h"
#include "card/RecorderDrives.h"
#include "card/ZtToPcDlg.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <memory>

using adl::EditType;
using testsupport::Ev;

namespace {

// What the test saw inside the view's modal loop.
struct Seen {
    QString title;
    std::vector<std::pair<int, int>> hits; // track and entry number (0: none) at each probed point
    QStringList tips;
    double widest = 0, zoomedIn = 0, wheelZoomed = 0;
    bool roundTrip = true, wheelMoves = false;
};

} // namespace

class SongViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void lanesStretchesAndTooltipsAreThoseImportWrites();
    void tickOnPageTicksExactlyTheChosenTracks();
    void peaksAreReadOnceAndNeverKeptOnTheCard();

private:
    std::string Card() const { return m_dir.filePath(QStringLiteral("card")).toStdString(); }
    std::string CacheEntries() const;
    void Open();
    // Opens the view with the Tool menu command and runs `act` on it inside its modal loop.
    void InView(const std::function<void(gui::CSongView*)>& act);
    QCheckBox* Box(int track) const {
        return res::Control<QCheckBox>(m_main->Page(0), res::IDC_TRACK[track - 1]);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<gui::CMainDlg> m_main;
    testsupport::ScriptedMessageBox m_box;
};

void SongViewTest::initTestCase() {
    QVERIFY(UseScratchHome(m_dir));
    gui::SetAppMessageBox(&m_box);
}

void SongViewTest::init() {
    // Track 1: file 1 on [0, 2000). Track 2: file 2 from 100 on [500, 3000), entry 3 (file 1) on top
    // at [1000, 1500), a Silence entry at [2000, 2500). Track 3: only a Silence entry.
    testsupport::RemoveTree(Card());
    testsupport::RemoveTree(m_dir.filePath(QStringLiteral("cache")).toStdString());
    const std::string folder = card::SongFolderPath(Card(), "Song");
    QVERIFY(platform::CreateDirectory(Card()) && platform::CreateDirectory(folder));
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50001.wav", 1, 4000));
    QVERIFY(testsupport::WriteCardWav(folder + "/zt50002.wav", 2, 4000));
    const std::vector<Ev> events = {{1, EditType::Cut, "zt50001.wav", 1, 0, 0, 2000},
                                    {2, EditType::Cut, "zt50002.wav", 2, 100, 500, 3000},
                                    {3, EditType::Cut, "zt50001.wav", 2, 0, 1000, 1500},
                                    {4, EditType::Silence, "", 2, 0, 2000, 2500},
                                    {5, EditType::Silence, "", 3, 0, 0, 800}};
    QVERIFY(testsupport::WriteText(card::AdlPath(Card(), "Song"),
                                   testsupport::AdlText(adl::SampleRateCode::Hz48000, events, 200, 2600)));
    card::SetExtraCardFolders({Card()});
    Open();
}

void SongViewTest::cleanup() {
    m_main.reset();
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

void SongViewTest::Open() {
    m_main = std::make_unique<gui::CMainDlg>();
    m_main->OnInitDialog();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

std::string SongViewTest::CacheEntries() const {
    std::string names;
    for (const auto& e :
         platform::FindFiles(m_dir.filePath(QStringLiteral("cache/pelmora")).toStdString(), "*"))
        names += e.name.substr(e.name.size() - 6) + " ";
    return names;
}

void SongViewTest::InView(const std::function<void(gui::CSongView*)>& act) {
    QAction* command = res::FindCommand(m_main.get(), res::ID_TOOL_SONGVIEW);
    QVERIFY(command && command->isEnabled());
    QCOMPARE(command->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    bool ran = false;
    WhenModalIs<gui::CSongView>([&](gui::CSongView* view) {
        QTRY_VERIFY(view->Area()->viewport()->width() > 400); // laid out: the whole song in view
        act(view);
        ran = true;
    });
    command->trigger();
    QVERIFY(ran);
}

void SongViewTest::lanesStretchesAndTooltipsAreThoseImportWrites() {
    Seen seen;
    InView([&seen](gui::CSongView* view) {
        gui::CTimelineArea* area = view->Area();
        seen.title = view->windowTitle();
        const std::pair<int, uint64_t> probes[] = {{1, 10},   {1, 2500}, {2, 200}, {2, 700},
                                                   {2, 1200}, {2, 2200}, {3, 400}, {16, 100}};
        for (const auto& [track, at] : probes) {
            const gui::CTimelineArea::Hit hit = area->HitTest(area->PointAt(track, at));
            const auto& stretches = view->Song().tracks[static_cast<size_t>(track - 1)].stretches;
            seen.hits.emplace_back(hit.track,
                                   hit.stretch < 0 ? 0 : stretches[static_cast<size_t>(hit.stretch)].number);
            seen.tips << area->ToolTipAt(area->PointAt(track, at));
        }
        seen.widest = area->SamplesPerPixel();
        QTest::keyClick(area, Qt::Key_Plus);
        QTest::keyClick(area, Qt::Key_Plus);
        seen.zoomedIn = area->SamplesPerPixel();
        const gui::CTimelineArea::Hit hit = area->HitTest(area->PointAt(2, 1100));
        seen.roundTrip = hit.track == 2 && hit.stretch >= 0 &&
                         view->Song().tracks[1].stretches[static_cast<size_t>(hit.stretch)].number == 3;
        auto wheel = [area](Qt::KeyboardModifiers keys) {
            const QPointF at(300, 100);
            QWheelEvent event(at, area->viewport()->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, keys,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(area->viewport(), &event);
        };
        const int along = area->horizontalScrollBar()->value();
        wheel(Qt::NoModifier);
        seen.wheelMoves = area->horizontalScrollBar()->value() > along;
        wheel(Qt::ControlModifier);
        seen.wheelZoomed = area->SamplesPerPixel();
        view->reject();
    });
    QCOMPARE(seen.title, QStringLiteral("Song view - Song"));
    const std::vector<std::pair<int, int>> hits = {{1, 1}, {1, 0}, {2, 0}, {2, 2},
                                                   {2, 3}, {2, 4}, {3, 0}, {16, 0}};
    QCOMPARE(seen.hits, hits);
    QCOMPARE(seen.tips.at(0),
             QStringLiteral("TR1  Entry 1: zt50001.wav\n00.00.00.00/0000 - 00.00.00.01/0080"));
    QCOMPARE(seen.tips.at(4),
             QStringLiteral("TR2  Entry 3: zt50001.wav\n00.00.00.00/1000 - 00.00.00.00/1500"));
    QCOMPARE(seen.tips.at(5), QStringLiteral("TR2  Entry 4: (silence)\n00.00.00.01/0080 - 00.00.00.01/0580"));
    QVERIFY(seen.tips.at(1).isEmpty() && seen.tips.at(2).isEmpty());
    QVERIFY(seen.zoomedIn < seen.widest / 2);
    QVERIFY(seen.wheelMoves);
    QVERIFY(seen.wheelZoomed > seen.zoomedIn);
    QVERIFY(seen.roundTrip);
}

void SongViewTest::tickOnPageTicksExactlyTheChosenTracks() {
    QVERIFY(Box(1)->isChecked() && Box(2)->isChecked());
    auto clickLabel = [](gui::CTimelineArea* area, int track) {
        QTest::mouseClick(area->viewport(), Qt::LeftButton, {}, QPoint(10, area->PointAt(track, 0).y()));
    };
    // Closing changes nothing.
    InView([&](gui::CSongView* view) {
        clickLabel(view->Area(), 1);
        view->findChild<QPushButton*>(QStringLiteral("close"))->click();
    });
    QVERIFY(Box(1)->isChecked() && Box(2)->isChecked());

    gui::TrackChoice chosen{};
    InView([&](gui::CSongView* view) {
        clickLabel(view->Area(), 1); // unchosen
        clickLabel(view->Area(), 3); // a Silence entry alone: not in use, cannot be chosen
        chosen = view->ChosenTracks();
        QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("tickOnPage")), Qt::LeftButton);
    });
    QVERIFY(!chosen[0] && chosen[1] && !chosen[2]);
    QVERIFY(!Box(1)->isChecked() && Box(2)->isChecked() && !Box(3)->isChecked());
    QVERIFY(res::Control<QPushButton>(m_main->Page(0), res::IDC_IMPORT)->isEnabled());
}

void SongViewTest::peaksAreReadOnceAndNeverKeptOnTheCard() {
    const auto before = testsupport::ReadTree(Card());
    int withWave = 0;
    InView([](gui::CSongView* view) { view->reject(); });
    QCOMPARE(CacheEntries(), std::string(".peaks .peaks "));
    InView([&withWave](gui::CSongView* view) {
        const QImage frame = view->Area()->viewport()->grab().toImage();
        // The waveform's darker lines lie inside the coloured stretches.
        for (int y = 0; y < frame.height(); ++y)
            withWave += qGray(frame.pixel(frame.width() / 3, y)) < 90 ? 1 : 0;
        view->reject();
    });
    QVERIFY(withWave > 0);
    QCOMPARE(CacheEntries(), std::string(".peaks .peaks "));
    QVERIFY(testsupport::ReadTree(Card()) == before);
}

QTEST_MAIN(SongViewTest)
#include "SongViewTest.moc"
