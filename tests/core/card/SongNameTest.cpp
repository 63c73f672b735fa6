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
        // Sixteen bytes of UTF-8 are sixteen characters' worth: kept whole, cut only between characters.
        {"\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA9",
         "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA9", ""},
        {"S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng1\xC3\xA4", "S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng1", ""},
        {"S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng\xC3\xA4", "S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng", ""},
        {"ABCDEFGHIJKLMN\xE2\x82\xAC", "ABCDEFGHIJKLMN", ""},
        {"ABCDEFGHIJKLM\xF0\x9F\x98\x80", "ABCDEFGHIJKLM", ""},
        {"S\xC3\xA4ng/mix", "S\xC3\xA4ng", "Can't use this character.\ncharacter : \"/mix\""},
        {"S\xC3\xA4ng \xE2\x82\xAC?", "S\xC3\xA4ng \xE2\x82\xAC",
         "Can't use this character.\ncharacter : \"?\""},
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
        {"S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng1", ""},
        {"S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng\xC3\xA4", "The song name is longer than 16 characters.\nsong "
                                                      "name : S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng\xC3\xA4"},
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
