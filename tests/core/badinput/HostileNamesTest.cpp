// Names a card or a user may bring: entries that point outside their song, and song, folder and
// image names with spaces, quotes and UTF-8, or at their length limits.

#include "Cli.h"
#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "card/ExportJob.h"
#include "card/ImportJob.h"
#include "card/NewSong.h"
#include "card/SongName.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

// Samples of the file outside the song carry id 9 in their top bits.
constexpr int kOutsideId = 9;

bool HoldsOutsideSamples(const std::vector<int16_t>& samples) {
    return std::any_of(samples.begin(), samples.end(),
                       [](int16_t s) { return ((static_cast<uint16_t>(s) >> 12) & 0xF) == kOutsideId; });
}

class HostileEntries : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CreateDirectory(m_card / "song");
        platform::CreateDirectory(m_card / "song/sub");
        ASSERT_TRUE(WriteCardWav(m_card / "song/zt50001.wav", 1, 1000));
        // Real files with the outside marks wherever a hostile name could lead.
        for (const std::string& path :
             {m_card / "x.wav", m_card / "song/sub/x.wav", m_card / "song/..\\x.wav",
              m_card / "song/sub\\x.wav", m_pc / "x.wav"})
            ASSERT_TRUE(WriteCardWav(path, kOutsideId, 1000));
    }
    // Track 1: zt50001.wav on [0, 1000), then the named file on [1000, 2000).
    void WriteSong(const std::string& name) {
        ASSERT_TRUE(testsupport::WriteText(
            card::AdlPath(m_card.Path(), "song"),
            AdlText(adl::SampleRateCode::Hz48000, {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 1000},
                                                   {2, adl::EditType::Cut, name, 1, 0, 1000, 2000}})));
    }

    TempDir m_card, m_pc;
};

TEST_F(HostileEntries, NeverReadOutsideTheSongFolder) {
    const std::string names[] = {"../x.wav",   m_card / "x.wav",
                                 "sub/x.wav",  "..\\x.wav",
                                 "sub\\x.wav", "..",
                                 ".",          "../../" + m_pc.Path() + "/x.wav"};
    const std::string out = card::TrackFilePath(m_pc / "out", 1);
    platform::CreateDirectory(m_pc / "out");
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        WriteSong(name);
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Open(card::AdlPath(m_card.Path(), "song"), true));
        EXPECT_EQ(adl.GetEventSourceName(1), name) << "the reader keeps the name as it stands";
        EXPECT_TRUE(card::GetTracksInUse(adl)[0]);
        adl.Close();

        platform::DeleteFile(out);
        ScriptedMessageBox box;
        card::ImportParams p;
        p.card = m_card.Path();
        p.song = "song";
        p.pcFolder = m_pc / "out";
        p.tracks[0] = true;
        const auto r = card::RunImport(p, &box, nullptr, nullptr, nullptr);
        EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
        EXPECT_EQ(box.Texts(), std::vector<std::string>{"Can not read wave file!\nfile : " + m_card.Path() +
                                                        "/song/" + name});
        const auto samples = CardAudio(out);
        EXPECT_FALSE(HoldsOutsideSamples(samples));
        EXPECT_LE(samples.size(), 1000u) << "the import stops at the entry";
    }
}

TEST_F(HostileEntries, TheCommandLineSaysSoAndFails) {
    WriteSong("../x.wav");
    const CliRun run =
        RunCli("import " + Quote(m_card.Path()) + " song " + Quote(m_pc / "out") + " --tracks 1 --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Can not read wave file!\nfile : " + m_card.Path() + "/song/../x.wav\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(HoldsOutsideSamples(CardAudio(card::TrackFilePath(m_pc / "out", 1))));
}

// --- Names with spaces, quotes and UTF-8 -------------------------------------------------------------

class AwkwardNames : public ::testing::Test {
protected:
    card::ExportParams Params(const std::string& song, const std::string& pc) const {
        card::ExportParams p;
        p.card = m_card.Path();
        p.song = song;
        p.pcFolder = pc;
        p.tracks[0] = p.tracks[2] = true;
        return p;
    }
    // A song made by someone else: the program makes no new song under a name the recorder cannot
    // show, but takes one found on the card as it is.
    bool MakeSongElsewhere(const std::string& song) const {
        return platform::CreateDirectory(card::SongFolderPath(m_card.Path(), song)) &&
               platform::CreateDirectory(card::MixFolderPath(m_card.Path(), song)) &&
               card::WriteNewSongAdl(card::AdlPath(m_card.Path(), song), song, adl::SampleRateCode::Hz44100,
                                     "2026-12-08");
    }
    TempDir m_card, m_pc;
};

TEST_F(AwkwardNames, ExportImportAndListingThroughTheJobs) {
    const std::string songs[] = {"My Song 1", "It's \"Q\"", "Café Ünïcode", "ABCDEFGHIJKLMNOP", "Song \"Q\""};
    const std::string pc = m_pc / "PC dir 'a' \"b\" é";
    platform::CreateDirectory(pc);
    ASSERT_TRUE(WritePcWav(card::TrackFilePath(pc, 1), 1, 700));
    ASSERT_TRUE(WritePcWav(card::TrackFilePath(pc, 3), 3, 900));
    for (const auto& song : songs) {
        SCOPED_TRACE(song);
        ScriptedMessageBox box;
        const auto p = Params(song, pc);
        // A new song (or one found on the card), then a second export into it.
        if (const std::string problem = card::NewSongNameProblem(song); problem.empty()) {
            ASSERT_EQ(card::PrepareExport(p, &box), card::ExportCommand::RunNewSong);
            EXPECT_EQ(box.Texts(),
                      std::vector<std::string>{"Create new song. Are you ok ?\nsong name : " + song});
        } else {
            ASSERT_EQ(card::PrepareExport(p, &box), card::ExportCommand::Stopped);
            EXPECT_EQ(box.Texts(), std::vector<std::string>{problem});
            ASSERT_TRUE(MakeSongElsewhere(song));
        }
        ASSERT_EQ(card::RunExport(p, &box, nullptr, nullptr, nullptr).outcome, card::ExportOutcome::Finished);
        ASSERT_EQ(card::PrepareExport(p, &box), card::ExportCommand::Run);
        const auto second = card::RunExport(p, &box, nullptr, nullptr, nullptr);
        ASSERT_EQ(second.outcome, card::ExportOutcome::Finished);
        EXPECT_EQ(second.files, (std::vector<std::string>{"zt50003.wav", "zt50004.wav"}));
        EXPECT_EQ(box.Texts().back(), "Overwrite this song?\nsong name : " + song);

        const std::string out = pc + "/out " + song;
        platform::CreateDirectory(out);
        card::ImportParams ip;
        ip.card = m_card.Path();
        ip.song = song;
        ip.pcFolder = out;
        ip.tracks[0] = ip.tracks[2] = true;
        const auto r = card::RunImport(ip, &box, nullptr, nullptr, nullptr);
        ASSERT_EQ(r.outcome, card::ImportOutcome::Finished);
        EXPECT_EQ(r.written, (std::vector<int>{1, 3}));
        EXPECT_EQ(CardAudio(card::TrackFilePath(out, 1)), Marks(1, 700));
        EXPECT_EQ(CardAudio(card::TrackFilePath(out, 3)), Marks(3, 900));
    }
    auto listed = card::ListSongs(m_card.Path());
    auto expected = std::vector<std::string>(std::begin(songs), std::end(songs));
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
}

TEST_F(AwkwardNames, EndToEndThroughTheCommandLine) {
    const std::string song = "Café \"Q\" it's";
    const std::string pc = m_pc / "Dossier 'été' \"x\"";
    platform::CreateDirectory(pc);
    ASSERT_TRUE(WritePcWav(card::TrackFilePath(pc, 2), 2, 1500));

    CliRun run = RunCli("export " + Quote(pc) + " " + Quote(m_card.Path()) + " " + Quote(song) + " --yes");
    EXPECT_EQ(run.status, 1) << "no new song under a name the recorder cannot show";
    EXPECT_EQ(run.err, "\n" + card::NewSongNameProblem(song) + "\n");
    ASSERT_TRUE(MakeSongElsewhere(song));
    run = RunCli("export " + Quote(pc) + " " + Quote(m_card.Path()) + " " + Quote(song) + " --yes");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "TR2 -> " + m_card.Path() + "/" + song + "/zt50001.wav\n");

    run = RunCli("songs " + Quote(m_card.Path()));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\n" + song + " "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" 2 "), std::string::npos) << "track 2 in use: " << run.out;

    const std::string out = pc + "/back 'ü'";
    run = RunCli("import " + Quote(m_card.Path()) + " " + Quote(song) + " " + Quote(out) + " --yes");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, card::TrackFilePath(out, 2) + "\n");
    EXPECT_EQ(CardAudio(card::TrackFilePath(out, 2)), Marks(2, 1500));

    // A CD image under the same kind of name, from a stereo file in that folder.
    const std::string cdTrack = pc + "/Piste \"1\" 'é'.wav";
    const auto pcm = Pcm(2352 * 2 + 4);
    ASSERT_TRUE(testsupport::WriteBytes(cdTrack, MakeWav(pcm)));
    const std::string base = "Disque 'été' x";
    run = RunCli("cd-image " + Quote(out) + " " + Quote(base) + " " + Quote(cdTrack));
    ASSERT_EQ(run.status, 0) << run.err;
    // Three sectors of audio: the track is padded with silence to the 4 seconds a CD track lasts.
    EXPECT_EQ(
        run.err.rfind("pelmora-cli: warning: " + cdTrack +
                          " lasts less than the 4 seconds of a CD track; it is padded with silence to 4 "
                          "seconds\n",
                      0),
        0u)
        << run.err;
    EXPECT_EQ(testsupport::ReadText(out + "/" + base + ".cue"),
              "FILE \"" + base + ".bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    auto bin = testsupport::ReadBytes(out + "/" + base + ".bin");
    ASSERT_EQ(bin.size(), 300u * 2352);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), bin.begin()));
    if (testsupport::HaveTool("cd-info")) {
        std::string text;
        EXPECT_EQ(testsupport::RunCommand("cd-info --no-device-info --no-cddb --cue-file " +
                                              Quote(out + "/" + base + ".cue") + " 2>&1",
                                          &text),
                  0)
            << text;
        EXPECT_NE(text.find("  1: 00:02:00  000000 audio"), std::string::npos) << text;
        EXPECT_NE(text.find("170: 00:06:00  000300 leadout"), std::string::npos) << text;
    }
}

// --- Names at their length limits --------------------------------------------------------------------

TEST_F(HostileEntries, SourceNamesAtTheirLengthLimits) {
    // 255 bytes is the longest name the file system keeps; 259 the longest the entry holds. The
    // entry line with a 259-character name is still far below the longest line the reader takes.
    const std::string longest(255 - 4, 'n');
    ASSERT_TRUE(WriteCardWav(m_card / ("song/" + longest + ".wav"), 2, 1000));
    struct Case {
        std::string written; // the name in the entry line
        std::string read;    // the name the reader gives
        bool renders;
    };
    const Case cases[] = {
        {longest + ".wav", longest + ".wav", true},
        {std::string(255, 'm') + ".wav", std::string(255, 'm') + ".wav", false},
        {std::string(300, 'k'), std::string(259, 'k'), false},
    };
    platform::CreateDirectory(m_pc / "out");
    const std::string out = card::TrackFilePath(m_pc / "out", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written.size());
        WriteSong(c.written);
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Open(card::AdlPath(m_card.Path(), "song"), true));
        EXPECT_EQ(adl.GetEventSourceName(1), c.read);
        adl.Close();
        platform::DeleteFile(out);
        ScriptedMessageBox box;
        card::ImportParams p;
        p.card = m_card.Path();
        p.song = "song";
        p.pcFolder = m_pc / "out";
        p.tracks[0] = true;
        const auto r = card::RunImport(p, &box, nullptr, nullptr, nullptr);
        if (c.renders) {
            EXPECT_EQ(r.outcome, card::ImportOutcome::Finished);
            EXPECT_TRUE(box.Texts().empty());
            const auto samples = CardAudio(out);
            ASSERT_EQ(samples.size(), 2000u);
            EXPECT_EQ(samples[1000], Mark(2, 0));
        } else {
            EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
            EXPECT_EQ(box.Texts(), std::vector<std::string>{"Can not read wave file!\nfile : " +
                                                            m_card.Path() + "/song/" + c.read});
        }
    }
}

} // namespace
