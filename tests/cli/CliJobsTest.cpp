#include "Cli.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

std::vector<uint8_t> AudioOf(const std::string& path) {
    wave::CWaveFile w;
    if (!w.Open(path, 1))
        return {};
    const uint32_t size = w.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
    w.Close();
    const auto bytes = testsupport::ReadBytes(path);
    if (bytes.size() < size)
        return {};
    return std::vector<uint8_t>(bytes.end() - size, bytes.end());
}

class CliJobs : public ::testing::Test {
protected:
    void SetUp() override {
        card = dir / "card";
        const CliRun made = RunCli("make-demo-card " + Quote(card));
        ASSERT_EQ(made.status, 0) << made.err;
    }
    TempDir dir;
    std::string card;
};

TEST_F(CliJobs, RoundTripImportExportImportGivesTheSameSamples) {
    const std::string first = dir / "first", second = dir / "second";
    const CliRun imported = RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(first));
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("tr04.wav"), std::string::npos);

    const CliRun exported = RunCli("export " + Quote(first) + " " + Quote(card) + " Again --yes");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("TR1 -> "), std::string::npos);

    ASSERT_EQ(RunCli("import " + Quote(card) + " Again " + Quote(second)).status, 0);
    for (int t = 1; t <= 4; ++t) {
        const std::string name = "/tr0" + std::to_string(t) + ".wav";
        const auto a = AudioOf(first + name), b = AudioOf(second + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, b) << name;
    }
    EXPECT_FALSE(platform::PathExists(second + "/tr05.wav"));
}

TEST_F(CliJobs, SongsShowsRatesProtectionAndFoldersWithoutASong) {
    platform::CreateDirectory(card + "/Empty folder");
    platform::SetFileAttributes(card + "/Demo 44k/Demo 44k.adl", platform::FILE_ATTRIBUTE_READONLY);
    const CliRun run = RunCli("songs " + Quote(card));
    ASSERT_EQ(run.status, 0) << run.err;
    auto line = [&](const std::string& song) {
        const auto at = run.out.find(song);
        return at == std::string::npos ? std::string() : run.out.substr(at, run.out.find('\n', at) - at);
    };
    EXPECT_NE(line("Demo 44k").find("44100"), std::string::npos);
    EXPECT_NE(line("Demo 44k").find("yes"), std::string::npos);
    EXPECT_NE(line("Demo 48k").find("48000"), std::string::npos);
    EXPECT_NE(line("Demo 48k").find("1-4"), std::string::npos);
    EXPECT_NE(line("Demo 48k").find("00.00.01.12/0960"), std::string::npos);
    EXPECT_NE(line("Empty folder").find("no readable ADL file"), std::string::npos);
    EXPECT_LT(run.out.find("Demo 44k"), run.out.find("Empty folder"));
}

TEST_F(CliJobs, QuestionsWithoutATerminalFailInsteadOfHanging) {
    const std::string pc = dir / "pc";
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 1").status, 0);
    const auto before = testsupport::ReadBytes(pc + "/tr01.wav");
    const CliRun again = RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 1");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("Overwrite wave file.\nAre you ok?\nfile : " + pc + "/tr01.wav"),
              std::string::npos);
    EXPECT_NE(again.err.find("--yes"), std::string::npos);
    EXPECT_EQ(testsupport::ReadBytes(pc + "/tr01.wav"), before);

    const CliRun newSong = RunCli("export " + Quote(pc) + " " + Quote(card) + " Fresh");
    EXPECT_EQ(newSong.status, 1);
    EXPECT_NE(newSong.err.find("Create new song. Are you ok ?\nsong name : Fresh"), std::string::npos);
    EXPECT_FALSE(platform::PathExists(card + "/Fresh"));
}

TEST_F(CliJobs, FailuresPrintTheProgramsTextsAndExitWithOne) {
    const std::string pc = dir / "pc";
    platform::CreateDirectory(card + "/Broken");
    testsupport::WriteText(card + "/Broken/Broken.adl", "<ADL>\r\n");
    const CliRun broken = RunCli("import " + Quote(card) + " Broken " + Quote(pc) + " --tracks 1");
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("Can not open ADL file!"), std::string::npos);

    EXPECT_EQ(RunCli("import " + Quote(card) + " Missing " + Quote(pc)).status, 1);
    EXPECT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 0").status, 2);
    EXPECT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 3-1").status, 2);

    // A 48 kHz track file into a 44.1 kHz song.
    const std::string pc48 = dir / "pc48";
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 48k' " + Quote(pc48) + " --tracks 2").status, 0);
    const CliRun mismatch = RunCli("export " + Quote(pc48) + " " + Quote(card) + " 'Demo 44k' --yes");
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_NE(mismatch.err.find("Sampling Frequency not matched!"), std::string::npos);

    EXPECT_EQ(RunCli("export " + Quote(pc48) + " " + Quote(card) + " 'Demo 48k' --tracks 5 --yes").status, 1);
    EXPECT_EQ(RunCli("songs " + Quote(dir / "no-card")).status, 1);
}

TEST_F(CliJobs, CdImageOfTheMixdownAndRefusalOfMonoFiles) {
    const std::string out = dir / "cd";
    const CliRun image = RunCli("cd-image " + Quote(out) + " Mix " + Quote(card + "/Mixdown/2mix/mix01.wav"));
    ASSERT_EQ(image.status, 0) << image.err;
    EXPECT_NE(image.out.find(out + "/Mix.cue"), std::string::npos);
    EXPECT_EQ(testsupport::ReadText(out + "/Mix.cue"),
              "FILE \"Mix.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    // Five seconds of CD audio, padded to whole sectors.
    EXPECT_EQ(testsupport::ReadBytes(out + "/Mix.bin").size(), 375u * 2352u);

    // Both mixdowns make a disc of two tracks: 5 and 7 seconds, two seconds of silence between them.
    const CliRun two = RunCli("cd-image " + Quote(out) + " Two " + Quote(card + "/Mixdown/2mix/mix01.wav") +
                              " " + Quote(card + "/Mixdown/2mix/mix02.wav"));
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.err.find("warning"), std::string::npos) << two.err;
    EXPECT_EQ(testsupport::ReadText(out + "/Two.cue"), "FILE \"Two.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                       "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                                                       "    INDEX 00 00:05:00\n    INDEX 01 00:07:00\n");
    EXPECT_EQ(testsupport::ReadBytes(out + "/Two.bin").size(), (375u + 150 + 525) * 2352u);

    const CliRun mono = RunCli("cd-image " + Quote(out) + " Mono " + Quote(card + "/Demo 44k/zt50001.wav"));
    EXPECT_EQ(mono.status, 1);
    EXPECT_NE(mono.err.find("not a 44.1 kHz 16-bit stereo WAV file"), std::string::npos);
    EXPECT_FALSE(platform::PathExists(out + "/Mono.bin"));
    EXPECT_EQ(RunCli("cd-image " + Quote(out) + " a/b " + Quote(card + "/Mixdown/2mix/mix01.wav")).status, 2);
    EXPECT_EQ(RunCli("cd-image " + Quote(out) + " 'a\"b' " + Quote(card + "/Mixdown/2mix/mix01.wav")).status,
              2);
}

TEST(CliDisc, RecordersWithoutAnyAndUnknownRecorderNames) {
    const CliRun list = RunCli("recorders");
    EXPECT_EQ(list.status, 0);
    const CliRun eject = RunCli("eject 'No Such Recorder'");
    EXPECT_EQ(eject.status, 1);
    EXPECT_NE(eject.err.find("no recorder No Such Recorder"), std::string::npos);
}

} // namespace

namespace {

TEST_F(CliJobs, ResultsThatCannotBeWrittenFailTheCommand) {
    // A closed output must not lend its number to a file the command opens (an ADL would receive the
    // results), and results that reach nobody are no success.
    const std::string pc = dir / "pc";
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 1").status, 0);
    const struct {
        std::string command, output;
    } cases[] = {
        {"songs " + Quote(card), ">&-"},
        {"songs " + Quote(card), ">/dev/full"},
        {"export " + Quote(pc) + " " + Quote(card) + " 'Demo 44k' --yes", ">&-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " " + c.output);
        const CliRun run = RunCli(c.command + " " + c.output);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("cannot write the results"), std::string::npos) << run.err;
        EXPECT_EQ(RunCli("songs " + Quote(card)).status, 0) << "every song still opens";
        EXPECT_EQ(testsupport::ReadText(card + "/Demo 44k/Demo 44k.adl").rfind("<ADL>", 0), 0u);
    }
}

} // namespace
