#include "Cli.h"

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

std::string Own(const std::string& name) {
    return platform::kOwnNamePrefix + name;
}

TEST(CliCheck, EachKindOfProblemThenTheCleanUp) {
    TempDir dir;
    const std::string card = dir / "card";
    ASSERT_EQ(RunCli("make-demo-card " + Quote(card)).status, 0);
    const CliRun clean = RunCli("check " + Quote(card));
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.out, card + ": clean\n");

    // One of each: a half-made song, a copy on its way in, a folder without a song, a missing file, an
    // unnamed file; and the user's own folders that look like leftovers but are not this program's.
    ASSERT_TRUE(platform::CreateDirectory(card + "/" + Own("new-1-1-Song Z")));
    ASSERT_TRUE(WriteText(card + "/Demo 44k/" + Own("part-zt50009.wav"), "RIFF"));
    ASSERT_TRUE(platform::CreateDirectory(card + "/Broken"));
    ASSERT_EQ(std::rename((card + "/Demo 48k/zt50002.wav").c_str(), (card + "/Demo 48k/zt50099.wav").c_str()),
              0);
    for (const char* mine : {"/chk", "/.hidden", "/Mixdown/notes.wav.tmp"})
        ASSERT_TRUE(mine[1] == 'M' ? WriteText(card + mine, "x") : platform::CreateDirectory(card + mine));

    const CliRun report = RunCli("check " + Quote(card));
    EXPECT_EQ(report.status, 1);
    for (const std::string& line :
         {"leftover: " + card + "/" + Own("new-1-1-Song Z") + ": ",
          "leftover: " + card + "/Demo 44k/" + Own("part-"), std::string("Broken: no readable ADL file"),
          std::string("chk: no readable ADL file"),
          std::string("Demo 48k: an event names zt50002.wav, which is missing"),
          std::string("Demo 48k: zt50099.wav is named by no event")})
        EXPECT_NE(report.out.find(line), std::string::npos) << line << "\n" << report.out;

    const CliRun tidy = RunCli("check " + Quote(card) + " --clean --orphans");
    EXPECT_EQ(tidy.status, 1) << "unnamed files stay without --yes";
    EXPECT_EQ(tidy.out.find("leftover:"), std::string::npos) << tidy.out;
    EXPECT_TRUE(platform::PathExists(card + "/Demo 48k/zt50099.wav"));
    EXPECT_NE(tidy.err.find("--yes"), std::string::npos);

    const CliRun orphans = RunCli("check " + Quote(card) + " 'Demo 48k' --clean --orphans --yes");
    EXPECT_NE(orphans.out.find("removed: Demo 48k/zt50099.wav"), std::string::npos) << orphans.out;
    EXPECT_FALSE(platform::PathExists(card + "/Demo 48k/zt50099.wav"));
    for (const char* mine : {"/chk", "/.hidden", "/Mixdown/notes.wav.tmp", "/Demo 48k/Demo 48k.adl"})
        EXPECT_TRUE(platform::PathExists(card + mine)) << mine << " is never this program's to remove";
    EXPECT_EQ(RunCli("check " + Quote(card) + " Nowhere").status, 1);
}

} // namespace
