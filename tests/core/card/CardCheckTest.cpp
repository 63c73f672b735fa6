#include "card/CardCheck.h"
#include "card/CardRules.h"

#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <gtest/gtest.h>

using namespace testsupport;
using card::CardProblemKind;

namespace {

// A card with one song of each kind of trouble, and one without any.
class CardCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        Song("Clean", {"zt50001.wav"}, {"zt50001.wav"});
        Song("Missing", {"zt50001.wav", "zt50002.wav"}, {"zt50001.wav"});
        Song("Unnamed", {"zt50001.wav"},
             {"zt50001.wav", "zt50007.wav", platform::OwnNameFor("part", "zt50002.wav")});
        ASSERT_TRUE(platform::CreateDirectory(m_card / "Broken"));
    }
    void Song(const std::string& name, const std::vector<std::string>& named,
              const std::vector<std::string>& files) {
        ASSERT_TRUE(platform::IsDirectory(m_card / name) || platform::CreateDirectory(m_card / name));
        std::vector<Ev> events;
        for (const std::string& file : named)
            events.push_back({static_cast<uint16_t>(events.size() + 1), adl::EditType::Cut, file,
                              static_cast<int>(events.size() + 1), 0, 0, 100});
        events.push_back({static_cast<uint16_t>(events.size() + 1), adl::EditType::Silence, "", 9, 0, 0, 50});
        ASSERT_TRUE(
            WriteText(card::AdlPath(m_card.Path(), name), AdlText(adl::SampleRateCode::Hz48000, events)));
        for (const std::string& file : files)
            ASSERT_TRUE(WriteCardWav(card::AudioFilePath(m_card.Path(), name, file), 1, 100));
    }
    TempDir m_card;
};

TEST_F(CardCheckTest, EachKindOfTroubleOnceAndOwnFilesLeftToTheTidyUp) {
    const auto problems = card::CheckSongs(m_card.Path());
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].kind, CardProblemKind::UnreadableSong);
    EXPECT_EQ(problems[0].song, "Broken");
    EXPECT_EQ(problems[1].kind, CardProblemKind::MissingFile);
    EXPECT_EQ(problems[1].file, "zt50002.wav");
    EXPECT_EQ(problems[2].kind, CardProblemKind::UnnamedFile);
    EXPECT_EQ(problems[2].file, "zt50007.wav");
    EXPECT_TRUE(card::CheckSongs(m_card.Path(), "Clean").empty());
}

TEST_F(CardCheckTest, OnlyUnnamedFilesAreRemovedAndOnlyWhileNoEventNamesThem) {
    auto problems = card::CheckSongs(m_card.Path());
    // Named since the listing (an export finished meanwhile): it stays.
    Song("Unnamed", {"zt50001.wav", "zt50007.wav"}, {});
    EXPECT_TRUE(card::RemoveUnnamedFiles(m_card.Path(), problems).empty());
    EXPECT_TRUE(platform::PathExists(card::AudioFilePath(m_card.Path(), "Unnamed", "zt50007.wav")));

    Song("Unnamed", {"zt50001.wav"}, {});
    problems = card::CheckSongs(m_card.Path());
    EXPECT_EQ(card::RemoveUnnamedFiles(m_card.Path(), problems),
              std::vector<std::string>{"Unnamed/zt50007.wav"});
    EXPECT_FALSE(platform::PathExists(card::AudioFilePath(m_card.Path(), "Unnamed", "zt50007.wav")));
    EXPECT_TRUE(platform::PathExists(card::AudioFilePath(m_card.Path(), "Missing", "zt50001.wav")));
    EXPECT_EQ(card::CheckSongs(m_card.Path()).size(), 2u);
}

} // namespace
