#include "Cli.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(CliUsage, HelpForTheToolAndEachCommand) {
    const CliRun tool = RunCli("--help");
    EXPECT_EQ(tool.status, 0);
    EXPECT_NE(tool.out.find("Commands:"), std::string::npos);
    for (const char* command : {"backup", "verify", "restore"}) {
        const CliRun run = RunCli(std::string(command) + " --help");
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(std::string("Usage: pelmora-cli ") + command), std::string::npos) << command;
    }
}

TEST(CliUsage, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli("").status, 2);
    EXPECT_EQ(RunCli("no-such-command").status, 2);
    EXPECT_EQ(RunCli("verify").status, 2);
    EXPECT_EQ(RunCli("verify a b").status, 2);
    const CliRun badOption = RunCli("restore a b --bogus");
    EXPECT_EQ(badOption.status, 2);
    EXPECT_NE(badOption.err.find("unknown option --bogus"), std::string::npos);
}

} // namespace
