#include "card/Backup.h"

#include "Fakes.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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

} // namespace
