#include "Cli.h"

#include "card/RestoreState.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

// A card with two songs: one with audio and a mixdown folder, one protected.
void MakeCard(const std::string& card) {
    platform::CreateDirectory(card);
    platform::CreateDirectory(card + "/Song A");
    platform::CreateDirectory(card + "/Song A/2mix");
    testsupport::WriteText(card + "/Song A/Song A.adl", "<ADL>\r\n</ADL>\r\n");
    std::vector<uint8_t> audio(70000);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<uint8_t>(i * 7);
    testsupport::WriteBytes(card + "/Song A/zt50001.wav", audio);
    testsupport::WriteBytes(card + "/Song A/2mix/mix.wav", audio);
    platform::CreateDirectory(card + "/Locked");
    testsupport::WriteText(card + "/Locked/Locked.adl", "x");
    platform::SetFileAttributes(card + "/Locked/Locked.adl", platform::FILE_ATTRIBUTE_READONLY);
    platform::CreateDirectory(card + "/.hidden");
}

TEST(CliBackup, BackupVerifyAndRestoreGiveTheSameBytesAndAttributes) {
    TempDir dir;
    const std::string card = dir / "card", backup = dir / "backup", empty = dir / "empty";
    MakeCard(card);

    const CliRun b = RunCli("backup " + Quote(card) + " " + Quote(backup));
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_FALSE(platform::PathExists(backup + "/.hidden")); // not a song
    EXPECT_EQ(RunCli("verify " + Quote(backup)).status, 0);

    platform::CreateDirectory(empty);
    const CliRun r = RunCli("restore " + Quote(backup) + " " + Quote(empty));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file :
         {"Song A/Song A.adl", "Song A/zt50001.wav", "Song A/2mix/mix.wav", "Locked/Locked.adl"})
        EXPECT_EQ(testsupport::ReadBytes(card + "/" + file), testsupport::ReadBytes(empty + "/" + file))
            << file;
    EXPECT_EQ(platform::GetFileAttributes(empty + "/Locked/Locked.adl"), platform::FILE_ATTRIBUTE_READONLY);
    // Nothing of the staging is left on the card.
    EXPECT_EQ(platform::FindFiles(empty, ".*").size(), 0u);
}

TEST(CliBackup, VerifyReportsAFlippedByteAndRestoreLeavesOutTheDamagedSong) {
    TempDir dir;
    const std::string card = dir / "card", backup = dir / "backup";
    MakeCard(card);
    ASSERT_EQ(RunCli("backup " + Quote(card) + " " + Quote(backup)).status, 0);
    auto bytes = testsupport::ReadBytes(backup + "/Song A/zt50001.wav");
    bytes[5000] ^= 0x01;
    testsupport::WriteBytes(backup + "/Song A/zt50001.wav", bytes);

    const CliRun v = RunCli("verify " + Quote(backup));
    EXPECT_EQ(v.status, 1);
    EXPECT_NE(v.err.find("changed: Song A/zt50001.wav"), std::string::npos);

    const std::string target = dir / "target";
    platform::CreateDirectory(target);
    const CliRun r = RunCli("restore " + Quote(backup) + " " + Quote(target));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the backup of Song A does not match its manifest; not restored"),
              std::string::npos);
    EXPECT_EQ(platform::FindFiles(target, "*").size(), 1u) << "only the healthy song";
    EXPECT_EQ(testsupport::ReadText(target + "/Locked/Locked.adl"), "x");
}

TEST(CliBackup, RestoreReplacesAnExistingSongOnlyWithYes) {
    TempDir dir;
    const std::string card = dir / "card", backup = dir / "backup";
    MakeCard(card);
    ASSERT_EQ(RunCli("backup " + Quote(card) + " " + Quote(backup) + " 'Song A'").status, 0);
    testsupport::WriteText(card + "/Song A/Song A.adl", "changed on the card");

    const CliRun refused = RunCli("restore " + Quote(backup) + " " + Quote(card));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(testsupport::ReadText(card + "/Song A/Song A.adl"), "changed on the card");

    const CliRun replaced = RunCli("restore " + Quote(backup) + " " + Quote(card) + " --yes");
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(testsupport::ReadText(card + "/Song A/Song A.adl"), "<ADL>\r\n</ADL>\r\n");
}

TEST(CliBackup, SongsTellsOfAnInterruptedRestoreAndTheNextWriteFinishesIt) {
    TempDir dir;
    const std::string card = dir / "card", backup = dir / "backup";
    MakeCard(card);
    ASSERT_EQ(RunCli("backup " + Quote(card) + " " + Quote(backup)).status, 0);
    // Killed between its two renames: the song moved aside, its checked copy beside it.
    const std::string copy = card + "/" + platform::OwnNameFor("restore", "Song A");
    ASSERT_TRUE(
        platform::RenameReplace(card + "/Song A", card + "/" + platform::OwnNameFor("old", "Song A")));
    std::filesystem::copy(backup + "/Song A", copy, std::filesystem::copy_options::recursive);
    testsupport::WriteText(copy + "/" + card::RestoreMarkName("Song A"), "checked");

    const CliRun listed = RunCli("songs " + Quote(card));
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(
        listed.out.find("\nSong A: restore interrupted after its copy was checked; the next write to this "
                        "card or a clean-up puts the copy in place\n"),
        std::string::npos)
        << listed.out;

    const CliRun other = RunCli("restore " + Quote(backup) + " " + Quote(card) + " Locked --yes");
    EXPECT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(testsupport::ReadText(card + "/Song A/Song A.adl"), "<ADL>\r\n</ADL>\r\n");
    EXPECT_EQ(RunCli("songs " + Quote(card)).out.find("interrupted"), std::string::npos);
    EXPECT_EQ(platform::FindFiles(card, ".pelmora-*").size(), 0u);
}

TEST(CliBackup, ASecondBackupIntoTheSameFolderKeepsTheFirstSong) {
    TempDir dir;
    const std::string card = dir / "card", backup = dir / "backup";
    MakeCard(card);
    ASSERT_EQ(RunCli("backup " + Quote(card) + " " + Quote(backup) + " Locked").status, 0);
    const CliRun again = RunCli("backup " + Quote(card) + " " + Quote(backup));
    EXPECT_EQ(again.status, 1); // Locked is already there
    EXPECT_NE(again.err.find("already holds Locked"), std::string::npos);
    EXPECT_EQ(RunCli("verify " + Quote(backup)).status, 0);
    EXPECT_NE(testsupport::ReadText(backup + "/MANIFEST.sha256").find("Song A/zt50001.wav"),
              std::string::npos);
}

TEST(CliBackup, MissingCardOrSongFails) {
    TempDir dir;
    EXPECT_EQ(RunCli("backup " + Quote(dir / "nope") + " " + Quote(dir / "b")).status, 1);
    const std::string card = dir / "card";
    MakeCard(card);
    const CliRun r = RunCli("backup " + Quote(card) + " " + Quote(dir / "b") + " Missing");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(RunCli("verify " + Quote(dir / "nothing")).status, 1);
}

} // namespace
