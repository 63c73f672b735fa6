#include "card/PeakCache.h"

#include "TestSupport.h"
#include "Wav.h"
#include "card/CardRules.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

// A card with one song of `files` audio files of `samples` marked samples each, and a cache folder.
class PeakCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CreateDirectory(card);
        platform::CreateDirectory(card::SongFolderPath(card, "Song"));
        for (int id = 1; id <= 3; ++id) {
            params.files.push_back("zt500" + std::to_string(id) + ".wav");
            ASSERT_TRUE(WriteCardWav(Path(id), id, 1000 + 300 * id));
        }
        params.card = card;
        params.song = "Song";
        params.cacheFolder = dir / "cache";
    }
    std::string Path(int id) const { return card::AudioFilePath(card, "Song", params.files[id - 1]); }
    card::SongPeaksResult Run() const {
        return card::RunSongPeaks(params, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    size_t Entries(const std::string& folder) const { return platform::FindFiles(folder, "*.peaks").size(); }

    TempDir dir;
    std::string card = dir / "card";
    card::SongPeaksParams params;
};

TEST_F(PeakCacheTest, PeaksAreTheSmallestAndLargestSampleOfEachBlock) {
    const card::SongPeaksResult result = Run();
    ASSERT_EQ(3u, result.peaks.size());
    for (int id = 1; id <= 3; ++id) {
        const wave::Peaks& p = result.peaks.at(params.files[id - 1]);
        const std::vector<int16_t> marks = Marks(id, 1000 + 300 * id);
        ASSERT_EQ(marks.size(), p.samples);
        ASSERT_EQ((marks.size() + 255) / 256, p.Blocks());
        for (size_t b = 0; b < p.Blocks(); ++b) {
            const auto [lo, hi] = std::minmax_element(marks.begin() + 256 * b,
                                                      marks.begin() + std::min(marks.size(), 256 * (b + 1)));
            EXPECT_EQ(*lo, p.minMax[2 * b]);
            EXPECT_EQ(*hi, p.minMax[2 * b + 1]);
        }
    }
}

TEST_F(PeakCacheTest, BuiltOnceReusedAndRebuiltWhenAFileChanges) {
    const card::SongPeaksResult first = Run();
    EXPECT_EQ(3, first.computed);
    EXPECT_EQ(3u, Entries(params.cacheFolder));
    const card::SongPeaksResult second = Run();
    EXPECT_EQ(0, second.computed);
    for (const auto& [name, peaks] : first.peaks)
        EXPECT_EQ(peaks.minMax, second.peaks.at(name).minMax) << name;

    // Rewritten in place with the same size and modification time: the edges still tell.
    struct stat before {};
    ASSERT_EQ(0, ::stat(Path(2).c_str(), &before));
    platform::DeleteFile(Path(2));
    ASSERT_TRUE(WriteCardWav(Path(2), 7, 1600));
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, Path(2).c_str(), times, 0));
    const card::SongPeaksResult third = Run();
    EXPECT_EQ(1, third.computed);
    EXPECT_NE(first.peaks.at(params.files[1]).minMax, third.peaks.at(params.files[1]).minMax);
    EXPECT_EQ(third.peaks.at(params.files[1]).minMax, Run().peaks.at(params.files[1]).minMax);
}

TEST_F(PeakCacheTest, TheCapRemovesTheEntriesUsedLeastRecently) {
    card::CPeakCache cache(params.cacheFolder, card);
    wave::Peaks peaks[3];
    for (int id = 1; id <= 3; ++id)
        ASSERT_EQ(wave::PeaksStatus::Complete, wave::ComputePeaks(Path(id), &peaks[id - 1]));
    ASSERT_TRUE(cache.Store(Path(1), peaks[0]));
    ASSERT_TRUE(cache.Store(Path(2), peaks[1]));
    struct stat st {};
    ASSERT_EQ(0, ::stat(cache.EntryPath(Path(1)).c_str(), &st));
    // Entry 1 is older, then used: entry 2 is now the one used least recently.
    const struct timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, cache.EntryPath(Path(2)).c_str(), old, 0));
    wave::Peaks found;
    ASSERT_TRUE(cache.Find(Path(1), &found));

    // Left by writers that ended halfway: the old one goes, one being written now stays.
    const std::string oldPart = params.cacheFolder + "/a.1.part", newPart = params.cacheFolder + "/b.2.part";
    ASSERT_TRUE(WriteText(oldPart, "x") && WriteText(newPart, "x"));
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, oldPart.c_str(), old, 0));

    card::CPeakCache capped(params.cacheFolder, card, 2 * static_cast<uint64_t>(st.st_size) + 64);
    ASSERT_TRUE(capped.Store(Path(3), peaks[2]));
    EXPECT_FALSE(platform::PathExists(oldPart));
    EXPECT_TRUE(platform::PathExists(newPart));
    EXPECT_TRUE(platform::PathExists(cache.EntryPath(Path(1))));
    EXPECT_FALSE(platform::PathExists(cache.EntryPath(Path(2))));
    EXPECT_TRUE(platform::PathExists(cache.EntryPath(Path(3))));
}

TEST_F(PeakCacheTest, NeverWrittenOntoTheCard) {
    for (const std::string& folder : {card + "/cache", card + "/Song/.peaks", card + "/../card/x"}) {
        SCOPED_TRACE(folder);
        params.cacheFolder = folder;
        const card::SongPeaksResult result = Run();
        EXPECT_EQ(3u, result.peaks.size()); // still drawn, only not kept
        EXPECT_FALSE(platform::PathExists(folder));
    }
    EXPECT_EQ(4u, ReadTree(card).size()) << "the song folder and its three files, nothing else";
}

TEST_F(PeakCacheTest, CancelledAndUnreadableFiles) {
    ASSERT_TRUE(WriteText(Path(3), "not audio"));
    platform::CancelFlag cancel{1};
    EXPECT_EQ(card::SongPeaksOutcome::Cancelled,
              card::RunSongPeaks(params, nullptr, nullptr, nullptr, &cancel, nullptr).outcome);
    EXPECT_EQ(0u, Entries(params.cacheFolder));
    const card::SongPeaksResult result = Run();
    EXPECT_EQ(card::SongPeaksOutcome::Finished, result.outcome);
    EXPECT_EQ(2u, result.peaks.size());
}

} // namespace
