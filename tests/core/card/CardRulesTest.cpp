#include "card/CardRules.h"
#include "card/RecorderDrives.h"
#include "card/SongSummary.h"

#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testsupport;
using adl::SampleRateCode;
constexpr adl::EditType kCut = adl::EditType::Cut;
constexpr adl::EditType kSilence = adl::EditType::Silence;
using testsupport::TempDir;

TEST(CardRules, SongListingShowsVisibleFoldersInNameOrder) {
    TempDir card;
    for (const char* name : {"b", "A song", "c", ".hidden", "2mix", "chk", "Zeta", "alpha"})
        ASSERT_TRUE(platform::CreateDirectory(card / name));
    ASSERT_TRUE(testsupport::WriteText(card / "plain.adl", "x"));
    EXPECT_EQ((std::vector<std::string>{"2mix", "A song", "alpha", "b", "c", "chk", "Zeta"}),
              card::ListSongs(card.Path()));
    EXPECT_TRUE(card::ListSongs(card / "missing").empty());
    EXPECT_TRUE(card::ListSongs("").empty());
}

TEST(CardRules, PathsAndTexts) {
    EXPECT_EQ("/card/song/song.adl", card::AdlPath("/card", "song"));
    EXPECT_EQ("/card/song/zt50001.wav", card::AudioFilePath("/card", "song", "zt50001.wav"));
    EXPECT_EQ("/card/song/2mix", card::MixFolderPath("/card", "song"));
    EXPECT_EQ("/pc/tr03.wav", card::TrackFilePath("/pc", 3));
    EXPECT_EQ("/pc/tr16.wav", card::TrackFilePath("/pc/", 16));
    EXPECT_EQ("48000", card::SampleRateText(adl::SampleRateCode::Hz48000));
    EXPECT_EQ("44100", card::SampleRateText(adl::SampleRateCode::Hz44100));
    EXPECT_EQ("22050", card::SampleRateText(adl::SampleRateCode::Hz22050));
    EXPECT_EQ("", card::SampleRateText(adl::SampleRateCode::None));
    EXPECT_EQ("", card::SampleRateText(static_cast<adl::SampleRateCode>(4)));
    EXPECT_EQ("16", card::BitDepthText(16));
    EXPECT_EQ(" 8", card::BitDepthText(8));
    EXPECT_EQ("?", card::BitDepthText(0));
}

TEST(CardRules, BitDepthComesFromTheFirstWave) {
    TempDir card;
    for (const char* song : {"deep", "none", "odd", "plain"})
        ASSERT_TRUE(platform::CreateDirectory(card / song));
    ASSERT_TRUE(WriteCardWav(card / "deep/zt50001.wav", 1, 10, {1, 24, 48000}));
    // A 16-bit file of ours on its way in is not the song's, wherever the listing puts it.
    for (const char* part : {".pelmora-part-7-1-a.wav", ".pelmora-part-7-2-z.wav"})
        ASSERT_TRUE(WriteCardWav(card / (std::string("deep/") + part), 2, 10));
    ASSERT_TRUE(WriteCardWav(card / "plain/zt50001.wav", 1, 10));
    ASSERT_TRUE(testsupport::WriteText(card / "none/notes.txt", "x"));
    ASSERT_TRUE(WriteCardWav(card / "odd/x.WAV", 1, 10));
    ASSERT_EQ(0, ::rename((card / "odd/x.WAV").c_str(), (card / "odd/x.Wav").c_str()));
    EXPECT_EQ(24, card::GetSongBitDepth(card.Path(), "deep"));
    EXPECT_EQ(16, card::GetSongBitDepth(card.Path(), "plain"));
    EXPECT_EQ(0, card::GetSongBitDepth(card.Path(), "none"));
    EXPECT_EQ(0, card::GetSongBitDepth(card.Path(), "odd")) << "listed, but its name is refused";
    EXPECT_EQ(0, card::GetSongBitDepth(card.Path(), "missing"));
}

TEST(CardRules, ProtectionIsExactlyReadOnly) {
    TempDir card;
    ASSERT_TRUE(platform::CreateDirectory(card / "song"));
    ASSERT_TRUE(platform::CreateDirectory(card / ".song"));
    ASSERT_TRUE(
        testsupport::WriteText(card::AdlPath(card.Path(), "song"), AdlText(SampleRateCode::Hz48000, {})));
    ASSERT_TRUE(
        testsupport::WriteText(card::AdlPath(card.Path(), ".song"), AdlText(SampleRateCode::Hz48000, {})));
    EXPECT_FALSE(card::IsSongProtected(card.Path(), "song"));
    ASSERT_EQ(0, ::chmod(card::AdlPath(card.Path(), "song").c_str(), 0444));
    EXPECT_TRUE(card::IsSongProtected(card.Path(), "song"));
    // Read-only plus another bit (here hidden, as the attribute layer reports a dot name) is not protected.
    ASSERT_EQ(0, ::chmod(card::AdlPath(card.Path(), ".song").c_str(), 0444));
    EXPECT_EQ(platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN,
              platform::GetFileAttributes(card::AdlPath(card.Path(), ".song")));
    EXPECT_FALSE(card::IsSongProtected(card.Path(), ".song"));
    EXPECT_FALSE(card::IsSongProtected(card.Path(), "missing"));
}

TEST(CardRules, WriteTestFreeSpaceAndNextAudioName) {
    TempDir card;
    EXPECT_TRUE(card::IsCardWritable(card.Path()));
    EXPECT_FALSE(platform::PathExists(card / "chk"));
    ASSERT_TRUE(platform::CreateDirectory(card / "chk"));
    EXPECT_TRUE(card::IsCardWritable(card.Path())) << "a left-over chk folder is no reason to refuse";
    EXPECT_TRUE(platform::IsDirectory(card / "chk"));
    EXPECT_EQ(std::vector<std::string>{"chk"}, card::ListSongs(card.Path()));
    EXPECT_FALSE(card::IsCardWritable(card / "missing"));

    uint64_t free = 0;
    EXPECT_TRUE(card::GetCardFreeSpace(card.Path(), &free));
    EXPECT_GT(free, 0u);

    ASSERT_TRUE(platform::CreateDirectory(card / "song"));
    EXPECT_EQ("zt50001.wav", card::NextAudioFileName(card / "song"));
    ASSERT_TRUE(testsupport::WriteText(card / "song/zt50001.wav", ""));
    ASSERT_TRUE(testsupport::WriteText(card / "song/zt50003.wav", ""));
    EXPECT_EQ("zt50002.wav", card::NextAudioFileName(card / "song"));
}

TEST(CardRules, TracksInUseFollowTheTimeline) {
    TempDir card;
    ASSERT_TRUE(platform::CreateDirectory(card / "song"));
    const std::vector<Ev> events = {
        {1, kCut, "a.wav", 1, 0, 0, 100},   // track 1: audio
        {2, kCut, "a.wav", 2, 0, 0, 100},   // track 2: audio, then a Silence past it but not over it all
        {3, kSilence, "", 2, 0, 50, 300},   //   samples 0..49 still hold audio
        {4, kCut, "a.wav", 3, 0, 0, 100},   // track 3: silenced completely
        {5, kSilence, "", 3, 0, 0, 100},    //
        {6, kSilence, "", 4, 0, 0, 100},    // track 4: silence only
        {7, kCut, "a.wav", 5, 0, 0, 100},   // track 5: audio
        {0, kCut, "a.wav", 6, 0, 0, 100},   // track 6: entry number 0 takes no part
        {8, kCut, "a.wav", 17, 0, 0, 100},  // no track
        {9, kCut, "a.wav", 16, 0, 10, 10},  // track 16: covers nothing
        {10, kCut, "a.wav", 15, 0, 10, 20}, // track 15: audio
    };
    std::vector<Ev> all = events;
    all.push_back(
        {11, kSilence, "", 5, 0, 20, 40}); // track 5: a Silence in the middle leaves audio around it
    ASSERT_TRUE(
        testsupport::WriteText(card::AdlPath(card.Path(), "song"), AdlText(SampleRateCode::Hz44100, all)));
    adl::CAdlFile adl;
    ASSERT_TRUE(adl.Open(card::AdlPath(card.Path(), "song"), true));
    const auto inUse = card::GetTracksInUse(adl);
    std::array<bool, 16> expect{};
    expect[0] = expect[1] = expect[4] = expect[14] = true;
    EXPECT_EQ(expect, inUse);
    adl.Close();
    EXPECT_EQ(expect, card::ReadSongSummary(card.Path(), "song").tracksInUse);
}

TEST(CardRules, ADamagedSongOffersNoTrack) {
    TempDir card;
    ASSERT_TRUE(platform::CreateDirectory(card / "song"));
    const std::string good = AdlText(SampleRateCode::Hz48000, {{1, kCut, "a.wav", 1, 0, 0, 100}});
    const struct {
        const char* what;
        std::string text; // empty: no ADL file
    } cases[] = {
        {"no ADL file", ""},
        {"cut short", good.substr(0, good.find("\t<EVENT_LIST>") + 20)},
        {"binary junk", std::string("\x01\xFF\x00\x7F<ADL", 9)},
        {"a bad time code",
         good.substr(0, good.rfind("/0100")) + "garbage" + good.substr(good.rfind("/0100") + 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::DeleteFile(card::AdlPath(card.Path(), "song"));
        if (!c.text.empty()) {
            ASSERT_TRUE(testsupport::WriteText(card::AdlPath(card.Path(), "song"), c.text));
        }
        const card::SongSummary summary = card::ReadSongSummary(card.Path(), "song");
        EXPECT_FALSE(summary.readable);
        EXPECT_EQ(summary.tracksInUse, (std::array<bool, 16>{}));
    }
    ASSERT_TRUE(testsupport::WriteText(card::AdlPath(card.Path(), "song"), good));
    EXPECT_TRUE(card::ReadSongSummary(card.Path(), "song").tracksInUse[0]);
    EXPECT_FALSE(card::ReadSongSummary(card / "gone", "song").readable);
}

namespace {

TEST(RecorderDrives, RemovableMountsSortedThenTheCardFoldersAsNamed) {
    card::SetExtraCardFolders({"/copies/zt", "/media/b", "/copies/old"});
    const std::vector<platform::DeviceFacts> mounted = {
        {"/media/b", "vfat", "usb", true, true, false},
        {"/", "ext4", "", false, false, false},
        {"/media/a", "exfat", "sdio", false, false, false},
        {"/media/c", "vfat", "usb", true, true, true}, // a system device
    };
    EXPECT_EQ(card::RecorderDrivesFrom(mounted),
              (std::vector<std::string>{"/media/a", "/media/b", "/copies/zt", "/copies/old"}));
    card::SetExtraCardFolders({});
}

} // namespace
