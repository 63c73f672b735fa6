#include "Cli.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(CliUsage, HelpForTheToolAndEachCommand) {
    const CliRun tool = RunCli("--help");
    EXPECT_EQ(tool.status, 0);
    EXPECT_NE(tool.out.find("Commands:"), std::string::npos);
    EXPECT_EQ(RunCli("-h").out, tool.out);
    for (const char* command : {"backup", "verify", "restore"}) {
        const CliRun run = RunCli(std::string(command) + " --help");
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(std::string("Usage: pelmora-cli ") + command), std::string::npos) << command;
        EXPECT_EQ(RunCli(std::string(command) + " -h").out, run.out) << command;
    }
    const CliRun all = RunCli("--help-all");
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.out.find("  pelmora-cli check CARD [SONG]"), std::string::npos) << all.out;
}

TEST(CliUsage, VersionIsTheWindowsVersion) {
    const CliRun run = RunCli("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "pelmora-cli (Pelmora) 2.12\n");
}

TEST(CliUsage, UsageLinesNameTheSourceBeforeTheDestination) {
    const struct {
        const char* command;
        const char* usage;
    } cases[] = {
        {"import", "import CARD SONG PCDIR "},        {"export", "export PCDIR CARD SONG "},
        {"cd-image", "cd-image OUTDIR NAME WAV..."},  {"backup", "backup CARD BACKUP [SONG...]"},
        {"restore", "restore BACKUP CARD [SONG...]"}, {"verify", "verify BACKUP\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(std::string(c.command) + " --help");
        EXPECT_EQ(run.out.rfind(std::string("Usage: pelmora-cli ") + c.usage, 0), 0u) << run.out;
        // The same line when the arguments are wrong.
        const CliRun wrong = RunCli(c.command);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_NE(wrong.err.find(std::string("Usage: pelmora-cli ") + c.usage), std::string::npos)
            << wrong.err;
    }
}

TEST(CliUsage, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli("").status, 2);
    EXPECT_EQ(RunCli("no-such-command").status, 2);
    EXPECT_EQ(RunCli("verify").status, 2);
    EXPECT_EQ(RunCli("verify a b").status, 2);
    const struct {
        const char* arguments;
        const char* error;
    } cases[] = {
        {"restore a b --bogus", "unknown option --bogus"},
        {"verify a -y", "unknown option -y"}, // only the commands that ask take --yes
        {"songs a -qx", "unknown option -x"},
        {"songs a -q --verbose", "--quiet and --verbose cannot go together"},
        {"songs a --json=yes", "--json takes no value"},
        {"--bogus", "unknown option --bogus"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << c.arguments << "\n" << run.err;
    }
}

TEST(CliUsage, AdlInfoAnswersHelp) {
    const std::string info = ProgramPath("pelmora-adl-info");
    std::string out;
    EXPECT_EQ(RunCommand(Quote(info) + " --help", &out), 0);
    EXPECT_EQ(out.rfind("Usage: pelmora-adl-info SONG.adl\n", 0), 0u) << out;
    EXPECT_EQ(RunCommand(Quote(info) + " 2>/dev/null"), 2);
}

} // namespace
