#include "card/CardRules.h"
#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(PcTrackFiles, NamesMatchExactlyInEitherCase) {
    const struct {
        const char* name;
        int track;
    } cases[] = {{"tr01.wav", 1}, {"TR16.WAV", 16}, {"TR02.wav", 2}, {"Tr03.wav", 0},  {"tr3.wav", 0},
                 {"tr17.wav", 0}, {"tr00.wav", 0},  {"tr01", 1},     {"xtr01.wav", 0}, {"tr01.x.wav", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(card::TrackOfPcFileName(c.name), c.track) << c.name;
}

TEST(PcTrackFiles, AFolderListsItsTrackFilesOnly) {
    testsupport::TempDir dir;
    for (const char* name : {"tr01.wav", "TR02.wav", "Tr03.wav", "take.wav", "tr05.txt"})
        testsupport::WriteText(dir / name, "");
    platform::CreateDirectory(dir / "tr04.wav");
    const auto tracks = card::FindPcTrackFiles(dir.Path());
    std::array<bool, card::kTrackCount> expected{};
    expected[0] = expected[1] = true;
    EXPECT_EQ(tracks, expected);
    EXPECT_EQ(card::FindPcTrackFiles(dir / "missing"), (std::array<bool, card::kTrackCount>{}));
}

} // namespace
