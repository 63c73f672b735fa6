#include "card/SongName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::string>;

TEST(SongName, Proposals) {
    const struct {
        Entries entries;
        const char* expected;
    } cases[] = {
        {{"---:(New Song)"}, "Song01"},
        {{"Song01", "Song02", "Song03", "---:(New Song)"}, "Song04"},
        {{"Song01", "Song02", "Song04", "---:(New Song)"}, "Song04-01"},
        {{"Song04", "Song04-01", "x", "---:(New Song)"}, "Song04-02"},
        // Case counts: song04 is another name.
        {{"song04", "b", "c", "---:(New Song)"}, "Song04"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(card::ProposeNewSongName(c.entries), c.expected);
    EXPECT_TRUE(card::CanOfferNewSong(98));
    EXPECT_FALSE(card::CanOfferNewSong(99));
}

TEST(SongName, TypedNames) {
    const struct {
        std::string typed;
        std::string text;
        std::string message;
    } cases[] = {
        {"MySong", "MySong", ""},
        {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOP", ""},
        {"My/", "My", "Can't use this character.\ncharacter : \"/\""},
        {"a*b?c", "a", "Can't use this character.\ncharacter : \"*b?c\""},
        // The cut to sixteen comes first; what is cut away is not looked at.
        {"ABCDEFGHIJKLMNOP/", "ABCDEFGHIJKLMNOP", ""},
        // A multi-byte character is never split.
        {"ABCDEFGHIJKLMNO\xC3\xA9", "ABCDEFGHIJKLMNO", ""},
        {"Take 1.2 - mix_a", "Take 1.2 - mix_a", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const card::TypedSongName r = card::CheckTypedSongName(c.typed);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.changed, c.text != c.typed);
    }
}

TEST(SongName, TheTwentySixCharactersAndControlCharacters) {
    const std::string forbidden = "\"!#$%&'()=~|\\@[{}]*:;<>?/^";
    ASSERT_EQ(forbidden.size(), 26u);
    int count = 0;
    for (int c = 1; c < 256; ++c) {
        const bool isForbidden = card::IsForbiddenSongCharacter(static_cast<char>(c));
        const bool control = c < 0x20 || c == 0x7F;
        EXPECT_EQ(isForbidden, control || forbidden.find(static_cast<char>(c)) != std::string::npos) << c;
        count += isForbidden;
    }
    EXPECT_EQ(count, 26 + 32);
    EXPECT_FALSE(card::IsForbiddenSongCharacter('\0'));
}

TEST(SongName, NewSongsOnlyUnderNamesThatPass) {
    const struct {
        std::string name, problem;
    } cases[] = {
        {"Song01", ""},
        {"ABCDEFGHIJKLMNOP", ""},
        {"Caf\xC3\xA9 take 2", ""},
        {"", "Please enter a song name."},
        {"   ", "Please enter a song name."},
        {"ABCDEFGHIJKLMNOPQ", "The song name is longer than 16 characters.\nsong name : ABCDEFGHIJKLMNOPQ"},
        {std::string(300, 'x'),
         "The song name is longer than 16 characters.\nsong name : " + std::string(300, 'x')},
        {"Two\nlines", "A song name cannot hold control characters."},
        {"Tab\there", "A song name cannot hold control characters."},
        {"a/b", "Can't use this character.\ncharacter : \"/b\""},
        {"..", "A song name cannot start with a dot."},
        {".pelmora-new-1", "A song name cannot start with a dot."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(card::NewSongNameProblem(c.name), c.problem);
    }
}

} // namespace
