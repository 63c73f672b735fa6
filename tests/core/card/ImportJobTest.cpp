#include "card/ImportJob.h"

#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

using namespace testsupport;
using adl::EditType;
using adl::SampleRateCode;
using card::ImportMode;
using card::ImportOutcome;
using platform::MbResult;
using testsupport::TempDir;

namespace {

// A card with one 48 kHz song: tracks 1, 2 and 3 hold audio from three files; A = 100, B = 1100.
class ImportTest : public ::testing::Test {
public:
    void SetUp() override { Reset(); }
    void Reset() {
        platform::CreateDirectory(m_card.Path());
        platform::CreateDirectory(m_card / "song");
        platform::CreateDirectory(m_pc / "out");
        for (int id = 1; id <= 3; ++id) {
            const std::string path = m_card / ("song/zt5000" + std::to_string(id) + ".wav");
            platform::DeleteFile(path);
            ASSERT_TRUE(WriteCardWav(path, id, 4000));
        }
        for (int t = 1; t <= 3; ++t)
            platform::DeleteFile(Track(t));
        WriteSong(SampleRateCode::Hz48000);
    }
    void WriteSong(SampleRateCode rate, std::vector<Ev> extra = {}, uint32_t a = 100, uint32_t b = 1100) {
        std::vector<Ev> events = {{1, EditType::Cut, "zt50001.wav", 1, 0, 0, 4000},
                                  {2, EditType::Cut, "zt50002.wav", 2, 0, 500, 3000},
                                  {3, EditType::Cut, "zt50003.wav", 3, 10, 0, 2000}};
        events.insert(events.end(), extra.begin(), extra.end());
        ASSERT_TRUE(
            testsupport::WriteText(card::AdlPath(m_card.Path(), "song"), AdlText(rate, events, a, b)));
    }
    card::ImportParams Params(std::initializer_list<int> tracks, ImportMode mode = ImportMode::All) {
        card::ImportParams p;
        p.card = m_card.Path();
        p.song = "song";
        p.pcFolder = m_pc / "out";
        p.mode = mode;
        for (int t : tracks)
            p.tracks[t - 1] = true;
        return p;
    }
    std::string Track(int n) const { return card::TrackFilePath(m_pc / "out", n); }
    // A file of the user's that only a complete rendering may replace.
    void UsersFile(int n) {
        ASSERT_TRUE(testsupport::WriteText(Track(n), "the user's take " + std::to_string(n)));
    }
    bool IsUsersFile(int n) const {
        return testsupport::ReadText(Track(n)) == "the user's take " + std::to_string(n);
    }
    // Anything the import leaves in the PC folder besides track files.
    std::vector<std::string> Leftovers() const {
        std::vector<platform::FindEntry> entries;
        platform::ListFolder(m_pc / "out", &entries);
        std::vector<std::string> names;
        for (const auto& e : entries)
            if (card::TrackOfPcFileName(e.name) == 0)
                names.push_back(e.name);
        return names;
    }
    // Texts shown with an OK button only (the questions left out).
    std::vector<std::string> Told() const {
        std::vector<std::string> texts;
        for (const auto& m : m_box->Messages())
            if (m.buttons == platform::MbButtons::Ok)
                texts.push_back(m.text);
        return texts;
    }
    card::ImportResult Run(const card::ImportParams& p, platform::IMessageTarget* page = nullptr,
                           platform::CancelFlag* cancel = nullptr) {
        return card::RunImport(p, m_box.get(), &m_lines, &m_bar, cancel, page);
    }

    TempDir m_card, m_pc;
    std::unique_ptr<ScriptedMessageBox> m_box = std::make_unique<ScriptedMessageBox>();
    RecordingTextLine m_lines;
    RecordingBar m_bar;
    RecordingTarget m_page;
};

} // namespace

TEST_F(ImportTest, WritesTheTickedTracks) {
    const auto r = Run(Params({1, 2, 4}));
    EXPECT_EQ(ImportOutcome::Finished, r.outcome);
    EXPECT_EQ((std::vector<int>{1, 2}), r.written);
    EXPECT_EQ(std::vector<int>{4}, r.skipped) << "track 4 has nothing to render";
    EXPECT_TRUE(m_box->Texts().empty());
    EXPECT_EQ((std::vector<std::string>{"ZT to PC   Track1", "ZT to PC   Track2", "ZT to PC   Track4"}),
              m_lines.texts);
    EXPECT_EQ(6000, m_bar.High());
    EXPECT_EQ(6000, m_bar.Pos()) << "the job moves the bar without a page";
    auto t2 = CardAudio(Track(2));
    ASSERT_EQ(3000u, t2.size());
    EXPECT_EQ(0, t2[499]);
    EXPECT_EQ(Mark(2, 0), t2[500]);
    EXPECT_EQ(Mark(2, 2499), t2[2999]);
    EXPECT_FALSE(platform::PathExists(Track(3)));
    EXPECT_FALSE(platform::PathExists(Track(4)));

    if (testsupport::HaveTool("soxi")) {
        std::string out;
        ASSERT_EQ(0, testsupport::RunCommand("soxi -r -c -b '" + Track(2) + "' 2>/dev/null; soxi -r '" +
                                                 Track(2) + "' && soxi -c '" + Track(2) + "' && soxi -b '" +
                                                 Track(2) + "' && soxi -s '" + Track(2) + "'",
                                             &out));
        EXPECT_NE(std::string::npos, out.find("48000\n1\n16\n3000\n")) << out;
    }
}

TEST_F(ImportTest, AbModeAndItsLocatePoints) {
    auto r = Run(Params({1, 3}, ImportMode::AB));
    EXPECT_EQ((std::vector<int>{1, 3}), r.written);
    auto t3 = CardAudio(Track(3));
    ASSERT_EQ(1000u, t3.size());
    EXPECT_EQ(Mark(3, 110), t3[0]);

    for (auto [a, b] : {std::pair<uint32_t, uint32_t>{500, 500}, {900, 100}}) {
        WriteSong(SampleRateCode::Hz48000, {}, a, b);
        platform::DeleteFile(Track(1));
        m_box = std::make_unique<ScriptedMessageBox>();
        r = Run(Params({1}, ImportMode::AB));
        EXPECT_EQ(ImportOutcome::Refused, r.outcome);
        EXPECT_EQ(std::vector<std::string>{"Invalid locate point !\nLocateA >= LocateB"}, m_box->Texts());
        EXPECT_FALSE(platform::PathExists(Track(1)));
    }
}

TEST_F(ImportTest, OverwriteIsAsked) {
    ASSERT_TRUE(testsupport::WriteText(Track(1), "keep me"));
    m_box->QueueAnswer(MbResult::Cancel);
    auto r = Run(Params({1, 2}));
    ASSERT_EQ(1u, m_box->Messages().size());
    EXPECT_EQ("Overwrite wave file.\nAre you ok?\nfile : " + Track(1), m_box->Messages()[0].text);
    EXPECT_EQ(platform::MbButtons::OkCancel, m_box->Messages()[0].buttons);
    EXPECT_EQ("keep me", testsupport::ReadText(Track(1)));
    EXPECT_EQ(std::vector<int>{2}, r.written);
    EXPECT_EQ(std::vector<int>{1}, r.skipped);

    m_box->QueueAnswer(MbResult::Ok);
    m_box->QueueAnswer(MbResult::Cancel);
    r = Run(Params({1, 2}));
    EXPECT_EQ(std::vector<int>{1}, r.written);
    EXPECT_EQ(4000u, CardAudio(Track(1)).size()) << "replaced by the new rendering";
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ImportTest, TheUsersFileStaysUntilItsReplacementIsComplete) {
    // Each case answers OK to replacing tr02.wav and then stops the import inside track 2.
    struct Case {
        const char* name;
        std::function<void(ImportTest&, platform::CancelFlag&)> arm; // acts once track 2 has started
        ImportOutcome outcome;
        std::string told; // {pc} and {card} stand for the folders
    };
    const Case cases[] = {
        {"cancelled in its second block",
         [](ImportTest& t, platform::CancelFlag& cancel) {
             auto blocks = std::make_shared<int>(2);
             t.m_page.onMessage = [&t, &cancel, blocks](RecordingTarget::Message& m) {
                 if (m.id == wave::WM_TRANSFER_TOTAL && t.m_lines.Last() == "ZT to PC   Track2" &&
                     --*blocks == 0)
                     cancel = 1;
             };
         },
         ImportOutcome::Cancelled, ""},
        {"the PC disk fills up",
         [](ImportTest&, platform::CancelFlag&) {
             platform::faults::Arm({.failWriteAt = 1, .writesStayFailed = true, .error = ENOSPC});
         },
         ImportOutcome::Failed, "Wave file write error !\nfile : {pc}/out/tr02.wav"},
        {"the PC folder turns read-only",
         [](ImportTest&, platform::CancelFlag&) { platform::faults::Arm({.failOpenAt = 2, .error = EROFS}); },
         ImportOutcome::Failed, "Wave file write error !\nfile : {pc}/out/tr02.wav"},
        {"the card is pulled out",
         [](ImportTest& t, platform::CancelFlag&) { testsupport::RemoveTree(t.m_card.Path()); },
         ImportOutcome::Failed, "The card cannot be found.\ncard : {card}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        UsersFile(2);
        m_box = std::make_unique<ScriptedMessageBox>();
        m_lines.onText = {};
        m_page.onMessage = {};
        platform::CancelFlag cancel{0};
        m_lines.onText = [&](const std::string& text) {
            if (text == "ZT to PC   Track2")
                c.arm(*this, cancel);
        };
        const auto r = Run(Params({1, 2, 3}), &m_page, &cancel);
        platform::faults::Disarm();
        m_lines.onText = {};
        m_page.onMessage = {};
        EXPECT_EQ(c.outcome, r.outcome);
        EXPECT_EQ(std::vector<int>{1}, r.written);
        std::string told = c.told;
        for (auto [key, value] :
             {std::pair<std::string, std::string>{"{pc}", m_pc.Path()}, {"{card}", m_card.Path()}})
            if (auto at = told.find(key); at != std::string::npos)
                told.replace(at, key.size(), value);
        EXPECT_EQ(told.empty() ? std::vector<std::string>{} : std::vector<std::string>{told}, Told());
        EXPECT_EQ(4000u, CardAudio(Track(1)).size());
        EXPECT_TRUE(IsUsersFile(2)) << "byte for byte";
        EXPECT_FALSE(platform::PathExists(Track(3)));
        EXPECT_TRUE(Leftovers().empty()) << Leftovers().front();
    }
}

TEST_F(ImportTest, CancelDuringTheSecondTrack) {
    platform::CancelFlag cancel{0};
    // The page moves the bar from the totals and cancels in the second block of track 2.
    RecordingTarget page;
    int blocks = 2;
    page.onMessage = [&](RecordingTarget::Message& m) {
        if (m.id != wave::WM_TRANSFER_TOTAL)
            return;
        m_bar.SetPos(static_cast<int64_t>(m.wParam));
        if (m_lines.Last() == "ZT to PC   Track2" && --blocks == 0)
            cancel = 1;
    };
    const auto r = Run(Params({1, 2, 3}), &page, &cancel);
    EXPECT_EQ(ImportOutcome::Cancelled, r.outcome);
    EXPECT_EQ(std::vector<int>{1}, r.written);
    EXPECT_TRUE(platform::PathExists(Track(1)));
    EXPECT_FALSE(platform::PathExists(Track(2)));
    EXPECT_FALSE(platform::PathExists(Track(3)));
    EXPECT_EQ(2u, m_lines.texts.size());
    EXPECT_EQ(1000 + 2048, m_bar.Pos()) << "500 samples of silence, then one block of audio";
}

TEST_F(ImportTest, FoldersOfKilledImportsAreRemovedAndOthersLeft) {
    // A killed import leaves its rendering folder; the next import into the folder removes it, but
    // never one of a process that still runs (this one, init) or a name that is not ours.
    const std::string ended = ".pelmora-import-2147483646-1", running = ".pelmora-import-1-1",
                      mine = platform::NewOwnName("import"), users = "pelmora-import-2147483646-1";
    for (const std::string& name : {ended, running, mine, users}) {
        ASSERT_TRUE(platform::CreateDirectory(m_pc / ("out/" + name)));
        ASSERT_TRUE(testsupport::WriteText(m_pc / ("out/" + name + "/tr01.wav"), "half"));
    }
    EXPECT_EQ(ImportOutcome::Finished, Run(Params({1})).outcome);
    EXPECT_FALSE(platform::PathExists(m_pc / ("out/" + ended)));
    for (const std::string& name : {running, mine, users})
        EXPECT_TRUE(platform::PathExists(m_pc / ("out/" + name + "/tr01.wav"))) << name;
}

TEST_F(ImportTest, RunsAsAProgressJobOnAWorker) {
    card::CImportJob job(Params({1, 2, 3}), m_box.get());
    platform::CProgressJob& asJob = job;
    platform::CancelFlag cancel{0};
    std::thread worker([&] { asJob.RunJob(nullptr, &m_lines, &m_bar, &cancel); });
    worker.join();
    EXPECT_EQ(ImportOutcome::Finished, job.Result().outcome);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), job.Result().written);

    platform::CancelFlag cancelled{1};
    card::CImportJob early(Params({1}), m_box.get());
    platform::DeleteFile(Track(1));
    early.RunJob(nullptr, nullptr, nullptr, &cancelled);
    EXPECT_EQ(ImportOutcome::Cancelled, early.Result().outcome);
    EXPECT_FALSE(platform::PathExists(Track(1)));
}

TEST_F(ImportTest, RefusalsAndFailuresAreShownOnce) {
    struct Case {
        const char* name;
        std::function<void(ImportTest&, card::ImportParams&)> setup;
        ImportOutcome outcome;
        std::string text; // empty: nothing shown
        std::vector<int> written;
    };
    const std::vector<Case> cases = {
        {"no PC folder",
         [](ImportTest&, card::ImportParams& p) { p.pcFolder.clear(); },
         ImportOutcome::Refused,
         "Please select PC folder.",
         {}},
        {"ADL gone",
         [](ImportTest& t, card::ImportParams&) {
             platform::DeleteFile(card::AdlPath(t.m_card.Path(), "song"));
         },
         ImportOutcome::NoSong,
         "",
         {}},
        {"card pulled out since the song was chosen",
         [](ImportTest& t, card::ImportParams&) { testsupport::RemoveTree(t.m_card.Path()); },
         ImportOutcome::Failed,
         "The card cannot be found.\ncard : {card}",
         {}},
        {"song folder gone",
         [](ImportTest& t, card::ImportParams&) { testsupport::RemoveTree(t.m_card / "song"); },
         ImportOutcome::Failed,
         "The song cannot be found on the card.\nfolder : {card}/song",
         {}},
        {"ADL unreadable",
         [](ImportTest& t, card::ImportParams&) {
             testsupport::WriteText(card::AdlPath(t.m_card.Path(), "song"), "<ADL>\r\n");
         },
         ImportOutcome::Failed,
         "Can not open ADL file!",
         {}},
        {"unknown rate",
         [](ImportTest& t, card::ImportParams&) { t.WriteSong(SampleRateCode::None); },
         ImportOutcome::Refused,
         "Sampling Frequency not supported!",
         {}},
        {"missing source",
         [](ImportTest& t, card::ImportParams&) { platform::DeleteFile(t.m_card / "song/zt50002.wav"); },
         ImportOutcome::Failed,
         "Can not read wave file!\nfile : {card}/song/zt50002.wav",
         {1}},
        {"source outside the song",
         [](ImportTest& t, card::ImportParams&) {
             t.WriteSong(SampleRateCode::Hz48000, {{9, EditType::Cut, "../song/zt50001.wav", 2, 0, 0, 10}});
         },
         ImportOutcome::Failed,
         "Can not read wave file!\nfile : {card}/song/../song/zt50001.wav",
         {1}},
        {"24-bit source",
         [](ImportTest& t, card::ImportParams&) {
             platform::DeleteFile(t.m_card / "song/zt50002.wav");
             WriteCardWav(t.m_card / "song/zt50002.wav", 2, 4000, {1, 24, 48000});
         },
         ImportOutcome::Finished,
         "Bit digit not matched!",
         {1, 3}},
        {"PC folder gone",
         [](ImportTest& t, card::ImportParams& p) { p.pcFolder = t.m_pc / "gone"; },
         ImportOutcome::Failed,
         "Wave file write error !\nfile : {pc}/gone/tr01.wav",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        m_box = std::make_unique<ScriptedMessageBox>();
        auto p = Params({1, 2, 3});
        c.setup(*this, p);
        const auto r = Run(p);
        EXPECT_EQ(c.outcome, r.outcome);
        EXPECT_EQ(c.written, r.written);
        std::string text = c.text;
        if (auto at = text.find("{card}"); at != std::string::npos)
            text.replace(at, 6, m_card.Path());
        if (auto at = text.find("{pc}"); at != std::string::npos)
            text.replace(at, 4, m_pc.Path());
        EXPECT_EQ(text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text}, m_box->Texts());
        for (int t = 1; t <= 3; ++t) {
            const bool wanted = std::find(c.written.begin(), c.written.end(), t) != c.written.end();
            if (wanted) {
                EXPECT_TRUE(platform::PathExists(Track(t))) << t;
            }
        }
        EXPECT_FALSE(platform::PathExists(Track(3)) && c.outcome == ImportOutcome::Failed);
    }
}

TEST_F(ImportTest, InjectedFaultsEndTheImportCleanly) {
    // Every write, read and open of the import fails in turn: one message at most, never a crash, and
    // a track's file is complete or, where the user had one (tr02.wav), still the user's.
    const auto prepare = [&] {
        platform::DeleteFile(Track(1));
        UsersFile(2);
        m_box = std::make_unique<ScriptedMessageBox>();
    };
    int64_t totals[3] = {0, 0, 0};
    {
        prepare();
        platform::faults::ScopedPlan counting({});
        ASSERT_EQ(ImportOutcome::Finished, Run(Params({1, 2})).outcome);
        totals[0] = platform::faults::WriteCount();
        totals[1] = platform::faults::ReadCount();
        totals[2] = platform::faults::OpenCount();
    }
    ASSERT_GT(totals[0], 40);
    int writeFailures = 0, readFailures = 0;
    for (int kind = 0; kind < 3; ++kind) {
        for (int64_t n = 1; n <= totals[kind]; ++n) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " call " << n);
            prepare();
            platform::faults::Plan plan;
            plan.error = kind == 2 ? EROFS : EIO;
            (kind == 0 ? plan.failWriteAt : kind == 1 ? plan.failReadAt : plan.failOpenAt) = n;
            card::ImportResult r;
            {
                platform::faults::ScopedPlan scoped(plan);
                r = Run(Params({1, 2}));
            }
            EXPECT_TRUE(Leftovers().empty());
            const auto written = [&](int t) {
                return std::find(r.written.begin(), r.written.end(), t) != r.written.end();
            };
            if (written(1)) {
                EXPECT_EQ(4000u, CardAudio(Track(1)).size());
            }
            if (written(2)) {
                EXPECT_EQ(3000u, CardAudio(Track(2)).size());
            } else {
                EXPECT_TRUE(IsUsersFile(2));
            }
            const auto texts = Told();
            ASSERT_LE(texts.size(), 1u);
            if (r.outcome == ImportOutcome::Finished) {
                EXPECT_TRUE(texts.empty());
                continue;
            }
            ASSERT_EQ(1u, texts.size());
            const std::string& text = texts[0];
            if (text.rfind("Wave file write error !\nfile : ", 0) == 0) {
                ++writeFailures;
                const int failedTrack = r.written.empty() ? 1 : 2;
                EXPECT_EQ("Wave file write error !\nfile : " + Track(failedTrack), text);
            } else if (text.rfind("Can not read wave file!\nfile : ", 0) == 0) {
                ++readFailures;
            } else {
                EXPECT_EQ("Can not open ADL file!", text);
            }
        }
    }
    EXPECT_GT(writeFailures, 40);
    EXPECT_GT(readFailures, 10);
}
