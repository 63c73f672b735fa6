#include "Cli.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include "TestSupport.h"
#include "Wav.h"

#include <sndfile.h>

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

    // Into a new song: refused before the song is asked for, and none is made.
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc48) + " --tracks 1").status, 0);
    const CliRun mixed = RunCli("export " + Quote(pc48) + " " + Quote(card) + " Mixed --yes");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("Sampling Frequency not matched!"), std::string::npos);
    EXPECT_EQ(mixed.err.find("Create new song"), std::string::npos) << mixed.err;
    EXPECT_FALSE(platform::PathExists(card + "/Mixed"));

    EXPECT_EQ(RunCli("export " + Quote(pc48) + " " + Quote(card) + " 'Demo 48k' --tracks 5 --yes").status, 1);
    EXPECT_EQ(RunCli("songs " + Quote(dir / "no-card")).status, 1);
}

TEST_F(CliJobs, ExportConvertsOtherFormatsOnlyWhenAsked) {
    // Into the 48 kHz demo song: a 24-bit 44.1 kHz stereo WAV, a FLAC and an AIFF file, and a WAV that
    // goes before the FLAC file of the same track.
    const std::string pc = dir / "pc";
    ASSERT_TRUE(platform::CreateDirectory(pc));
    const std::vector<double> half(4800, 0.5);
    ASSERT_TRUE(WriteSoundFile(pc + "/tr06.wav", std::vector<double>(8820, 0.25), 2, 44100,
                               SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    ASSERT_TRUE(WriteSoundFile(pc + "/tr09.flac", half, 1, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    ASSERT_TRUE(WriteSoundFile(pc + "/TR10.aiff", half, 1, 96000, SF_FORMAT_AIFF | SF_FORMAT_PCM_24));
    ASSERT_TRUE(WritePcWav(pc + "/tr11.wav", 11, 480, {1, 16, 48000}));
    ASSERT_TRUE(WriteSoundFile(pc + "/tr11.flac", half, 1, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    const std::string adl = testsupport::ReadText(card + "/Demo 48k/Demo 48k.adl");
    const std::string into = "export " + Quote(pc) + " " + Quote(card) + " 'Demo 48k' --yes";

    const CliRun refused = RunCli(into);
    EXPECT_EQ(refused.status, 1);
    const std::string song =
        "; the song holds 16-bit, 48 kHz, mono. With --convert it is converted while exporting";
    const std::string unchanged = "; the file on the PC is not changed.\n";
    for (const std::string& line : {std::string("Sampling Frequency not matched!\n"),
                                    "pelmora-cli: tr06.wav is 24-bit, 44.1 kHz, stereo" + song +
                                        " (left to TR6, right to TR7)" + unchanged,
                                    "pelmora-cli: tr09.flac is 16-bit, 48 kHz, mono" + song + unchanged,
                                    "pelmora-cli: TR10.aiff is 24-bit, 96 kHz, mono" + song + unchanged,
                                    "pelmora-cli: warning: " + pc + "/tr11.flac is left out; " + pc +
                                        "/tr11.wav is exported for TR11\n"})
        EXPECT_NE(refused.err.find(line), std::string::npos) << line << refused.err;
    EXPECT_EQ(testsupport::ReadText(card + "/Demo 48k/Demo 48k.adl"), adl);

    EXPECT_EQ(RunCli(into + " --convert --stereo sideways").status, 2);
    const CliRun mixed = RunCli(into + " --convert --stereo mix --tracks 6");
    ASSERT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_NE(mixed.out.find("TR6 -> "), std::string::npos);
    EXPECT_EQ(mixed.out.find("TR7 -> "), std::string::npos);
    const CliRun converted = RunCli(into + " --convert");
    ASSERT_EQ(converted.status, 0) << converted.err;
    for (const char* track : {"TR6 -> ", "TR7 -> ", "TR9 -> ", "TR10 -> ", "TR11 -> "})
        EXPECT_NE(converted.out.find(track), std::string::npos) << track << converted.out;
    // Back from the song: the FLAC file as it was, the 96 kHz file at half its length.
    const std::string back = dir / "back";
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 48k' " + Quote(back) + " --tracks 9-11").status, 0);
    EXPECT_EQ(AudioOf(back + "/tr09.wav").size(), 9600u);
    EXPECT_EQ(AudioOf(back + "/tr10.wav").size(), 4800u);
    EXPECT_EQ(AudioOf(back + "/tr11.wav"), AudioOf(pc + "/tr11.wav"));
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
