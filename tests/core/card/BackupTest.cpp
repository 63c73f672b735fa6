#include "card/Backup.h"

#include "Fakes.h"
#include "TestSupport.h"
#include "Wav.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "platform/Faults.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace testsupport;
using card::BackupOutcome;

namespace {

constexpr size_t kBlock = 1 << 20;

// Sets the cancel flag once the bar passes a position.
class CancellingBar : public RecordingBar {
public:
    CancellingBar(platform::CancelFlag* cancel, int64_t at) : m_cancel(cancel), m_at(at) {}
    void SetPos(int64_t pos) override {
        RecordingBar::SetPos(pos);
        if (pos >= m_at)
            *m_cancel = 1;
    }

private:
    platform::CancelFlag* m_cancel;
    int64_t m_at;
};

// A card with "Song04" (a read-only ADL, audio of one and a half blocks, a mixdown) and "Song04-01",
// whose name sorts between "Song04" and the paths inside it.
class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CreateDirectory(m_card);
        MakeSong("Song04", kBlock + kBlock / 2);
        MakeSong("Song04-01", 5000);
    }
    void MakeSong(const std::string& song, size_t audio) {
        const std::string folder = platform::JoinPath(m_card, song);
        platform::CreateDirectory(folder);
        platform::CreateDirectory(folder + "/2mix");
        WriteText(folder + "/" + song + ".adl", "<ADL>\r\n</ADL>\r\n");
        WriteBytes(folder + "/zt50001.wav", Pcm(audio, static_cast<uint32_t>(audio)));
        WriteBytes(folder + "/2mix/mix.wav", Pcm(300));
        platform::SetFileAttributes(folder + "/" + song + ".adl", platform::FILE_ATTRIBUTE_READONLY);
    }
    card::BackupResult Backup(platform::ITextLine* status = nullptr, platform::IProgressBar* bar = nullptr,
                              const platform::CancelFlag* cancel = nullptr) {
        return card::RunBackup({m_card, m_backup, {"Song04", "Song04-01"}}, &m_box, status, bar, cancel);
    }
    card::BackupResult Restore(const std::string& card, bool overwrite = false,
                               const platform::CancelFlag* cancel = nullptr,
                               platform::IProgressBar* bar = nullptr) {
        return card::RunRestore({m_backup, card, card::SongsInBackup(m_backup), overwrite}, &m_box, nullptr,
                                bar, cancel);
    }
    card::BackupResult Verify() { return card::RunVerify({m_backup}, &m_box, nullptr, nullptr, nullptr); }
    std::vector<std::string> Names(const std::string& folder, const char* pattern = "*") const {
        std::vector<std::string> names;
        for (const auto& e : platform::FindFiles(folder, pattern))
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    // The files of a song folder and their bytes, without this program's own names; empty when the
    // folder is missing.
    static std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder) {
        std::map<std::string, std::vector<uint8_t>> files;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            const std::string rel = std::filesystem::relative(it->path(), folder).string();
            if (!platform::IsOwnName(rel) && it->is_regular_file())
                files[rel] = ReadBytes(it->path().string());
        }
        return files;
    }
    // A song on the card made different from its backup: another ADL, one more file, no mixdown.
    void ChangeSong(const std::string& song) {
        const std::string folder = m_card + "/" + song;
        platform::SetFileAttributes(folder + "/" + song + ".adl", 0);
        WriteText(folder + "/" + song + ".adl", "the card's own");
        WriteBytes(folder + "/zt50002.wav", Pcm(7000, 9));
        platform::DeleteFile(folder + "/2mix/mix.wav");
    }

    TempDir m_dir;
    std::string m_card = m_dir / "card", m_backup = m_dir / "backup";
    ScriptedMessageBox m_box;
};

TEST_F(BackupTest, RoundTripKeepsBytesAndAttributesAndNamesEachSong) {
    RecordingTextLine status;
    RecordingBar bar;
    const auto backed = Backup(&status, &bar);
    EXPECT_EQ(backed.outcome, BackupOutcome::Finished);
    EXPECT_EQ(backed.files, 6);
    EXPECT_EQ(backed.bytes, kBlock + kBlock / 2 + 5000 + 2 * (300 + 15));
    EXPECT_EQ(status.texts, (std::vector<std::string>{"Backup   Song04", "Backup   Song04-01"}));
    EXPECT_EQ(bar.Pos(), bar.High());
    EXPECT_EQ(card::SongsInBackup(m_backup), (std::vector<std::string>{"Song04", "Song04-01"}));
    EXPECT_EQ(Verify().files, 6);

    const std::string target = m_dir / "target";
    platform::CreateDirectory(target);
    const auto restored = Restore(target);
    EXPECT_EQ(restored.outcome, BackupOutcome::Finished);
    EXPECT_EQ(restored.files, 6);
    for (const char* file :
         {"Song04/Song04.adl", "Song04/zt50001.wav", "Song04/2mix/mix.wav", "Song04-01/zt50001.wav"})
        EXPECT_EQ(ReadBytes(m_card + "/" + file), ReadBytes(target + "/" + file)) << file;
    EXPECT_EQ(platform::GetFileAttributes(target + "/Song04/Song04.adl"), platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Names(target), (std::vector<std::string>{"Song04", "Song04-01"})) << "no staging left";
    EXPECT_TRUE(m_box.Texts().empty());
}

TEST_F(BackupTest, VerifyFindsADamagedFileAndRestoreRefusesTheBackup) {
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    auto bytes = ReadBytes(m_backup + "/Song04/zt50001.wav");
    bytes[kBlock + 10] ^= 0x01;
    WriteBytes(m_backup + "/Song04/zt50001.wav", bytes);
    platform::DeleteFile(m_backup + "/Song04-01/2mix/mix.wav");

    const auto verified = Verify();
    EXPECT_EQ(verified.outcome, BackupOutcome::Problems);
    EXPECT_EQ(verified.files, 4);
    const std::vector<std::string> problems = {"missing or unreadable: Song04-01/2mix/mix.wav",
                                               "changed: Song04/zt50001.wav"};
    EXPECT_EQ(verified.problems, problems);
    EXPECT_EQ(m_box.Texts(), std::vector<std::string>{problems[0] + "\n" + problems[1]}) << "told once";

    const std::string target = m_dir / "target";
    platform::CreateDirectory(target);
    const auto restored = Restore(target);
    EXPECT_EQ(restored.outcome, BackupOutcome::Refused);
    EXPECT_EQ(restored.problems, problems);
    EXPECT_EQ(restored.message, "the backup does not match its manifest; nothing restored");
    EXPECT_TRUE(Names(target).empty());
}

TEST_F(BackupTest, RestoreRefusesAnExistingSongAndAFolderTheBackupDoesNotRecord) {
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    // A song folder in the backup that its manifest does not know (a copy cut short, say).
    ASSERT_TRUE(platform::CreateDirectory(m_backup + "/Stray"));
    WriteText(m_backup + "/Stray/Stray.adl", "half");
    platform::SetFileAttributes(m_card + "/Song04/Song04.adl", 0);
    WriteText(m_card + "/Song04/Song04.adl", "changed on the card");

    const auto r =
        card::RunRestore({m_backup, m_card, {"Song04", "Stray"}, false}, &m_box, nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, BackupOutcome::Problems);
    EXPECT_EQ(r.problems, (std::vector<std::string>{
                              "song Song04 exists on the card; not replaced (use --yes to replace it)",
                              "the backup holds no song Stray"}));
    EXPECT_EQ(ReadText(m_card + "/Song04/Song04.adl"), "changed on the card");
    EXPECT_FALSE(platform::PathExists(m_card + "/Stray"));
}

TEST_F(BackupTest, ALinkToAFolderIsNamedAndNeverFollowed) {
    ASSERT_EQ(::symlink(".", (m_card + "/Song04/loop").c_str()), 0);
    const auto backed = Backup();
    EXPECT_EQ(backed.problems, std::vector<std::string>{"skipped a link to a folder: Song04/loop"});
    EXPECT_EQ(backed.files, 6);
    EXPECT_EQ(Verify().files, 6);
}

TEST_F(BackupTest, AnInterruptedCopyLeavesNothingHalfMade) {
    // Interrupted inside Song04's audio: by Cancel after its first block, or by a failed write.
    struct Case {
        const char* what;
        bool cancel;
    };
    for (const Case c : {Case{"cancelled", true}, Case{"failed write", false}}) {
        SCOPED_TRACE(c.what);
        platform::CancelFlag cancel{0};
        CancellingBar bar(&cancel, c.cancel ? static_cast<int64_t>(kBlock) : INT64_MAX);
        platform::faults::Plan plan;
        plan.failWriteAt = c.cancel ? 0 : 3; // mix.wav, the ADL, then the audio's first block
        RemoveTree(m_backup);
        card::BackupResult backed;
        {
            platform::faults::ScopedPlan armed(plan);
            backed = Backup(nullptr, &bar, &cancel);
        }
        EXPECT_EQ(backed.outcome, c.cancel ? BackupOutcome::Cancelled : BackupOutcome::Problems);
        EXPECT_FALSE(platform::PathExists(m_backup + "/Song04")) << "the song being copied is removed";
        if (c.cancel) {
            EXPECT_FALSE(platform::PathExists(m_backup)) << "the backup folder it made is empty";
            continue;
        }
        EXPECT_EQ(backed.files, 3) << "only what is in the backup counts";
        EXPECT_EQ(card::SongsInBackup(m_backup), std::vector<std::string>{"Song04-01"});
    }

    // A restore over the card's own Song04, interrupted the same ways, leaves that song as it was.
    RemoveTree(m_backup);
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    platform::SetFileAttributes(m_card + "/Song04/Song04.adl", 0);
    WriteText(m_card + "/Song04/Song04.adl", "the card's own");
    for (const Case c : {Case{"cancelled", true}, Case{"failed write", false}}) {
        SCOPED_TRACE(c.what);
        platform::CancelFlag cancel{0};
        CancellingBar bar(&cancel, c.cancel ? static_cast<int64_t>(kBlock) : INT64_MAX);
        platform::faults::Plan plan;
        plan.failWriteAt = c.cancel ? 0 : 3;
        card::BackupResult restored;
        {
            platform::faults::ScopedPlan armed(plan);
            restored = card::RunRestore({m_backup, m_card, {"Song04"}, true}, &m_box, nullptr, &bar, &cancel);
        }
        EXPECT_EQ(restored.outcome, c.cancel ? BackupOutcome::Cancelled : BackupOutcome::Problems);
        EXPECT_EQ(ReadText(m_card + "/Song04/Song04.adl"), "the card's own");
        EXPECT_EQ(Names(m_card), (std::vector<std::string>{"Song04", "Song04-01"})) << "no staging left";
        EXPECT_EQ(restored.files, 0);
    }
}

// A restore killed before any of its changes to the card, as it runs, leaves the card's song whole
// (old or new), or, where the names cannot be swapped in one step, missing only while the checked copy
// waits beside it; the next write to the card or a clean-up then finishes or undoes it.
TEST_F(BackupTest, ARestoreKilledAtAnyStepIsFinishedOrUndoneByTheNextWriteOrAClean) {
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    const auto fresh = Snapshot(m_backup + "/Song04-01");
    ChangeSong("Song04-01");
    RemoveTree(m_card + "/Song04"); // a small card: the sweep copies it before every run
    const std::string saved = m_dir / "saved", other = m_dir / "other";
    std::filesystem::copy(m_card, saved, std::filesystem::copy_options::recursive);
    const auto before = Snapshot(m_card + "/Song04-01");
    auto restore = [&](const std::string& card) {
        return card::RunRestore({m_backup, card, {"Song04-01"}, true}, &m_box, nullptr, nullptr, nullptr);
    };

    struct Row {
        const char* what;
        bool noExchange; // the file system cannot swap two names
        bool newSong;    // the card has no such song yet
    };
    for (const Row row : {Row{"swapped in one step", false, false}, Row{"moved aside first", true, false},
                          Row{"a new song", false, true}}) {
        SCOPED_TRACE(row.what);
        const auto old = row.newSong ? decltype(before){} : before;
        platform::faults::Plan plan;
        plan.noExchange = row.noExchange;
        const int64_t kills = SweepFaults(200, [&](int64_t n) {
            RemoveTree(m_card);
            std::filesystem::copy(saved, m_card, std::filesystem::copy_options::recursive);
            if (row.newSong)
                RemoveTree(m_card + "/Song04-01");
            const bool killed = KilledAt(
                n, [&] { restore(m_card); }, plan);
            SCOPED_TRACE("killed before change " + std::to_string(n));

            const auto interrupted = card::FindInterruptedRestores(m_card);
            const card::RestoreFix fix = interrupted.empty() ? card::RestoreFix::None : interrupted[0].fix;
            EXPECT_NE(fix, card::RestoreFix::Leave);
            const auto song = Snapshot(m_card + "/Song04-01");
            const bool whole = song == old || song == fresh;
            // Missing only where the names cannot be swapped, while the checked copy waits beside it.
            const bool mayBeMissing = row.noExchange && !row.newSong && fix == card::RestoreFix::Finish;
            EXPECT_TRUE(whole || (mayBeMissing && song.empty())) << "the song is never lost nor half-made";
            if (!killed) {
                EXPECT_TRUE(song == fresh) << "the run the kill did not reach restored the song";
            }

            // What the kill left is finished by a clean-up here, and by the next restore on a copy of it.
            RemoveTree(other);
            std::filesystem::copy(m_card, other, std::filesystem::copy_options::recursive);
            card::CJobLock lock;
            EXPECT_EQ(lock.LockCard(m_card, true), card::CJobLock::Result::Locked);
            EXPECT_TRUE(card::TidyLeftovers(m_card, lock).problems.empty());
            lock.Unlock();
            const auto& expected = fix == card::RestoreFix::None     ? song
                                   : fix == card::RestoreFix::Finish ? fresh
                                                                     : old;
            EXPECT_TRUE(Snapshot(m_card + "/Song04-01") == expected);
            EXPECT_EQ(restore(other).outcome, BackupOutcome::Finished);
            EXPECT_TRUE(Snapshot(other + "/Song04-01") == fresh);
            for (const std::string& card : {m_card, other}) {
                EXPECT_TRUE(card::FindLeftovers(card).empty()) << card;
                EXPECT_EQ(Names(card, ".pelmora-*"), std::vector<std::string>{}) << card;
            }
            return killed ? n : n - 1;
        });
        EXPECT_GT(kills, 10);
    }
}

TEST_F(BackupTest, RestoreGoesSongBySong) {
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    const std::string target = m_dir / "target";
    platform::CreateDirectory(target);

    // A damaged song is named and left out; the healthy one is restored.
    auto bytes = ReadBytes(m_backup + "/Song04/zt50001.wav");
    bytes[10] ^= 0x01;
    WriteBytes(m_backup + "/Song04/zt50001.wav", bytes);
    auto restored = Restore(target, true);
    EXPECT_EQ(restored.outcome, BackupOutcome::Problems);
    EXPECT_EQ(restored.problems,
              (std::vector<std::string>{"changed: Song04/zt50001.wav",
                                        "the backup of Song04 does not match its manifest; not restored"}));
    EXPECT_EQ(restored.files, 3);
    EXPECT_EQ(Names(target), std::vector<std::string>{"Song04-01"});
    EXPECT_EQ(ReadBytes(target + "/Song04-01/zt50001.wav"), ReadBytes(m_card + "/Song04-01/zt50001.wav"));
    bytes[10] ^= 0x01;
    WriteBytes(m_backup + "/Song04/zt50001.wav", bytes);

    // A song another program writes is not replaced.
    ChangeSong("Song04");
    const auto before = Snapshot(m_card + "/Song04");
    card::CJobLock writer;
    ASSERT_EQ(writer.LockSong(m_card, "Song04", card::CJobLock::Use::Write), card::CJobLock::Result::Locked);
    restored = card::RunRestore({m_backup, m_card, {"Song04"}, true}, &m_box, nullptr, nullptr, nullptr);
    EXPECT_EQ(restored.problems, std::vector<std::string>{card::SongInUseText("Song04")});
    EXPECT_TRUE(Snapshot(m_card + "/Song04") == before);

    // Halves of an interrupted restore wait while another job holds the card: that song is not
    // restored meanwhile, and the listing says what will become of it.
    writer.Unlock();
    ASSERT_EQ(writer.LockSong(m_card, "Song04-01", card::CJobLock::Use::Read),
              card::CJobLock::Result::Locked);
    ASSERT_TRUE(platform::CreateDirectory(m_card + "/" + platform::OwnNameFor("restore", "Song04")));
    restored = card::RunRestore({m_backup, m_card, {"Song04"}, true}, &m_box, nullptr, nullptr, nullptr);
    const std::string waiting =
        "restore interrupted before its copy was checked; the next write to this card or a "
        "clean-up removes the copy";
    EXPECT_EQ(restored.problems, std::vector<std::string>{"Song04 not restored: " + waiting});
    EXPECT_EQ(card::FindInterruptedRestores(m_card).at(0).text, "Song04: " + waiting);
    writer.Unlock();
    EXPECT_EQ(Restore(m_card, true).outcome, BackupOutcome::Finished) << "tidied, then restored";
    EXPECT_EQ(ReadText(m_card + "/Song04/Song04.adl"), "<ADL>\r\n</ADL>\r\n");
    EXPECT_TRUE(card::FindLeftovers(m_card).empty());
}

// A backup reads a song under its read lock, and a song it fails to copy, for whatever reason, leaves
// nothing in the backup folder that would refuse the next try.
TEST_F(BackupTest, AStoppedBackupNeverPassesForWholeAndTheNextRunFinishesIt) {
    // What a kill can leave: the first song recorded in both lists, the second copied into place but
    // recorded in the manifest only, and the backup's mark that it is not finished.
    ASSERT_EQ(Backup().outcome, BackupOutcome::Finished);
    const std::string mark = platform::JoinPath(m_backup, platform::OwnNameFor("unfinished", "backup"));
    ASSERT_TRUE(WriteText(mark, ""));
    const std::string attributes = platform::JoinPath(m_backup, card::kAttributesName);
    std::string kept;
    std::istringstream lines(ReadText(attributes));
    for (std::string line; std::getline(lines, line);)
        if (line.find("Song04-01") == std::string::npos)
            kept += line + "\n";
    ASSERT_TRUE(WriteText(attributes, kept));
    ASSERT_TRUE(WriteText(platform::JoinPath(m_backup, "Song04-01/zt50001.wav"), "cut short"));

    const card::BackupResult stopped = Verify();
    EXPECT_EQ(stopped.outcome, BackupOutcome::Problems);
    EXPECT_EQ(stopped.problems.front(),
              "the backup into " + m_backup + " was stopped before it finished; run it again");
    EXPECT_EQ(card::SongsInBackup(m_backup), (std::vector<std::string>{"Song04", "Song04-01"}));

    const card::BackupResult resumed = Backup();
    EXPECT_EQ(resumed.outcome, BackupOutcome::Finished);
    EXPECT_FALSE(platform::PathExists(mark));
    EXPECT_EQ(Verify().outcome, BackupOutcome::Finished);
    EXPECT_EQ(Backup().outcome, BackupOutcome::Problems) << "a finished backup is never changed again";
}

TEST_F(BackupTest, AFailedBackupLeavesNothingThatBlocksItsRetry) {
    const std::string adl = m_card + "/Song04/Song04.adl";
    struct Case {
        const char* what;
        std::string problem;
    };
    const Case cases[] = {
        {"held by a writer", card::SongInUseText("Song04")},
        {"ADL held open", "cannot read " + adl},
        {"ADL unreadable", "read error in " + adl},
        {"manifest not writable", "cannot write the manifest in " + m_backup},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(m_backup);
        card::CJobLock writer;
        platform::File held;
        platform::faults::Plan plan;
        const std::string what = c.what;
        if (what == "held by a writer")
            ASSERT_EQ(writer.LockSong(m_card, "Song04", card::CJobLock::Use::Write),
                      card::CJobLock::Result::Locked);
        else if (what == "ADL held open")
            ASSERT_TRUE(held.Open(adl, platform::Access::Read, platform::Disposition::OpenExisting));
        else if (what == "ADL unreadable")
            plan.failReadAt = 3; // 2mix/mix.wav takes two reads, then the ADL's first
        else
            ASSERT_TRUE(
                platform::CreateDirectory(m_backup) &&
                platform::CreateDirectory(m_backup + "/" + card::kManifestName + std::string(".tmp")));
        card::BackupResult backed;
        {
            platform::faults::ScopedPlan armed(plan);
            backed = card::RunBackup({m_card, m_backup, {"Song04"}}, &m_box, nullptr, nullptr, nullptr);
        }
        EXPECT_EQ(backed.outcome, BackupOutcome::Problems);
        EXPECT_EQ(backed.problems, std::vector<std::string>{c.problem});
        EXPECT_FALSE(platform::PathExists(m_backup + "/Song04"));
        EXPECT_EQ(Names(m_backup, ".pelmora-*"), std::vector<std::string>{});
        EXPECT_TRUE(card::SongsInBackup(m_backup).empty());

        writer.Unlock();
        if (held.IsOpen())
            held.Close();
        RemoveTree(m_backup + "/" + card::kManifestName + ".tmp");
        EXPECT_EQ(card::RunBackup({m_card, m_backup, {"Song04"}}, &m_box, nullptr, nullptr, nullptr).outcome,
                  BackupOutcome::Finished);
        EXPECT_EQ(Verify().files, 3);
    }
}

} // namespace
