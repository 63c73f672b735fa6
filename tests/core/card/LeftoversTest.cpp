#include "card/Leftovers.h"

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using card::LeftoverAction;
using card::RestoreFix;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class LeftoversTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(m_card)); }
    std::string Path(const std::string& rel) const { return platform::JoinPath(m_card, rel); }
    void Folder(const std::string& rel) { ASSERT_TRUE(platform::CreateDirectory(Path(rel))); }
    void File(const std::string& rel, const std::string& text = "x") {
        ASSERT_TRUE(WriteText(Path(rel), text));
    }
    // A song folder whose ADL says which version it is.
    void Song(const std::string& rel, const std::string& song, const std::string& version) {
        Folder(rel);
        File(rel + "/" + song + ".adl", version);
    }
    card::TidyResult Tidy() {
        card::CJobLock lock;
        EXPECT_EQ(lock.LockCard(m_card, true), card::CJobLock::Result::Locked);
        return card::TidyLeftovers(m_card, lock);
    }

    testsupport::TempDir m_dir;
    std::string m_card = m_dir / "card";
};

TEST_F(LeftoversTest, TheTidyUpRemovesOnlyItsOwnHalfMadeThings) {
    const std::string part = platform::NewOwnName("part", "zt50002.wav");
    const std::string building = platform::NewOwnName("new", "Song");
    Folder(building);
    File(building + "/x.adl");
    Folder(platform::NewOwnName("test"));
    File(".pelmora-later-thing"); // a kind this version does not make
    Song("Song04", "Song04", "song");
    File("Song04/" + part);
    File("Song04/" + platform::OwnNameFor("update", "Song04.adl"));
    Folder("Song04/2mix");
    File("Song04/2mix/" + part);
    // The user's own things, whatever they look like, and a link to a folder off the card.
    Folder("chk");
    File("Song.tmp");
    Folder(".hidden");
    File(".pelmora");
    File("Song04/pelmora-part-1");
    const std::string outside = m_dir / "outside";
    ASSERT_TRUE(platform::CreateDirectory(outside));
    WriteText(outside + "/" + part, "keep");
    ASSERT_EQ(::symlink(outside.c_str(), Path("Elsewhere").c_str()), 0);

    struct Expect {
        std::string kind;
        LeftoverAction action;
        std::string song;
    };
    std::vector<Expect> found;
    for (const auto& l : card::FindLeftovers(m_card)) {
        EXPECT_TRUE(platform::IsOwnName(l.path)) << l.path;
        EXPECT_FALSE(l.text.empty()) << l.path;
        found.push_back({l.kind, l.action, l.song});
    }
    const std::vector<std::pair<std::string, LeftoverAction>> expected = {
        {"later", LeftoverAction::Leave},   {"new", LeftoverAction::Remove},
        {"test", LeftoverAction::Remove},   {"part", LeftoverAction::Remove},
        {"update", LeftoverAction::Remove}, {"part", LeftoverAction::Remove},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].kind, expected[i].first) << i;
        EXPECT_EQ(found[i].action, expected[i].second) << i;
        EXPECT_EQ(found[i].song, i < 3 ? "" : "Song04") << i;
    }

    card::CJobLock job;
    ASSERT_EQ(job.LockCard(m_card, false), card::CJobLock::Result::Locked);
    EXPECT_EQ(card::TidyLeftovers(m_card, job).problems.size(), 1u) << "nothing tidied while a job runs";
    card::CJobLock writer;
    card::TidyResult skipped;
    EXPECT_EQ(card::LockCardForWriting(writer, m_card, &skipped), card::CJobLock::Result::Locked);
    EXPECT_EQ(skipped.removed, 0) << "another job holds the card: no tidy-up";
    EXPECT_EQ(card::FindLeftovers(m_card).size(), expected.size());
    job.Unlock();
    writer.Unlock();

    card::TidyResult tidied;
    EXPECT_EQ(card::LockCardForWriting(writer, m_card, &tidied), card::CJobLock::Result::Locked);
    EXPECT_EQ(tidied.removed, 5);
    EXPECT_EQ(tidied.left, 1);
    EXPECT_TRUE(tidied.problems.empty());
    EXPECT_FALSE(writer.HoldsCardExclusively()) << "shared for the job's own work";
    std::vector<std::string> left;
    for (const auto& l : card::FindLeftovers(m_card))
        left.push_back(platform::BaseName(l.path));
    EXPECT_EQ(left, std::vector<std::string>{".pelmora-later-thing"});
    for (const char* kept :
         {"chk", "Song.tmp", ".hidden", ".pelmora", "Song04/pelmora-part-1", "Song04/Song04.adl"})
        EXPECT_TRUE(platform::PathExists(Path(kept))) << kept;
    EXPECT_EQ(ReadText(outside + "/" + part), "keep") << "a link is never followed";
}

// Every state a restore can leave (and a few that none leaves), built on disk: what the listing says
// and where the tidy-up takes the song.
TEST_F(LeftoversTest, EachHalfStateOfARestoreIsFinishedOrUndone) {
    const std::string copy = platform::OwnNameFor("restore", "Song"),
                      old = platform::OwnNameFor("old", "Song");
    const std::string mark = card::RestoreMarkName("Song");
    struct Case {
        const char* what;
        bool song, songMarked, copy, copyMarked, old;
        RestoreFix fix;
        const char* after; // the song's version after the tidy-up, "" for no song
    };
    const Case cases[] = {
        {"copy being written", true, false, true, false, false, RestoreFix::Undo, "old"},
        {"copy of a new song being written", false, false, true, false, false, RestoreFix::Undo, ""},
        {"checked copy beside the song", true, false, true, true, false, RestoreFix::Finish, "new"},
        {"song moved aside", false, false, true, true, true, RestoreFix::Finish, "new"},
        {"checked copy of a new song", false, false, true, true, false, RestoreFix::Finish, "new"},
        {"swapped: old song in the copy's place", true, true, true, false, false, RestoreFix::Finish, "new"},
        {"in place, old song aside", true, true, false, false, true, RestoreFix::Finish, "new"},
        {"in place, mark left", true, true, false, false, false, RestoreFix::Finish, "new"},
        {"song aside, no copy", false, false, false, false, true, RestoreFix::Undo, "old"},
        {"two versions", true, false, false, false, true, RestoreFix::Leave, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(m_card);
        Folder("");
        // Where the song is marked, the new version is in its place and the copy's name holds the old one.
        if (c.song)
            Song("Song", "Song", c.songMarked ? "new" : "old");
        if (c.songMarked)
            File("Song/" + mark);
        if (c.copy)
            Song(copy, "Song", c.songMarked ? "old" : "new");
        if (c.copyMarked)
            File(copy + "/" + mark);
        if (c.old)
            Song(old, "Song", "old");

        const auto restores = card::FindInterruptedRestores(m_card);
        ASSERT_EQ(restores.size(), 1u);
        EXPECT_EQ(restores[0].fix, c.fix);
        EXPECT_EQ(restores[0].text.rfind("Song: ", 0), 0u) << restores[0].text;
        for (const auto& l : card::FindLeftovers(m_card))
            EXPECT_EQ(l.action, c.fix == RestoreFix::Leave    ? LeftoverAction::Leave
                                : c.fix == RestoreFix::Finish ? LeftoverAction::FinishRestore
                                                              : LeftoverAction::UndoRestore)
                << l.path;

        const card::TidyResult tidied = Tidy();
        EXPECT_EQ(tidied.finished, c.fix == RestoreFix::Finish ? 1 : 0);
        EXPECT_EQ(tidied.undone, c.fix == RestoreFix::Undo ? 1 : 0);
        EXPECT_TRUE(tidied.problems.empty()) << tidied.problems[0];
        EXPECT_EQ(ReadText(Path("Song/Song.adl")), c.after);
        if (c.fix == RestoreFix::Leave) {
            EXPECT_EQ(ReadText(Path(old + "/Song.adl")), "old") << "both versions stay";
            continue;
        }
        EXPECT_TRUE(card::FindLeftovers(m_card).empty());
        EXPECT_FALSE(platform::PathExists(Path("Song/" + mark)));
    }
}

} // namespace
