#include "card/JobLock.h"
#include "card/CardRules.h"

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <gtest/gtest.h>

#include <cstdio>

using card::CJobLock;
using Use = CJobLock::Use;
using Result = CJobLock::Result;

namespace {

class JobLockTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(m_card / "song")); }
    testsupport::TempDir m_card;
};

// Two locks in one program stand for two programs: the system keeps locks per open folder.
TEST_F(JobLockTest, WritersExcludeEveryoneReadersShare) {
    const struct {
        Use first, second;
        Result expect;
    } cases[] = {
        {Use::Write, Use::Write, Result::InUse},
        {Use::Write, Use::Read, Result::InUse},
        {Use::Read, Use::Write, Result::InUse},
        {Use::Read, Use::Read, Result::Locked},
    };
    for (const auto& c : cases) {
        CJobLock first, second;
        ASSERT_EQ(first.LockSong(m_card.Path(), "song", c.first), Result::Locked);
        EXPECT_EQ(second.LockSong(m_card.Path(), "song", c.second), c.expect);
        first.Unlock();
        EXPECT_EQ(second.LockSong(m_card.Path(), "song", c.second), Result::Locked) << "free again";
    }
    CJobLock none;
    EXPECT_EQ(none.LockSong(m_card.Path(), "missing", Use::Read), Result::NoSong);
    EXPECT_EQ(none.LockSong(m_card / "no card", "song", Use::Read), Result::NoSong);
    EXPECT_FALSE(none.HoldsCard());
}

TEST_F(JobLockTest, ACleanUpWaitsForNoJobAndNoJobStartsDuringOne) {
    CJobLock job, cleanUp;
    ASSERT_EQ(job.LockSong(m_card.Path(), "song", Use::Read), Result::Locked);
    EXPECT_EQ(cleanUp.LockCard(m_card.Path(), true), Result::CardInUse);
    job.Unlock();
    ASSERT_EQ(cleanUp.LockCard(m_card.Path(), true), Result::Locked);
    EXPECT_EQ(job.LockSong(m_card.Path(), "song", Use::Read), Result::CardInUse) << "after a moment's wait";
    cleanUp.ShareCard();
    EXPECT_EQ(job.LockSong(m_card.Path(), "song", Use::Write), Result::Locked) << "shared after the clean-up";
}

TEST_F(JobLockTest, AReplacedSongIsLockedAsItStandsNow) {
    // A restore puts another folder in the song's place while a writer holds the old one: the next
    // writer locks the new folder, and the one holding the old folder can tell.
    CJobLock holder;
    ASSERT_EQ(holder.LockSong(m_card.Path(), "song", Use::Write), Result::Locked);
    ASSERT_TRUE(platform::CreateDirectory(m_card / "new"));
    ASSERT_EQ(std::rename((m_card / "song").c_str(), (m_card / "old").c_str()), 0);
    ASSERT_EQ(std::rename((m_card / "new").c_str(), (m_card / "song").c_str()), 0);
    platform::CFolderLock next;
    ASSERT_EQ(next.Lock(m_card / "song", platform::LockMode::Exclusive), platform::LockResult::Locked);
    EXPECT_TRUE(next.StillNames(m_card / "song"));
    platform::CFolderLock old;
    ASSERT_EQ(old.Lock(m_card / "old", platform::LockMode::Shared), platform::LockResult::InUse);
}

TEST(OwnNames, CarryThePrefixAndTheirKind) {
    const std::string a = platform::NewOwnName("new", "Song");
    const std::string b = platform::NewOwnName("new", "Song");
    EXPECT_NE(a, b);
    EXPECT_TRUE(platform::IsOwnName(a));
    EXPECT_TRUE(platform::IsOwnName("/card/" + a));
    EXPECT_EQ(platform::OwnNameKind(a), "new");
    EXPECT_EQ(platform::OwnNameKind(platform::OwnNameFor("update", "song.adl")), "update");
    EXPECT_EQ(platform::OwnNameFor("old", "Song"), ".pelmora-old-Song");
    for (const char* other : {"Song", ".hidden", "chk", ".pelmora", "pelmora-new-1", ""}) {
        EXPECT_FALSE(platform::IsOwnName(other)) << other;
        EXPECT_EQ(platform::OwnNameKind(other), "") << other;
    }
}

} // namespace
