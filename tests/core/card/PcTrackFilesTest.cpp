#include "card/CardRules.h"
#include "card/PcWaveList.h"
#include "card/TrackSource.h"
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

TEST(PcTrackFiles, AFolderListsItsWaveFilesInNaturalOrder) {
    testsupport::TempDir dir;
    // Made in an order the file system may well keep.
    for (const char* name : {"tr10.wav", "take.WAV", "tr2.wav", "TR02.wav", "Mix 1.Wav", "tr1.wav",
                             "notes.txt", "tr02.wav.txt", ".pelmora-import-1-1-tr02"})
        ASSERT_TRUE(testsupport::WriteText(dir / name, ""));
    ASSERT_TRUE(platform::CreateDirectory(dir / "old.wav"));
    EXPECT_EQ(
        card::ListPcWaveFiles(dir.Path()),
        (std::vector<std::string>{"Mix 1.Wav", "take.WAV", "tr1.wav", "TR02.wav", "tr2.wav", "tr10.wav"}));
    EXPECT_TRUE(card::ListPcWaveFiles(dir / "missing").empty());
    // The page's rows come in the same order.
    std::vector<std::string> rows;
    for (const card::PcWaveRow& row : card::ListPcWaveRows(dir.Path()))
        rows.push_back(row.name);
    EXPECT_EQ(rows, card::ListPcWaveFiles(dir.Path()));
    // Two files for one track: the export copies the first of the listing, on every run.
    ASSERT_TRUE(testsupport::WriteText(dir / "TR05.wav", ""));
    ASSERT_TRUE(testsupport::WriteText(dir / "TR05.WAV", ""));
    EXPECT_EQ(card::PcTrackSourcePath(dir.Path(), 5), dir / "TR05.WAV");
}

} // namespace
