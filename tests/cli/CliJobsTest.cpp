#include "Cli.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"

#include <sndfile.h>

#include <csignal>
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

TEST_F(CliJobs, TimelineAsATableAndAsAPicture) {
    const CliRun run = RunCli("timeline " + Quote(card) + " 'Demo 44k'");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line : {"Length    00.00.07.00|0000", "Locate A  00.00.01.00|0000",
                             "TR1   00.00.03.00|0000 00.00.04.00|0000 -     (nothing)",
                             "TR3   00.00.02.12|0882 00.00.03.12|0882 6     (silence)",
                             "TR4   00.00.00.12|0882 00.00.02.12|0882 7     zt50001.wav  00.00.04.00|0000"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    EXPECT_EQ(run.out.find("TR5 "), std::string::npos);

    const std::string svg = dir / "song.svg", cache = dir / "cache";
    const CliRun drawn =
        RunCli("timeline " + Quote(card) + " 'Demo 44k' --svg " + Quote(svg), {{"XDG_CACHE_HOME", cache}});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    const std::string text = ReadText(svg);
    EXPECT_EQ(0u, text.find("<?xml"));
    for (const char* part : {">TR16<", "(silence)<", "<path d=\"M", ">A<", ">B<", "</svg>"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(5u, platform::FindFiles(cache + "/pelmora", "*.peaks").size());
    EXPECT_EQ(RunCli("timeline " + Quote(card) + " Nope").status, 1);
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

TEST_F(CliJobs, CdImageSpeaksOfAnImageAndReplacesOneOnlyWithYes) {
    const std::string out = dir / "cd", mix = Quote(card + "/Mixdown/2mix/mix01.wav");
    const std::string make = "cd-image " + Quote(out) + " Mix " + mix;
    const CliRun first = RunCli(make);
    ASSERT_EQ(first.status, 0) << first.err;
    for (const char* word : {"burn", "Burn", "Recording"})
        EXPECT_EQ(first.err.find(word), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("Writing the CD image"), std::string::npos) << first.err;

    // Another image under the same name: refused without --yes, whatever part of it is there.
    const auto bin = testsupport::ReadBytes(out + "/Mix.bin");
    const std::string other = "cd-image " + Quote(out) + " Mix " + mix + " " + mix;
    const CliRun refused = RunCli(other);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("The CD image " + out + "/Mix.cue and " + out + "/Mix.bin are there already."),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(testsupport::ReadBytes(out + "/Mix.bin"), bin);
    ASSERT_TRUE(platform::DeleteFile(out + "/Mix.cue"));
    EXPECT_EQ(RunCli(other).status, 1);
    EXPECT_EQ(testsupport::ReadBytes(out + "/Mix.bin"), bin);

    const CliRun replaced = RunCli(other + " -y");
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(testsupport::ReadBytes(out + "/Mix.bin").size(), 2 * bin.size() + 150u * 2352u);

    const CliRun missing = RunCli("cd-image " + Quote(out) + " New " + mix + " " + Quote(dir / "gone.wav"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "pelmora-cli: " + dir / "gone.wav" + ": no such file\n");
    EXPECT_FALSE(platform::PathExists(out + "/New.bin"));
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
        {"--version", ">/dev/full"},
        {"songs --help", ">/dev/full"},
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

namespace {

TEST_F(CliJobs, YesAnswersQuietlyAndQuietKeepsOnlyResultsAndErrors) {
    const std::string pc = dir / "pc", import = "import " + Quote(card) + " 'Demo 44k' " + Quote(pc);
    ASSERT_EQ(RunCli(import + " --tracks 1").status, 0);
    const std::string question = "Overwrite wave file.\nAre you ok?\nfile : " + pc + "/tr01.wav";
    const struct {
        std::string options;
        bool question, progress;
    } cases[] = {
        {"--yes", false, true},  {"-y", false, true},   {"--yes --verbose", true, true},
        {"-q -y", false, false}, {"-qy", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const CliRun run = RunCli(import + " --tracks 1 " + c.options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, pc + "/tr01.wav\n");
        EXPECT_EQ(run.err.find(question + "\n[OK: --yes]\n") != std::string::npos, c.question) << run.err;
        EXPECT_EQ(run.err.find(question) != std::string::npos, c.question) << run.err;
        EXPECT_EQ(run.err.find("ZT to PC") != std::string::npos, c.progress) << run.err;
        if (!c.progress) {
            EXPECT_EQ(run.err, "");
        }
    }
    // Quiet before the command too; errors are still told.
    const CliRun error = RunCli("-q import " + Quote(card) + " Nothing " + Quote(pc));
    EXPECT_EQ(error.status, 1);
    EXPECT_EQ(error.err, "pelmora-cli: no song \"Nothing\" on the card " + card + "\n");
    platform::CreateDirectory(dir / "empty");
    EXPECT_NE(RunCli("songs " + Quote(dir / "empty")).err, "");
    EXPECT_EQ(RunCli("songs -q " + Quote(dir / "empty")).err, "");
}

TEST_F(CliJobs, TracksWithNothingToRenderAreNamedAndNoFileAtAllFails) {
    const std::string pc = dir / "pc", import = "import " + Quote(card) + " 'Demo 44k' " + Quote(pc);
    const CliRun none = RunCli(import + " --tracks 5,7-8");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("pelmora-cli: tracks 5, 7 and 8 hold no audio; no file was written for them\n"
                            "pelmora-cli: no track file was written\n"),
              std::string::npos)
        << none.err;
    const CliRun some = RunCli(import + " --tracks 2,5");
    EXPECT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(some.out, pc + "/tr02.wav\n");
    EXPECT_NE(some.err.find("pelmora-cli: track 5 holds no audio; no file was written for it\n"),
              std::string::npos)
        << some.err;
    const CliRun ab = RunCli("import " + Quote(card) + " Mixdown " + Quote(pc) + " --tracks 3 --ab");
    EXPECT_EQ(ab.status, 1);
    EXPECT_NE(ab.err.find("track 3 holds no audio between locate points A and B;"), std::string::npos)
        << ab.err;
    EXPECT_EQ(platform::FindFiles(pc, "*").size(), 1u);
}

TEST_F(CliJobs, SongNamesInTheWrongCaseOrWithATypoSuggestTheNearNames) {
    const std::string pc = dir / "pc", backup = dir / "backup";
    ASSERT_EQ(RunCli("import " + Quote(card) + " 'Demo 44k' " + Quote(pc) + " --tracks 1").status, 0);
    const std::string onCard = " on the card " + card;
    const struct {
        std::string arguments, error;
    } cases[] = {
        {"import " + Quote(card) + " 'demo 44k' " + Quote(pc),
         "no song \"demo 44k\"" + onCard + " (song names keep their case); did you mean \"Demo 44k\"?\n"},
        {"import " + Quote(card) + " 'Demo 4k' " + Quote(pc),
         "no song \"Demo 4k\"" + onCard + "; did you mean \"Demo 44k\" or \"Demo 48k\"?\n"},
        {"import " + Quote(card) + " Nothing " + Quote(pc), "no song \"Nothing\"" + onCard + "\n"},
        {"check " + Quote(card) + " MIXDOWN",
         "no song \"MIXDOWN\"" + onCard + " (song names keep their case); did you mean \"Mixdown\"?\n"},
        {"backup " + Quote(card) + " " + Quote(backup) + " Mixdwn",
         "no song \"Mixdwn\"" + onCard + "; did you mean \"Mixdown\"?\n"},
        // A new song is never made under the name of another in other case.
        {"export " + Quote(pc) + " " + Quote(card) + " 'demo 48K' --yes",
         "no song \"demo 48K\"" + onCard + " (song names keep their case); did you mean \"Demo 48k\"?\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("pelmora-cli: " + c.error, 0), 0u) << run.err;
    }
    EXPECT_FALSE(platform::PathExists(card + "/demo 48K"));
    EXPECT_FALSE(platform::PathExists(backup + "/Mixdwn"));

    // A near name is only a warning where a new song is wanted.
    const CliRun made = RunCli("export " + Quote(pc) + " " + Quote(card) + " 'Demo 4k' --yes");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("warning: no song \"Demo 4k\"" + onCard + "; did you mean"), std::string::npos);
    EXPECT_TRUE(platform::PathExists(card + "/Demo 4k/Demo 4k.adl"));
}

TEST_F(CliJobs, JsonOfSongsRecordersAndCheckHasTheTablesFields) {
    if (!HaveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    // A name off a card that is not UTF-8 still gives a document that parses.
    ASSERT_TRUE(platform::CreateDirectory(card + "/Caf\xe9"));
    ASSERT_TRUE(WriteText(card + "/Caf\xe9/Caf\xe9.adl", AdlText(adl::SampleRateCode::Hz48000, {})));
    ASSERT_TRUE(WriteText(card + "/Demo 48k/zt50099.wav", "RIFF"));
    platform::SetFileAttributes(card + "/Mixdown/Mixdown.adl", platform::FILE_ATTRIBUTE_READONLY);
    auto parsed = [&](const std::string& arguments, const std::string& script) {
        std::string out;
        const int status = RunCommand(Quote(ProgramPath("pelmora-cli")) + " " + arguments +
                                          " </dev/null | PYTHONIOENCODING=utf-8 python3 -c " +
                                          Quote("import json, sys\nd = json.load(sys.stdin)\n" + script),
                                      &out);
        EXPECT_EQ(status, 0) << arguments;
        return out;
    };
    EXPECT_EQ(parsed("songs --json " + Quote(card),
                     "for s in d['songs']:\n"
                     "    a, b = s['locate_a'], s['locate_b']\n"
                     "    print(s['name'], s['rate'], s['bits'], s['tracks_in_use'], s['protected'],\n"
                     "          a and a['time_code'], a and a['samples'], b and b['samples'], sep='|')\n"),
              "Caf\xef\xbf\xbd|48000|None|[]|False|00.00.00.00/0000|0|0\n"
              "Demo 44k|44100|16|[1, 2, 3, 4]|False|00.00.01.00|0000|44100|220500\n"
              "Demo 48k|48000|16|[1, 2, 3, 4]|False|00.00.01.12/0960|72000|216000\n"
              "Mixdown|44100|16|[1]|True|00.00.00.00|0000|0|220500\n");
    EXPECT_EQ(parsed("check --json " + Quote(card) + " 'Demo 48k'",
                     "print(d['song'], d['clean'], [(p['kind'], p['file']) for p in d['problems']])\n"),
              "Demo 48k False [('unnamed_file', 'zt50099.wav')]\n");
    EXPECT_EQ(parsed("recorders --json", "print(type(d['recorders']).__name__)\n"), "list\n");
}

TEST_F(CliJobs, AFolderWithoutAnyAdlFileIsNoCardButAnEmptyOneIs) {
    const std::string notCard = dir / "home", empty = dir / "empty", warning = "does not look like a card";
    ASSERT_TRUE(platform::CreateDirectory(notCard));
    ASSERT_TRUE(platform::CreateDirectory(notCard + "/Documents"));
    ASSERT_TRUE(WriteText(notCard + "/Documents/notes.txt", "x"));
    ASSERT_TRUE(platform::CreateDirectory(empty));
    const CliRun other = RunCli("songs " + Quote(notCard));
    EXPECT_EQ(other.status, 0);
    EXPECT_NE(other.err.find("pelmora-cli: warning: " + notCard + " " + warning), std::string::npos)
        << other.err;
    EXPECT_EQ(RunCli("check -q " + Quote(notCard)).err.find(warning), std::string::npos);
    for (const std::string& folder : {card, empty})
        EXPECT_EQ(RunCli("songs " + Quote(folder)).err.find(warning), std::string::npos) << folder;

    // A new song in the empty card, no warning either.
    const std::string pc = dir / "pc";
    ASSERT_EQ(RunCli("import " + Quote(card) + " Mixdown " + Quote(pc)).status, 0);
    const CliRun made = RunCli("export " + Quote(pc) + " " + Quote(empty) + " First --yes");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err.find(warning), std::string::npos) << made.err;
}

// The column a terminal shows the byte at `at` of a line in (the names below: Latin letters and CJK).
size_t Column(const std::string& line, size_t at) {
    size_t column = 0;
    for (size_t i = 0; i < at; ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        column += (byte & 0xC0) != 0x80;                // a character starts here
        column += byte >= 0xE3 && byte <= 0xE9 ? 1 : 0; // CJK takes two columns
    }
    return column;
}

TEST(CliSongTable, KeepsItsColumnsForLongAndUtf8Names) {
    TempDir dir;
    const std::string card = dir / "card";
    const std::string names[] = {"Short", "Ünïcödé Sóng", "日本語の曲", "A song name longer than the column",
                                 "Bad\x1b[2JName"};
    ASSERT_TRUE(platform::CreateDirectory(card));
    for (const std::string& name : names) {
        ASSERT_TRUE(platform::CreateDirectory(card + "/" + name));
        ASSERT_TRUE(
            WriteText(card + "/" + name + "/" + name + ".adl", AdlText(adl::SampleRateCode::Hz48000, {})));
    }
    const CliRun run = RunCli("songs " + Quote(card));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << "a name cannot reach the terminal's controls";
    EXPECT_NE(run.out.find("Bad?[2JName "), std::string::npos);
    std::vector<std::string> lines;
    for (size_t at = 0; at < run.out.size(); at = run.out.find('\n', at) + 1)
        lines.push_back(run.out.substr(at, run.out.find('\n', at) - at));
    ASSERT_EQ(lines.size(), 6u) << run.out;
    const size_t rate = Column(lines[0], lines[0].find("Rate")),
                 locate = Column(lines[0], lines[0].find("Locate B"));
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(Column(lines[i], lines[i].find(" 48000 ") + 1), rate) << lines[i];
        EXPECT_EQ(Column(lines[i], lines[i].rfind("00.00.00.00/0000")), locate) << lines[i];
    }
}

// A song whose import runs long enough to be interrupted: 16 tracks of ten minutes, each made of one
// ten-second file over and over.
void MakeLongSong(const std::string& card) {
    const std::string folder = card + "/Long";
    ASSERT_TRUE(platform::CreateDirectory(folder));
    constexpr uint32_t kPiece = 10 * 48000;
    ASSERT_TRUE(WriteCardWav(folder + "/zt50001.wav", 1, kPiece));
    std::vector<Ev> events;
    uint16_t number = 1;
    for (int track = 1; track <= 16; ++track) {
        for (uint32_t k = 0; k < 60; ++k)
            events.push_back(
                {number++, adl::EditType::Cut, "zt50001.wav", track, 0, k * kPiece, (k + 1) * kPiece});
    }
    ASSERT_TRUE(WriteText(folder + "/Long.adl", AdlText(adl::SampleRateCode::Hz48000, events)));
}

TEST_F(CliJobs, CtrlCDuringAnImportEndsWith130AndLeavesOnlyWholeFiles) {
    MakeLongSong(card);
    const std::string pc = dir / "pc";
    CliProcess import({"import", card, "Long", pc});
    ASSERT_TRUE(import.WaitForLine("ZT to PC   Track1")) << import.Err();
    import.Signal(SIGINT);
    EXPECT_EQ(import.Wait(), 130) << import.Err();
    EXPECT_NE(import.Err().find("import cancelled; the track being written was removed"), std::string::npos)
        << import.Err();
    // Every track file left is whole: ten minutes of audio.
    const auto files = platform::FindFiles(pc, "*");
    EXPECT_LT(files.size(), 16u);
    for (const auto& file : files) {
        wave::CWaveFile w;
        ASSERT_TRUE(w.Open(pc + "/" + file.name, 1)) << file.name;
        EXPECT_EQ(w.GetChunkSize(wave::CWaveFile::CHUNK_DATA), 600u * 48000u * 2u) << file.name;
        w.Close();
    }
}

} // namespace
