// Inputs that are in the wrong place or state: a folder named like a WAV file, a file another
// handle holds, a card that cannot be written or is full, and songs at the event limit.

#include "BadInputSupport.h"
#include "Cli.h"
#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "card/NewSong.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/ImageDiscBackend.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

using namespace badinput;
using namespace testsupport;

namespace {

// A card with song "song" (48 kHz, tracks 1 and 2 from zt50001.wav) and a PC folder with tr01.wav.
class Places : public ::testing::Test {
public:
    void SetUp() override {
        platform::CreateDirectory(m_card / "song");
        ASSERT_TRUE(WriteCardWav(Source(), 1, 1000));
        ASSERT_TRUE(
            testsupport::WriteText(Adl(), AdlText(adl::SampleRateCode::Hz48000,
                                                  {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 1000},
                                                   {2, adl::EditType::Cut, "zt50001.wav", 2, 0, 0, 500}})));
        ASSERT_TRUE(testsupport::WriteBytes(PcTrack(1), PcWav(5, 300, {1, 16, 48000})));
        platform::CreateDirectory(m_pc / "out");
        m_song = testsupport::ReadText(Adl());
    }
    std::string Source() const { return m_card / "song/zt50001.wav"; }
    std::string Adl() const { return card::AdlPath(m_card.Path(), "song"); }
    std::string PcTrack(int n) const { return card::TrackFilePath(m_pc.Path(), n); }
    std::string Out(int n) const { return card::TrackFilePath(m_pc / "out", n); }
    card::ImportResult Import(platform::IMessageBox* box) {
        return card::RunImport(ImportAll(m_card.Path(), "song", m_pc / "out", {1, 2}), box, nullptr, nullptr,
                               nullptr);
    }
    card::ExportResult Export(platform::IMessageBox* box, const std::string& song = "song") {
        return card::RunExport(ExportParams(m_card.Path(), song, m_pc.Path()), box, nullptr, nullptr,
                               nullptr);
    }
    // The song as it was, and no audio file added.
    void ExpectSongUntouched() {
        EXPECT_EQ(testsupport::ReadText(Adl()), m_song);
        EXPECT_FALSE(platform::PathExists(m_card / "song/zt50002.wav"));
    }
    cdwriter::BurnResult BurnImage(const std::string& track, platform::IMessageBox* box) {
        platform::CreateDirectory(m_pc / "cd");
        cdwriter::CImageDiscBackend backend(m_pc / "cd", "Disc");
        cdwriter::BurnParams params;
        params.backend = &backend;
        params.recorderIndex = 0;
        params.tracks = {{platform::BaseName(track), track}};
        platform::CancelFlag cancel{0};
        cdwriter::CBurnJob job(params, box, nullptr);
        job.RunJob(nullptr, nullptr, nullptr, &cancel);
        EXPECT_TRUE(platform::FindFiles(m_pc / "cd", "*").empty() ||
                    job.Result().outcome == cdwriter::BurnOutcome::Burned);
        return job.Result();
    }

    TempDir m_card, m_pc;
    std::string m_song;
};

using Texts = std::vector<std::string>;

// --- A folder named like a WAV file ---------------------------------------------------------------

TEST_F(Places, AFolderNamedLikeAPcTrack) {
    platform::DeleteFile(PcTrack(1));
    ASSERT_TRUE(platform::CreateDirectory(PcTrack(1)));
    EXPECT_FALSE(card::FindPcTrackFiles(m_pc.Path())[0]) << "not offered as a track";
    ScriptedMessageBox box;
    EXPECT_EQ(Export(&box).outcome, card::ExportOutcome::Refused);
    EXPECT_EQ(card::PrepareExport(ExportParams(m_card.Path(), "New", m_pc.Path()), &box),
              card::ExportCommand::Stopped);
    // The new song is refused before it is asked for.
    EXPECT_EQ(box.Texts(), (Texts{"Sampling Frequency not matched!", "New song create error !"}));
    ExpectSongUntouched();
    EXPECT_FALSE(platform::PathExists(m_card / "New"));

    const CliRun run = RunCli("export " + Quote(m_pc.Path()) + " " + Quote(m_card.Path()) + " song --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("\nSelect tracks.\n"), std::string::npos) << run.err;
    ExpectSongUntouched();
}

TEST_F(Places, AFolderNamedLikeASongsAudioFile) {
    platform::DeleteFile(Source());
    ASSERT_TRUE(platform::CreateDirectory(Source()));
    ScriptedMessageBox box;
    EXPECT_EQ(Import(&box).outcome, card::ImportOutcome::Failed);
    EXPECT_EQ(box.Texts(), Texts{"Can not read wave file!\nfile : " + Source()});
    // An export passes over the taken name and leaves the folder alone.
    const auto r = Export(&box);
    EXPECT_EQ(r.outcome, card::ExportOutcome::Finished);
    EXPECT_EQ(r.files, Texts{"zt50002.wav"});
    EXPECT_TRUE(platform::IsDirectory(Source()));
}

TEST_F(Places, AFolderNamedLikeAnImportOutput) {
    ASSERT_TRUE(platform::CreateDirectory(Out(1)));
    ASSERT_TRUE(testsupport::WriteText(Out(1) + "/keep", "x"));
    ScriptedMessageBox box;
    box.QueueAnswer(platform::MbResult::Ok);
    const auto r = Import(&box);
    EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
    EXPECT_EQ(box.Texts(), (Texts{"Overwrite wave file.\nAre you ok?\nfile : " + Out(1),
                                  "Wave file write error !\nfile : " + Out(1)}));
    EXPECT_EQ(testsupport::ReadText(Out(1) + "/keep"), "x") << "the folder and what it holds stay";
    EXPECT_FALSE(platform::PathExists(Out(2)));
}

TEST_F(Places, AFolderNamedLikeACdTrack) {
    ASSERT_TRUE(platform::CreateDirectory(m_pc / "t.wav"));
    ScriptedMessageBox box;
    EXPECT_EQ(BurnImage(m_pc / "t.wav", &box).outcome, cdwriter::BurnOutcome::Failed);
    EXPECT_EQ(box.Texts(), Texts{"File open error."});
    const CliRun run = RunCli("cd-image " + Quote(m_pc / "cd") + " Disc " + Quote(m_pc / "t.wav"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "pelmora-cli: " + m_pc / "t.wav" + " is not a 44.1 kHz 16-bit stereo WAV file\n");
}

// --- A file another handle holds (permission bits do not stop root) ---------------------------------

TEST_F(Places, FilesHeldElsewhereCannotBeRead) {
    ASSERT_TRUE(testsupport::WriteBytes(m_pc / "cd.wav", PcWav(1, 3000, {2, 16, 44100})));
    struct Case {
        const char* name;
        std::string held;
        std::function<Texts(Places&)> run;
        Texts texts;
    };
    const Case cases[] = {
        {"song audio file",
         Source(),
         [](Places& t) {
             ScriptedMessageBox box;
             EXPECT_EQ(t.Import(&box).outcome, card::ImportOutcome::Failed);
             return box.Texts();
         },
         {"Can not read wave file!\nfile : " + Source()}},
        {"song ADL file on import",
         Adl(),
         [](Places& t) {
             ScriptedMessageBox box;
             EXPECT_EQ(t.Import(&box).outcome, card::ImportOutcome::Failed);
             return box.Texts();
         },
         {"Can not open ADL file!"}},
        {"song ADL file on export",
         Adl(),
         [](Places& t) {
             ScriptedMessageBox box;
             EXPECT_EQ(t.Export(&box).outcome, card::ExportOutcome::Refused);
             return box.Texts();
         },
         {"Can not open ADL file!"}},
        {"PC track file",
         PcTrack(1),
         [](Places& t) {
             ScriptedMessageBox box;
             EXPECT_EQ(t.Export(&box).outcome, card::ExportOutcome::Refused);
             return box.Texts();
         },
         {"Sampling Frequency not matched!"}},
        {"CD track",
         m_pc / "cd.wav",
         [](Places& t) {
             ScriptedMessageBox box;
             EXPECT_EQ(t.BurnImage(t.m_pc / "cd.wav", &box).outcome, cdwriter::BurnOutcome::Failed);
             return box.Texts();
         },
         {"File open error."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::File holder;
        ASSERT_TRUE(holder.Open(c.held, platform::Access::ReadWrite, platform::Disposition::OpenExisting));
        EXPECT_EQ(c.run(*this), c.texts);
        holder.Close();
        ExpectSongUntouched();
        EXPECT_FALSE(platform::PathExists(Out(2)));
    }
}

// --- A card that cannot be written --------------------------------------------------------------------

TEST_F(Places, AProtectedSong) {
    ASSERT_TRUE(platform::SetFileAttributes(Adl(), platform::FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(card::IsSongProtected(m_card.Path(), "song"));
    CliRun run =
        RunCli("export " + Quote(m_pc.Path()) + " " + Quote(m_card.Path()) + " song --yes --verbose");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.err.find("\nOverwrite this song?\nsong name : song\n[OK: --yes]\n\nThis song is Protected.\n"),
        std::string::npos)
        << run.err;
    ExpectSongUntouched();
    run = RunCli("songs " + Quote(m_card.Path()));
    EXPECT_NE(run.out.find(" yes "), std::string::npos) << run.out;
    // Reading a protected song is fine.
    ScriptedMessageBox box;
    EXPECT_EQ(Import(&box).written, (std::vector<int>{1, 2}));
    platform::SetFileAttributes(Adl(), 0);
}

// The write test cannot create its folder: a folder of a pseudo file system refuses any new entry, as
// a card mounted read-only or locked does (permission bits do not stop root).
TEST_F(Places, ACardWhoseWriteTestFails) {
    const std::string locked = "/proc/self/fdinfo";
    ASSERT_TRUE(platform::IsDirectory(locked));
    EXPECT_FALSE(card::IsCardWritable(locked));
    ScriptedMessageBox box;
    EXPECT_EQ(card::PrepareExport(ExportParams(locked, "New", m_pc.Path()), &box),
              card::ExportCommand::Stopped);
    EXPECT_EQ(box.Texts(), Texts{"Can't export song !"});
    const CliRun run = RunCli("export " + Quote(m_pc.Path()) + " " + locked + " New --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(
        run.err,
        "pelmora-cli: warning: " + locked +
            " does not look like a card: none of its folders holds an ADL file\n\nCan't export song !\n");
}

// A real small or read-only file system, where this machine lets the test mount one.
class Mounted : public Places {
protected:
    void TearDown() override {
        if (m_mounted)
            testsupport::RunCommand("umount " + Quote(m_mount) + " 2>/dev/null");
    }
    bool Mount(const std::string& options) {
        platform::CreateDirectory(m_mount);
        m_mounted = ::geteuid() == 0 && testsupport::HaveTool("mount") &&
                    testsupport::RunCommand("mount -t tmpfs -o " + options + " tmpfs " + Quote(m_mount) +
                                            " 2>/dev/null") == 0;
        return m_mounted;
    }
    // Moves the song onto the mounted card.
    void CopySongTo(const std::string& cardFolder) {
        platform::CreateDirectory(cardFolder + "/song");
        for (const auto& name : {std::string("song.adl"), std::string("zt50001.wav")})
            ASSERT_TRUE(testsupport::WriteBytes(cardFolder + "/song/" + name,
                                                testsupport::ReadBytes(m_card / ("song/" + name))));
    }
    std::string m_mount = m_card / "mnt";
    bool m_mounted = false;
};

TEST_F(Mounted, AReadOnlyCard) {
    if (!Mount("size=1m"))
        GTEST_SKIP() << "cannot mount a file system here";
    CopySongTo(m_mount);
    ASSERT_EQ(testsupport::RunCommand("mount -o remount,ro " + Quote(m_mount)), 0);
    const std::string song = testsupport::ReadText(m_mount + "/song/song.adl");
    ScriptedMessageBox box;
    EXPECT_EQ(card::PrepareExport(ExportParams(m_mount, "song", m_pc.Path()), &box),
              card::ExportCommand::Stopped);
    // The job on its own (past the write test) cannot open the song for its update.
    const auto r =
        card::RunExport(ExportParams(m_mount, "song", m_pc.Path()), &box, nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, card::ExportOutcome::Refused);
    EXPECT_EQ(box.Texts(), (Texts{"Can't export song !", "Can not open ADL file!"}));
    EXPECT_FALSE(platform::PathExists(m_mount + "/song/zt50002.wav"));
    EXPECT_EQ(testsupport::ReadText(m_mount + "/song/song.adl"), song);
    // Importing from it works.
    ScriptedMessageBox importBox;
    EXPECT_EQ(
        card::RunImport(ImportAll(m_mount, "song", m_pc / "out", {1}), &importBox, nullptr, nullptr, nullptr)
            .written,
        std::vector<int>{1});
}

TEST_F(Mounted, AFullCard) {
    if (!Mount("size=256k"))
        GTEST_SKIP() << "cannot mount a file system here";
    CopySongTo(m_mount);
    const std::string song = testsupport::ReadText(m_mount + "/song/song.adl");
    // More audio than the card holds: refused before anything is written, with both numbers.
    ASSERT_TRUE(testsupport::WriteBytes(PcTrack(1), PcWav(5, 200000, {1, 16, 48000})));
    const uint64_t freeBytes = card::GetFreeSpace(m_mount);
    ScriptedMessageBox box;
    auto r = card::RunExport(ExportParams(m_mount, "song", m_pc.Path()), &box, nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, card::ExportOutcome::Refused);
    EXPECT_EQ(box.Texts(),
              Texts{platform::Format("File too large!\r\n\r\nZT-5 : %llu(available capacity inside "
                                     "ZT-5)\r\nWAVE : %llu(Total file size to transfer)",
                                     static_cast<unsigned long long>(freeBytes), 32768ull + 400000)});
    EXPECT_EQ(testsupport::ReadText(m_mount + "/song/song.adl"), song);

    // It fits when checked, but the card fills up while the file is copied (another writer).
    ASSERT_TRUE(testsupport::WriteBytes(PcTrack(1), PcWav(5, 40000, {1, 16, 48000})));
    RecordingTarget filler;
    filler.ActOn(wave::WM_TRANSFER_POS, 1, [&] {
        testsupport::WriteBytes(m_mount + "/filler", std::vector<uint8_t>(256 * 1024, 1)); // as much as fits
    });
    ScriptedMessageBox fullBox;
    r = card::RunExport(ExportParams(m_mount, "song", m_pc.Path()), &fullBox, nullptr, nullptr, nullptr,
                        &filler);
    EXPECT_EQ(r.outcome, card::ExportOutcome::Failed);
    EXPECT_EQ(fullBox.Texts(), Texts{"Wave file write error !\nfile : " + m_mount + "/song/zt50002.wav"});
    EXPECT_FALSE(platform::PathExists(m_mount + "/song/zt50002.wav")) << "the half copy is removed";
    EXPECT_EQ(testsupport::ReadText(m_mount + "/song/song.adl"), song);
    adl::CAdlFile adl;
    EXPECT_TRUE(adl.Open(m_mount + "/song/song.adl", true));
}

// --- 5000 events and more -------------------------------------------------------------------------

// Track 1 made of `count` one-sample Cuts, sample k from source sample k; a last entry on track 2.
std::string ManyEntries(int count, bool lastOnTrack2) {
    std::vector<Ev> events;
    for (int k = 0; k < count; ++k)
        events.push_back({static_cast<uint16_t>(k + 1), adl::EditType::Cut, "zt50001.wav", 1,
                          static_cast<uint32_t>(k), static_cast<uint32_t>(k), static_cast<uint32_t>(k + 1)});
    if (lastOnTrack2)
        events.push_back({static_cast<uint16_t>(count + 1), adl::EditType::Cut, "zt50001.wav", 2, 0, 0, 100});
    return AdlText(adl::SampleRateCode::Hz48000, events);
}

TEST_F(Places, MoreThan5000Events) {
    platform::DeleteFile(Source());
    ASSERT_TRUE(WriteCardWav(Source(), 1, 5000));
    ASSERT_TRUE(WriteCardWav(m_card / "song/zt50002.wav", 2, 5000));
    std::string text = ManyEntries(5000, true);
    // Entry 5000 names the second file, so its last sample shows whether it was read.
    const std::string last = "\t\t(Entry)\t5000\t(Cut)\tF\t\"zt50001.wav\"";
    text.replace(text.find(last), last.size(), "\t\t(Entry)\t5000\t(Cut)\tF\t\"zt50002.wav\"");
    ASSERT_TRUE(testsupport::WriteText(Adl(), text));
    adl::CAdlFile adl;
    ASSERT_TRUE(adl.Open(Adl(), true));
    EXPECT_EQ(adl.GetEventCount(), 5000) << "the reader stops at 5000";
    EXPECT_EQ(card::GetTracksInUse(adl)[1], false) << "entry 5001 is not read";
    adl.Close();

    ScriptedMessageBox box;
    const auto r = Import(&box);
    EXPECT_EQ(r.outcome, card::ImportOutcome::Finished);
    EXPECT_EQ(r.written, std::vector<int>{1});
    EXPECT_EQ(r.skipped, std::vector<int>{2});
    const auto samples = CardAudio(Out(1));
    ASSERT_EQ(samples.size(), 5000u);
    EXPECT_EQ(samples[4998], Mark(1, 4998));
    EXPECT_EQ(samples[4999], Mark(2, 4999));
}

TEST_F(Places, AnExportIntoASongAtTheEventLimit) {
    // One event more than the reader takes would hold audio nobody ever sees again.
    ASSERT_TRUE(testsupport::WriteBytes(PcTrack(2), PcWav(6, 200, {1, 16, 48000})));
    for (int events : {5000, 4999}) {
        SCOPED_TRACE(events);
        platform::DeleteFile(m_card / "song/zt50002.wav");
        ASSERT_TRUE(testsupport::WriteText(Adl(), ManyEntries(events, false)));
        m_song = testsupport::ReadText(Adl());
        ScriptedMessageBox box;
        const auto r = card::RunExport(ExportParams(m_card.Path(), "song", m_pc.Path(), {1, 2}), &box,
                                       nullptr, nullptr, nullptr);
        EXPECT_EQ(r.outcome, card::ExportOutcome::Failed);
        EXPECT_EQ(box.Texts(), Texts{"Can't create wave file more !"});
        if (events == 5000) {
            ExpectSongUntouched();
            continue;
        }
        EXPECT_EQ(r.written, std::vector<int>{1});
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Open(Adl(), true));
        ASSERT_EQ(adl.GetEventCount(), 5000);
        EXPECT_EQ(adl.GetEventSourceName(4999), "zt50002.wav");
        EXPECT_EQ(adl.GetEventDestChannel(4999), 1);
        EXPECT_FALSE(platform::PathExists(m_card / "song/zt50003.wav"));
    }
}

} // namespace
