// Faults the sweeps of the card, export and disc tests do not reach: a write failing inside one
// particular track of an import, a card that fills up during an import, a cancel arriving with a
// track's last block, a source that vanishes or shrinks while an export or a disc image runs, and
// failed reads and opens while a disc image is staged.

#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "card/ExportJob.h"
#include "card/ImportJob.h"
#include "card/NewSong.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/ImageDiscBackend.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <unistd.h>

using namespace testsupport;

namespace {

// --- Import ----------------------------------------------------------------------------------------

// A 48 kHz song whose tracks 1..3 each play 6000 samples of their own file.
class ImportFaults : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CreateDirectory(m_card / "song");
        for (int id = 1; id <= 3; ++id)
            ASSERT_TRUE(WriteCardWav(m_card / ("song/zt5000" + std::to_string(id) + ".wav"), id, 6000));
        ASSERT_TRUE(testsupport::WriteText(
            card::AdlPath(m_card.Path(), "song"),
            AdlText(adl::SampleRateCode::Hz48000, {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 6000},
                                                   {2, adl::EditType::Cut, "zt50002.wav", 2, 0, 0, 6000},
                                                   {3, adl::EditType::Cut, "zt50003.wav", 3, 0, 0, 6000}})));
    }
    card::ImportParams Params(std::initializer_list<int> tracks) const {
        card::ImportParams p;
        p.card = m_card.Path();
        p.song = "song";
        p.pcFolder = m_pc.Path();
        for (int t : tracks)
            p.tracks[t - 1] = true;
        return p;
    }
    std::string Track(int n) const { return card::TrackFilePath(m_pc.Path(), n); }
    void Clean() {
        for (int t = 1; t <= 3; ++t)
            platform::DeleteFile(Track(t));
        m_box = std::make_unique<ScriptedMessageBox>();
    }
    // Writes the import makes for the given tracks alone.
    int64_t WritesFor(std::initializer_list<int> tracks) {
        Clean();
        platform::faults::ScopedPlan counting({});
        EXPECT_EQ(card::RunImport(Params(tracks), m_box.get(), nullptr, nullptr, nullptr).outcome,
                  card::ImportOutcome::Finished);
        return platform::faults::WriteCount();
    }

    TempDir m_card, m_pc;
    std::unique_ptr<ScriptedMessageBox> m_box = std::make_unique<ScriptedMessageBox>();
};

TEST_F(ImportFaults, AWriteFailingInsideTheSecondTrackKeepsItsPartAndStops) {
    const auto complete = (WritesFor({2}), testsupport::ReadBytes(Track(2)).size());
    for (bool cardFull : {false, true}) {
        SCOPED_TRACE(cardFull ? "card full" : "one failed write");
        Clean();
        // The fault is armed once track 2 has written two blocks of audio.
        RecordingTextLine status;
        RecordingTarget page;
        page.ActOn(
            wave::WM_TRANSFER_TOTAL, 2,
            [&] { platform::faults::Arm({.failWriteAt = 1, .writesStayFailed = cardFull, .error = ENOSPC}); },
            [&] { return status.Last() == "ZT to PC   Track2"; });
        const auto r = card::RunImport(Params({1, 2, 3}), m_box.get(), &status, nullptr, nullptr, &page);
        platform::faults::Disarm();
        EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
        EXPECT_EQ(r.written, std::vector<int>{1});
        EXPECT_EQ(m_box->Texts(), std::vector<std::string>{"Wave file write error !\nfile : " + Track(2)});
        EXPECT_EQ(CardAudio(Track(1)).size(), 6000u);
        // The part written stays, as the user was told; it is shorter than the whole track.
        ASSERT_TRUE(platform::IsRegularFile(Track(2)));
        const auto part = testsupport::ReadBytes(Track(2)).size();
        EXPECT_GE(part, wave::kAudioOffset + 2 * 2048);
        EXPECT_LT(part, complete);
        EXPECT_FALSE(platform::PathExists(Track(3))) << "no track after the failure";
        EXPECT_EQ(status.Last(), "ZT to PC   Track2");
    }
}

TEST_F(ImportFaults, ACardFullFromTheFirstWriteLeavesNoHalfMadeHeader) {
    platform::faults::ScopedPlan plan({.failWriteAt = 1, .writesStayFailed = true, .error = ENOSPC});
    const auto r = card::RunImport(Params({1, 2}), m_box.get(), nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
    EXPECT_EQ(m_box->Texts(), std::vector<std::string>{"Wave file write error !\nfile : " + Track(1)});
    EXPECT_FALSE(platform::PathExists(Track(1))) << "a header that could not be written whole is removed";
    EXPECT_FALSE(platform::PathExists(Track(2)));
}

TEST_F(ImportFaults, EveryFailedOpenStopsWithOneMessage) {
    int64_t opens = 0;
    {
        Clean();
        platform::faults::ScopedPlan counting({});
        ASSERT_EQ(card::RunImport(Params({1, 2}), m_box.get(), nullptr, nullptr, nullptr).outcome,
                  card::ImportOutcome::Finished);
        opens = platform::faults::OpenCount();
    }
    ASSERT_GE(opens, 5);
    for (int64_t n = 1; n <= opens; ++n) {
        SCOPED_TRACE(n);
        Clean();
        card::ImportResult r;
        {
            platform::faults::ScopedPlan plan({.failOpenAt = n});
            r = card::RunImport(Params({1, 2}), m_box.get(), nullptr, nullptr, nullptr);
        }
        for (int t : r.written)
            EXPECT_EQ(CardAudio(Track(t)).size(), 6000u);
        if (r.outcome == card::ImportOutcome::Finished) {
            EXPECT_TRUE(m_box->Texts().empty()); // a look at a source's format that failed changes nothing
            EXPECT_EQ(r.written, (std::vector<int>{1, 2}));
            continue;
        }
        EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
        ASSERT_EQ(m_box->Texts().size(), 1u);
        const std::string text = m_box->Texts()[0];
        const int failed = static_cast<int>(r.written.size()) + 1;
        if (text == "Wave file write error !\nfile : " + Track(failed)) {
            EXPECT_FALSE(platform::PathExists(Track(failed))) << "an output never opened is not there";
        } else if (text.rfind("Can not read wave file!\nfile : " + m_card.Path() + "/song/zt5000", 0) == 0) {
            EXPECT_TRUE(platform::PathExists(Track(failed))) << "the part written stays";
        } else {
            EXPECT_EQ(text, "Can not open ADL file!");
        }
        if (failed == 1) {
            EXPECT_FALSE(platform::PathExists(Track(2)));
        }
    }
}

TEST_F(ImportFaults, ACancelWithTheLastBlockOfATrack) {
    // 6000 samples = 12000 bytes: five full blocks and a short sixth. A cancel arriving with the sixth
    // either keeps the complete file (and says so) or removes it; a file reported written is never gone.
    for (int64_t block : {5, 6}) {
        SCOPED_TRACE(block);
        Clean();
        platform::CancelFlag cancel{0};
        RecordingTextLine status;
        RecordingTarget page;
        page.ActOn(
            wave::WM_TRANSFER_TOTAL, block, [&] { cancel = 1; },
            [&] { return status.Last() == "ZT to PC   Track1"; });
        const auto r = card::RunImport(Params({1, 2}), m_box.get(), &status, nullptr, &cancel, &page);
        EXPECT_EQ(r.outcome, card::ImportOutcome::Cancelled);
        EXPECT_TRUE(m_box->Texts().empty());
        const bool kept = !r.written.empty();
        EXPECT_EQ(platform::PathExists(Track(1)), kept);
        if (kept) {
            EXPECT_EQ(CardAudio(Track(1)).size(), 6000u);
        }
        EXPECT_FALSE(platform::PathExists(Track(2))) << "the next track is not started";
        EXPECT_EQ(status.Last(), "ZT to PC   Track1");
    }
}

// --- Export ----------------------------------------------------------------------------------------

class ExportFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WritePcWav(Pc(1), 1, 3000));
        ASSERT_TRUE(WritePcWav(Pc(2), 2, 100000));
        ScriptedMessageBox quiet;
        ASSERT_TRUE(card::CreateNewSong(m_card / "Song", m_pc.Path(), Params().tracks, &quiet));
        m_song = testsupport::ReadText(Adl());
    }
    std::string Pc(int n) const { return card::TrackFilePath(m_pc.Path(), n); }
    std::string Adl() const { return card::AdlPath(m_card.Path(), "Song"); }
    card::ExportParams Params() const {
        card::ExportParams p;
        p.card = m_card.Path();
        p.song = "Song";
        p.pcFolder = m_pc.Path();
        p.tracks[0] = p.tracks[1] = true;
        return p;
    }
    // The song holds track 1's file and event, nothing of track 2.
    void ExpectOnlyTheFirstTrack(const card::ExportResult& r) {
        EXPECT_EQ(r.outcome, card::ExportOutcome::Failed);
        EXPECT_EQ(r.written, std::vector<int>{1});
        EXPECT_EQ(m_box->Texts(), std::vector<std::string>{"Can not read wave file!\nfile : " + Pc(2)});
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Open(Adl(), true));
        ASSERT_EQ(adl.GetEventCount(), 1);
        EXPECT_EQ(adl.GetEventSourceName(0), "zt50001.wav");
        EXPECT_EQ(CardAudio(m_card / "Song/zt50001.wav"), Marks(1, 3000));
        EXPECT_FALSE(platform::PathExists(m_card / "Song/zt50002.wav")) << "the half copy is removed";
        EXPECT_EQ(platform::FindFiles(m_card / "Song", "*.wav").size(), 1u);
    }

    TempDir m_card, m_pc;
    std::string m_song;
    std::unique_ptr<ScriptedMessageBox> m_box = std::make_unique<ScriptedMessageBox>();
};

TEST_F(ExportFaults, ASourceThatVanishesBeforeItsCopy) {
    RecordingTextLine status;
    status.onText = [&](const std::string& text) {
        if (text == "PC to ZT   Track2")
            platform::DeleteFile(Pc(2));
    };
    ExpectOnlyTheFirstTrack(card::RunExport(Params(), m_box.get(), &status, nullptr, nullptr));
}

TEST_F(ExportFaults, ASourceCutShortDuringItsCopy) {
    RecordingTextLine status;
    RecordingTarget page;
    // Track 2 (200000 bytes, more than one read-ahead) is cut to 100 samples once its first blocks are
    // copied.
    status.onText = [&](const std::string& text) {
        if (text == "PC to ZT   Track2")
            page.ActOn(wave::WM_TRANSFER_POS, 2, [&] { ASSERT_EQ(::truncate(Pc(2).c_str(), 44 + 200), 0); });
    };
    ExpectOnlyTheFirstTrack(card::RunExport(Params(), m_box.get(), &status, nullptr, nullptr, &page));
}

// --- Disc image ------------------------------------------------------------------------------------

class ImageFaults : public ::testing::Test {
public:
    void SetUp() override {
        platform::CreateDirectory(m_out);
        for (int i = 1; i <= 3; ++i) {
            const std::string name = "t" + std::to_string(i) + ".wav";
            m_pcm.push_back(Pcm(2352 * 3 + 100 * i, static_cast<uint32_t>(i)));
            ASSERT_TRUE(testsupport::WriteBytes(m_dir / name, MakeWav(m_pcm.back())));
            m_params.tracks.push_back({name, m_dir / name});
        }
        m_params.backend = &m_backend;
        m_params.recorderIndex = 0;
    }
    cdwriter::BurnResult Burn(platform::ITextLine* progressText = nullptr) {
        platform::CancelFlag none{0};
        cdwriter::CBurnJob job(m_params, m_box.get(), nullptr);
        job.RunJob(progressText, nullptr, nullptr, &none);
        return job.Result();
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : platform::FindFiles(m_out, "*"))
            names.push_back(e.name);
        return names;
    }

    TempDir m_dir;
    std::string m_out = m_dir / "out";
    cdwriter::CImageDiscBackend m_backend{m_out, "Disc"};
    cdwriter::BurnParams m_params;
    std::vector<std::vector<uint8_t>> m_pcm;
    std::unique_ptr<ScriptedMessageBox> m_box = std::make_unique<ScriptedMessageBox>();
};

TEST_F(ImageFaults, ASourceThatVanishesOrShrinksWhileStaging) {
    struct Case {
        const char* name;
        std::function<void(ImageFaults&)> action;
        const char* text;
    };
    const Case cases[] = {
        {"deleted", [](ImageFaults& t) { platform::DeleteFile(t.m_dir / "t3.wav"); }, "File open error."},
        {"cut inside its data",
         [](ImageFaults& t) { ASSERT_EQ(::truncate((t.m_dir / "t3.wav").c_str(), 2000), 0); },
         "File read error."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(testsupport::WriteBytes(m_dir / "t3.wav", MakeWav(m_pcm[2])));
        RecordingTextLine progress;
        progress.onText = [&](const std::string& text) {
            if (text == "Add track.  file name : t2.wav")
                c.action(*this);
        };
        m_box = std::make_unique<ScriptedMessageBox>();
        const auto r = Burn(&progress);
        EXPECT_EQ(r.outcome, cdwriter::BurnOutcome::Failed);
        EXPECT_EQ(m_box->Texts(), std::vector<std::string>{c.text});
        EXPECT_TRUE(OutFiles().empty()) << "no partial image";
    }
}

TEST_F(ImageFaults, EveryFailedReadOrOpenLeavesNoPartialImage) {
    int64_t totals[2] = {0, 0};
    {
        platform::faults::ScopedPlan counting({});
        ASSERT_EQ(Burn().outcome, cdwriter::BurnOutcome::Burned);
        totals[0] = platform::faults::ReadCount();
        totals[1] = platform::faults::OpenCount();
    }
    const auto image = testsupport::ReadBytes(m_backend.BinPath());
    ASSERT_GT(totals[0], 10);
    int failed = 0;
    for (int kind = 0; kind < 2; ++kind) {
        for (int64_t n = 1; n <= totals[kind]; ++n) {
            SCOPED_TRACE(testing::Message() << (kind == 0 ? "read " : "open ") << n);
            platform::faults::Plan plan;
            (kind == 0 ? plan.failReadAt : plan.failOpenAt) = n;
            testsupport::RemoveTree(m_out);
            platform::CreateDirectory(m_out);
            m_box = std::make_unique<ScriptedMessageBox>();
            cdwriter::BurnResult r;
            {
                platform::faults::ScopedPlan armed(plan);
                r = Burn();
            }
            if (r.outcome == cdwriter::BurnOutcome::Burned) {
                EXPECT_TRUE(testsupport::ReadBytes(m_backend.BinPath()) == image);
                continue;
            }
            ++failed;
            EXPECT_EQ(r.outcome, cdwriter::BurnOutcome::Failed);
            EXPECT_EQ(m_box->Texts().size(), 1u);
            EXPECT_TRUE(OutFiles().empty()) << (m_box->Texts().empty() ? "" : m_box->Texts()[0]);
        }
    }
    EXPECT_GT(failed, 10);
}

} // namespace
