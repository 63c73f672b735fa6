// pelmora-cli killed at every call that changes a file: for each scenario a clean run counts the calls,
// then for each call N a fresh fixture is killed right before N and right after it, the card (and the
// backup or image) is checked, the same command is run again, and everything is checked once more.
//
// The test command samples the calls (the first and last few, and every k-th). Environment:
//   PELMORA_KILL_SWEEP=1          every call of every scenario, those known to fail included, and a table
//   PELMORA_KILL_STEP=before:37   that one kill only (after:37 for the other side of the call)
//   PELMORA_KILL_REPORT=FILE      one line per kill that broke something

#include "Cli.h"
#include "Damage.h"
#include "TestSupport.h"
#include "Wav.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

using killsweep::Findings;
using killsweep::Subtree;
using namespace testsupport;

namespace {

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// --- Fixtures: every audio file on a card is a marked file, so its samples tell whether it is whole ---

struct MarkedTrack {
    const char* file; // under the fixture folder
    int id;
    uint32_t samples;
};

// Song A is exported from src/a and Song B from src/b; the scenarios export pc; src/late goes into
// Song A after its backup.
constexpr MarkedTrack kTracks[] = {
    {"src/a/tr01.wav", 1, 300}, {"src/a/tr02.wav", 2, 350}, {"src/b/tr01.wav", 3, 400},
    {"src/b/tr02.wav", 4, 450}, {"src/b/tr03.wav", 5, 500}, {"pc/tr01.wav", 6, 310},
    {"pc/tr02.wav", 7, 420},    {"pc/tr03.wav", 8, 530},    {"src/late/tr01.wav", 9, 260},
};
const std::vector<int> kExported = {6, 7, 8};

std::map<int, uint32_t> MarkedLengths() {
    std::map<int, uint32_t> lengths;
    for (const auto& t : kTracks)
        lengths[t.id] = t.samples;
    return lengths;
}

void Cli(const std::string& arguments) {
    const CliRun run = RunCli(arguments);
    ASSERT_EQ(run.status, 0) << "pelmora-cli " << arguments << "\n" << run.err;
}

// Song A (two tracks) and Song B (three), each made by an export, and the files the scenarios export.
void MakeCard(const std::string& root) {
    for (const char* folder : {"card", "pc", "out", "src", "src/a", "src/b", "src/late"})
        platform::CreateDirectory(root + "/" + folder);
    for (const auto& t : kTracks)
        ASSERT_TRUE(WritePcWav(root + "/" + t.file, t.id, t.samples, {1, 16, 44100}));
    const std::string card = Quote(root + "/card");
    Cli("export " + Quote(root + "/src/a") + " " + card + " 'Song A' --yes");
    Cli("export " + Quote(root + "/src/b") + " " + card + " 'Song B' --yes");
    // Things of the user's that are no songs, and no leftovers of this program either.
    WriteText(root + "/card/notes.txt", "take 3 was the one");
    platform::CreateDirectory(root + "/card/.mine");
}

// The exported files again, two of them stereo 16-bit files at the song's rate: converted by a split
// into two tracks each, which keeps every sample, so each track's file is a marked file too.
void MakeConvertCard(const std::string& root) {
    MakeCard(root);
    platform::CreateDirectory(root + "/pcs");
    for (const auto& [name, id, channels] :
         {std::tuple{"tr01.wav", 6, 2}, {"tr03.wav", 7, 1}, {"tr05.wav", 8, 2}})
        ASSERT_TRUE(WritePcWav(root + "/pcs/" + name, id, MarkedLengths()[id],
                               {static_cast<uint16_t>(channels), 16, 44100}));
}

// The card backed up, then Song A changed, so that a restore replaces something.
void MakeBackedUp(const std::string& root) {
    MakeCard(root);
    Cli("backup " + Quote(root + "/card") + " " + Quote(root + "/out/backup"));
    Cli("export " + Quote(root + "/src/late") + " " + Quote(root + "/card") + " 'Song A' --yes");
}

void MakeBackedUpLessB(const std::string& root) {
    MakeBackedUp(root);
    RemoveTree(root + "/card/Song B");
}

// A one-track image "Mix" made before; the scenario makes it again with two tracks.
void MakeImaged(const std::string& root) {
    MakeCard(root);
    ASSERT_TRUE(WritePcWav(root + "/src/mix1.wav", 10, 700, kCdAudio));
    ASSERT_TRUE(WritePcWav(root + "/src/mix2.wav", 11, 900, kCdAudio));
    Cli("cd-image " + Quote(root + "/out/cd") + " Mix " + Quote(root + "/src/mix1.wav"));
}

// What kills leave: a part copy in a song, a song being built, a new version of an ADL file.
void MakeLeftovers(const std::string& root) {
    MakeCard(root);
    WriteText(root + "/card/Song A/.pelmora-part-zt50009.wav", "RIFF");
    platform::CreateDirectory(root + "/card/.pelmora-new-1-1-Song Z");
    WriteText(root + "/card/.pelmora-new-1-1-Song Z/Song Z.adl", "<ADL>\r\n");
    WriteText(root + "/card/Song B/.pelmora-update-Song B.adl", "<ADL>\r\n");
}

// --- The shim counts what it must, and kills where it is told ---

std::string Probe(const std::string& folder, const std::string& killAt) {
    const std::string log = folder + "/calls.log";
    std::string env = "PELMORA_CALL_LOG=" + Quote(log) + " LD_PRELOAD=" + Quote(PELMORA_KILL_SHIM);
    if (!killAt.empty())
        env += " PELMORA_KILL_AT=" + killAt;
    RunCommand(env + " " + PELMORA_KILL_PROBE + " " + Quote(folder + "/work") + " >/dev/null 2>&1");
    return Replace(ReadText(log), folder + "/work/", "");
}

TEST(KillShim, CountsEveryCallThatChangesAFileAndNothingElse) {
    TempDir dir;
    platform::CreateDirectory(dir / "work");
    // An open for writing counts whatever it opens; a write counts only into a file.
    EXPECT_EQ(Probe(dir.Path(), ""), "1 mkdir d\n"
                                     "2 mkdir d2\n"
                                     "3 open d/f wronly|creat|trunc\n"
                                     "4 write d/f 3\n"
                                     "5 pwrite d/f 3@8\n"
                                     "6 writev d/f 3\n"
                                     "7 fsync d/f\n"
                                     "8 fdatasync d/f\n"
                                     "9 sync_file_range d/f\n"
                                     "10 truncate d/f 1\n"
                                     "11 chmod d/f 0600\n"
                                     "12 fat-attributes d/f\n"
                                     "13 open /dev/null wronly\n"
                                     "14 creat d/g\n"
                                     "15 open d/h rdwr|creat\n"
                                     "16 truncate d/g 0\n"
                                     "17 chmod d/g 0644\n"
                                     "18 rename d/g -> d/g2\n"
                                     "19 rename d/g2 -> d/g3\n"
                                     "20 rename d/g3 -> d/g4 noreplace\n"
                                     "21 rename d/g4 -> d/g5 noreplace\n"
                                     "22 unlink d/g5\n"
                                     "23 unlink d/h\n"
                                     "24 rmdir d2\n"
                                     "25 open p64 wronly|creat\n"
                                     "26 pwrite p64 3@0\n"
                                     "27 creat c64\n"
                                     "28 open p64 wronly\n"
                                     "total 28\n");
}

TEST(KillShim, KillsRightBeforeOrRightAfterTheCall) {
    const struct {
        const char* at;
        const char* line;  // the log's last line
        const char* there; // where the file the renames move has got to
    } cases[] = {
        {"before:18", "kill before 18 rename d/g -> d/g2", "d/g"},
        {"after:18", "kill after 18 rename d/g -> d/g2", "d/g2"},
        {"before:19", "kill before 19 rename d/g2 -> d/g3", "d/g2"},
        {"after:21", "kill after 21 rename d/g4 -> d/g5 noreplace", "d/g5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        TempDir dir;
        platform::CreateDirectory(dir / "work");
        const auto lines = Lines(Probe(dir.Path(), c.at));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.line);
        EXPECT_EQ(platform::FindFiles(dir / "work/d", "g*").size(), 1u);
        EXPECT_TRUE(platform::PathExists(dir / ("work/" + std::string(c.there))));
    }
}

// --- The checks see damage: each row breaks a card the way a kill might ---

void Resize(const std::string& path, size_t size) {
    auto bytes = ReadBytes(path);
    bytes.resize(size);
    WriteBytes(path, bytes);
}

void FlipSample(const std::string& path) {
    auto bytes = ReadBytes(path);
    bytes[wave::kAudioOffset + 10] ^= 1;
    WriteBytes(path, bytes);
}

void EntryTwice(const std::string& adlPath) {
    std::string text = ReadText(adlPath);
    const auto at = text.rfind("\t\t(Entry)");
    text.insert(at, text.substr(at, text.find('\n', at) + 1 - at));
    WriteText(adlPath, text);
}

struct Damage {
    const char* what;
    void (*apply)(const std::string& card);
    const char* finding; // empty: no problem, one leftover
};

const Damage kDamages[] = {
    {"a file cut short", [](const std::string& c) { Resize(c + "/Song A/zt50002.wav", 33000); },
     "Song A: event 0002 names zt50002.wav, which holds less audio than its header says"},
    {"a file longer than its audio",
     [](const std::string& c) { Resize(c + "/Song A/zt50002.wav", wave::kAudioOffset + 702); },
     "Song A: event 0002 names zt50002.wav, whose 33470 bytes do not match its header"},
    {"a file gone", [](const std::string& c) { std::remove((c + "/Song A/zt50001.wav").c_str()); },
     "Song A: event 0001 names zt50001.wav, which is missing"},
    {"an ADL that does not parse",
     [](const std::string& c) { WriteText(c + "/Song A/Song A.adl", "<ADL>\r\n"); },
     "Song A: its ADL file does not open"},
    {"another file's audio",
     [](const std::string& c) {
         WriteBytes(c + "/Song A/zt50001.wav", ReadBytes(c + "/Song B/zt50001.wav"));
     },
     "plays 300 samples from 0 of its 400"},
    {"audio changed", [](const std::string& c) { FlipSample(c + "/Song A/zt50001.wav"); },
     "which holds 300 samples that are not exactly the 300 of file 1"},
    {"an entry twice", [](const std::string& c) { EntryTwice(c + "/Song A/Song A.adl"); },
     "Song A: entry 0002 is there twice"},
    {"a song it does not touch", [](const std::string& c) { WriteText(c + "/Song B/2mix/mix.wav", "x"); },
     "Song B: it was changed, though the command does not touch it"},
    {"a song hidden away",
     [](const std::string& c) { std::rename((c + "/Song B").c_str(), (c + "/.Song B.old").c_str()); },
     "Song B: it is gone from the song listing"},
    {"a folder that is no song", [](const std::string& c) { platform::CreateDirectory(c + "/Song D"); },
     "the song listing shows Song D, which was neither there nor asked for"},
    {"a file of the user's", [](const std::string& c) { std::remove((c + "/notes.txt").c_str()); },
     "notes.txt was changed or removed"},
    {"a leftover", [](const std::string& c) { platform::CreateDirectory(c + "/.pelmora-new-9-9-Song Q"); },
     ""},
};

TEST(KillChecks, SeeEachKindOfDamage) {
    TempDir dir;
    const std::string fixture = dir / "fixture";
    platform::CreateDirectory(fixture);
    ASSERT_NO_FATAL_FAILURE(MakeCard(fixture));
    const Tree before = ReadTree(fixture + "/card");
    for (const auto& d : kDamages) {
        SCOPED_TRACE(d.what);
        const std::string root = dir / d.what;
        ASSERT_TRUE(CopyTree(fixture, root));
        d.apply(root + "/card");
        Findings f;
        killsweep::CheckCard(root + "/card", before, {{"Song A"}, {}, MarkedLengths()}, &f);
        std::string problems;
        for (const auto& p : f.problems)
            problems += p + "\n";
        if (*d.finding == '\0') {
            EXPECT_EQ(problems, "");
            EXPECT_EQ(f.leftovers.size(), 1u);
        } else {
            EXPECT_NE(problems.find(d.finding), std::string::npos) << problems;
        }
    }
}

// --- The scenarios ---

// What a command makes, and so what a kill may leave and what a re-run must finish.
enum class Makes {
    Tracks, // tracks placed in a song one at a time; the re-run places them all
    Songs,  // whole songs: each is as before or as after a clean run, never between
    Clean,  // as Songs, and the re-run leaves nothing under this program's own names
    Backup, // a backup that never verifies while it misses files; the re-run completes it
    Image,  // a CD image whose cue sheet never stands beside another .bin; the re-run makes it
};

struct Scenario {
    const char* name;
    void (*fixture)(const std::string& root);
    const char* command; // pelmora-cli arguments, run in the fixture folder
    std::set<std::string> touched;
    std::set<std::string> added;
    Makes makes;
};

const Scenario kScenarios[] = {
    {"ExportIntoSong", MakeCard, "export pc card 'Song A' --yes", {"Song A"}, {}, Makes::Tracks},
    {"ExportNewSong", MakeCard, "export pc card 'Song C' --yes", {}, {"Song C"}, Makes::Tracks},
    {"ExportConverted",
     MakeConvertCard,
     "export pcs card 'Song A' --yes --convert",
     {"Song A"},
     {},
     Makes::Tracks},
    {"Backup", MakeCard, "backup card out/backup", {}, {}, Makes::Backup},
    {"RestoreAll", MakeBackedUp, "restore out/backup card --yes", {"Song A", "Song B"}, {}, Makes::Songs},
    {"RestoreOne", MakeBackedUpLessB, "restore out/backup card 'Song B' --yes", {}, {"Song B"}, Makes::Songs},
    {"CdImage", MakeImaged, "cd-image out/cd Mix src/mix1.wav src/mix2.wav --yes", {}, {}, Makes::Image},
    {"CheckClean", MakeLeftovers, "check card --clean", {"Song A", "Song B"}, {}, Makes::Clean},
};

// Scenarios the program is known to fail (scripts/kill-sweep.sh lists every broken kill): the test
// command skips them, the sweep runs them. Empty: the test command holds the program to every one.
const std::set<std::string> kKnownToFail = {};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.name;
}

// --- Running the scenarios ---

struct Tally {
    std::string scenario;
    int64_t steps = 0;
    int kills = 0;
    int failed = 0;
    int damagedSongs = 0;
    int leftovers = 0;      // things under this program's own names left by the kills
    int leftoversRerun = 0; // and still there after the re-runs
    int unnamed = 0;        // audio files no event names, left by the kills
    std::string note;
};
std::vector<Tally>& Tallies() {
    static std::vector<Tally> tallies;
    return tallies;
}

bool Sweep() {
    const char* sweep = std::getenv("PELMORA_KILL_SWEEP");
    return sweep && std::string(sweep) == "1";
}

// The calls to kill at: every one in a sweep, else the first and last three and every k-th between.
std::vector<int64_t> Steps(int64_t total) {
    std::vector<int64_t> steps;
    const int64_t every = std::max<int64_t>(1, total / 8);
    for (int64_t n = 1; n <= total; ++n)
        if (Sweep() || n <= 3 || n > total - 3 || n % every == 0)
            steps.push_back(n);
    return steps;
}

// The variables that preload the shim, which then goes ahead of everything in the program (ahead of the
// sanitizer runtime too, in an instrumented build).
std::vector<std::pair<std::string, std::string>> Shim(const std::string& log,
                                                      const std::string& killAt = {}) {
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    std::vector<std::pair<std::string, std::string>> environment = {
        {"LD_PRELOAD", PELMORA_KILL_SHIM},
        {"PELMORA_CALL_LOG", log},
        {"ASAN_OPTIONS", std::string(sanitizer ? sanitizer : "") + ":verify_asan_link_order=0"}};
    if (!killAt.empty())
        environment.emplace_back("PELMORA_KILL_AT", killAt);
    return environment;
}

class KillSweep : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        const Scenario& s = GetParam();
        if (kKnownToFail.count(s.name) != 0 && !Sweep() && !std::getenv("PELMORA_KILL_STEP"))
            GTEST_SKIP() << s.name << " is known to fail; the sweep (scripts/kill-sweep.sh) runs it";
        m_template = m_dir / "template";
        platform::CreateDirectory(m_template);
        ASSERT_NO_FATAL_FAILURE(s.fixture(m_template));
        m_before = ReadTree(m_template);
        m_tally.scenario = s.name;
    }

    void TearDown() override {
        if (!m_tally.scenario.empty())
            Tallies().push_back(m_tally);
    }

    // The scenario once without a kill: how many calls it makes, and what it leaves.
    bool CountCalls() {
        const std::string root = m_dir / "clean", log = m_dir / "clean.log";
        CopyTree(m_template, root);
        const CliRun run = RunCli(GetParam().command, Shim(log), root);
        if (run.status != 0) {
            m_tally.note = platform::Format("the run without a kill fails (exit %d)", run.status);
            ADD_FAILURE() << GetParam().name << ": the run without a kill fails (exit " << run.status << ")\n"
                          << run.err;
            return false;
        }
        for (const auto& line : Lines(ReadText(log))) {
            if (line.rfind("total ", 0) == 0)
                m_tally.steps = std::atoll(line.c_str() + 6);
        }
        m_after = ReadTree(root);
        return m_tally.steps > 0;
    }

    Findings Check(const std::string& root, bool rerun) const {
        const Scenario& s = GetParam();
        const bool whole = s.makes == Makes::Songs || s.makes == Makes::Clean;
        const Tree cardBefore = Subtree(m_before, "card/"), cardAfter = Subtree(m_after, "card/");
        killsweep::CardRules rules{s.touched, s.added, MarkedLengths(), whole ? &cardAfter : nullptr};
        Findings f;
        const std::string card = root + "/card";
        killsweep::CheckCard(card, cardBefore, rules, &f);
        switch (s.makes) {
        case Makes::Tracks: // into the one song the row names
            if (rerun)
                killsweep::CheckHolds(card, *(s.touched.empty() ? s.added : s.touched).begin(), kExported,
                                      &f);
            break;
        case Makes::Backup:
            killsweep::CheckBackup(root + "/out/backup", cardBefore, rerun, &f);
            break;
        case Makes::Image:
            killsweep::CheckImage(root + "/out/cd", "Mix", Subtree(m_before, "out/cd/"),
                                  Subtree(m_after, "out/cd/"), rerun, &f);
            break;
        case Makes::Songs:
        case Makes::Clean:
            if (rerun)
                MustBeAsClean(card, cardAfter, &f);
            if (rerun && s.makes == Makes::Clean && !f.leftovers.empty())
                f.Problem("the re-run leaves " + f.leftovers[0]);
            break;
        }
        return f;
    }

    void MustBeAsClean(const std::string& card, const Tree& cardAfter, Findings* f) const {
        const Tree now = ReadTree(card);
        for (const auto* songs : {&GetParam().touched, &GetParam().added})
            for (const auto& song : *songs)
                if (Subtree(now, song + "/") != Subtree(cardAfter, song + "/"))
                    f->Song(song, "the re-run does not leave it as a whole run does");
    }

    // One kill: a fresh fixture, the command killed at the call, the checks, the re-run, the checks.
    void Kill(const std::string& when, int64_t n) {
        TempDir dir;
        const std::string root = dir / "f", log = dir / "calls.log";
        ASSERT_TRUE(CopyTree(m_template, root));
        RunCli(GetParam().command, Shim(log, when + ":" + std::to_string(n)), root);
        std::string call;
        for (const auto& line : Lines(ReadText(log)))
            if (line.rfind("kill ", 0) == 0)
                call = Replace(line, root + "/", "");

        Findings killed = Check(root, false);
        if (call.empty()) {
            call = platform::Format("%s %lld", when.c_str(), static_cast<long long>(n));
            killed.Problem("the run ended before this call: it made fewer calls than the run without a kill");
        }
        const CliRun rerun = RunCli(GetParam().command, {}, root);
        Findings after = Check(root, true);
        if (rerun.status != 0 && GetParam().makes != Makes::Backup) // a backup refuses the songs it holds
            after.Problem(platform::Format("the re-run fails (exit %d): %s", rerun.status,
                                           Lines(rerun.err).empty() ? "" : Lines(rerun.err).back().c_str()));
        Record(call, killed, after);
    }

    void Record(const std::string& call, const Findings& killed, const Findings& after) {
        ++m_tally.kills;
        m_tally.leftovers += static_cast<int>(killed.leftovers.size());
        m_tally.leftoversRerun += static_cast<int>(after.leftovers.size());
        m_tally.unnamed += static_cast<int>(killed.unnamed.size());
        std::set<std::string> damaged = killed.damagedSongs;
        damaged.insert(after.damagedSongs.begin(), after.damagedSongs.end());
        m_tally.damagedSongs += static_cast<int>(damaged.size());
        if (killed.problems.empty() && after.problems.empty())
            return;
        ++m_tally.failed;
        std::string text = std::string(GetParam().name) + " | " + call + " |";
        for (const auto& p : killed.problems)
            text += " after the kill: " + p + ";";
        for (const auto& p : after.problems)
            text += " after the re-run: " + p + ";";
        ADD_FAILURE() << text;
        if (const char* report = std::getenv("PELMORA_KILL_REPORT"))
            std::ofstream(report, std::ios::app) << text << "\n";
    }

    TempDir m_dir;
    std::string m_template;
    Tree m_before, m_after;
    Tally m_tally;
};

TEST_P(KillSweep, EveryKillLeavesWholeSongsAndAReRunFinishes) {
    if (!CountCalls())
        return;
    if (const char* only = std::getenv("PELMORA_KILL_STEP")) {
        const std::string step = only;
        const auto colon = step.find(':');
        Kill(step.substr(0, colon), std::atoll(step.c_str() + colon + 1));
        return;
    }
    for (int64_t n : Steps(m_tally.steps))
        for (const char* when : {"before", "after"})
            Kill(when, n);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, KillSweep, ::testing::ValuesIn(kScenarios),
                         [](const auto& row) { return std::string(row.param.name); });

// The sweep's table, printed once every scenario has run.
class TablePrinter : public ::testing::Environment {
public:
    void TearDown() override {
        if (Tallies().empty())
            return;
        std::printf("\n%-16s %6s %6s %7s %14s %10s %16s %14s\n", "scenario", "steps", "kills", "failed",
                    "songs damaged", "leftovers", "after re-runs", "unnamed audio");
        for (const auto& t : Tallies())
            std::printf("%-16s %6lld %6d %7d %14d %10d %16d %14d %s\n", t.scenario.c_str(),
                        static_cast<long long>(t.steps), t.kills, t.failed, t.damagedSongs, t.leftovers,
                        t.leftoversRerun, t.unnamed, t.note.c_str());
    }
};
[[maybe_unused]] const auto* const kTable = ::testing::AddGlobalTestEnvironment(new TablePrinter);

} // namespace
