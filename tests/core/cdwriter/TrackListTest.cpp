// The CD writer page's track list without a window: Add with its checks and the room on the disc, Up
// and Down, and the wave list it adds from. (The 99-track limit and Remove are tested on the page.)

#include "cdwriter/TrackList.h"
#include "Wav.h"
#include "cdwriter/TrackInfo.h"
#include "platform/FileSystem.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace cdwriter;

namespace {

// A CD audio file whose data chunk holds `dataBytes` of silence, without writing them (a sparse file).
void WriteSilentWav(const std::string& path, uint64_t dataBytes) {
    auto bytes = testsupport::MakeWav({});
    testsupport::PatchLe32(bytes, 4, static_cast<uint32_t>(36 + dataBytes));
    testsupport::PatchLe32(bytes, 40, static_cast<uint32_t>(dataBytes));
    ASSERT_TRUE(testsupport::WriteBytes(path, bytes));
    std::filesystem::resize_file(path, bytes.size() + dataBytes);
}

class TrackListTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"A", "B", "C", "D", "E", "F"})
            WriteSilentWav(dir / (std::string(name) + ".wav"), kSecond * 5); // 375 sectors each
    }

    std::string Add(std::vector<std::string> files, uint64_t freeSectors = 360000, bool drive = true) {
        AddRequest request{drive, dir.Path(), std::move(files)};
        return model.Add(request, [freeSectors](uint32_t* bytes, std::string*) {
            *bytes = static_cast<uint32_t>(freeSectors * 2048);
            return true;
        });
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const TrackRow& row : model.Rows())
            names.push_back(row.fileName.substr(0, row.fileName.find('.')));
        return names;
    }
    void Select(const std::vector<int>& rows) {
        std::vector<bool> selected(static_cast<size_t>(model.Count()), false);
        for (int r : rows)
            selected[static_cast<size_t>(r)] = true;
        model.SetSelection(selected);
    }
    std::vector<int> Selected() const {
        std::vector<int> rows;
        for (int i = 0; i < model.Count(); ++i)
            if (model.Rows()[static_cast<size_t>(i)].selected)
                rows.push_back(i);
        return rows;
    }

    static constexpr uint64_t kSecond = kCdBytesPerSecond;
    testsupport::TempDir dir;
    CTrackListModel model;
};

TEST_F(TrackListTest, AddChecksTheDriveTheSelectionAndTheFreeSpaceFirst) {
    EXPECT_EQ(Add({"A.wav"}, 360000, false), "Please select cd drive first.");
    EXPECT_EQ(Add({}), "Please select wave files first.");
    AddRequest request{true, dir.Path(), {"A.wav"}};
    EXPECT_EQ(model.Add(request,
                        [](uint32_t*, std::string* text) {
                            *text = "There is no disc in the device.";
                            return false;
                        }),
              "There is no disc in the device.");
    EXPECT_EQ(Add({"gone.wav"}), "File open error.");
    EXPECT_FALSE(model.HasRows());

    EXPECT_EQ(Add({"A.wav", "B.wav"}), "");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
    const TrackRow& row = model.Rows()[1];
    EXPECT_EQ(row.path, dir / "B.wav");
    EXPECT_EQ(row.time, "0m5s");
    EXPECT_EQ(row.sectors, 375u);
    EXPECT_EQ(CTrackListModel::NumberText(1), "2");
    EXPECT_EQ(model.DiscSectors(), 375u + 150 + 375);
    EXPECT_TRUE(model.HasRows());
}

TEST_F(TrackListTest, TheDiscIsCountedInAudioSectorsWithGapsAndPadding) {
    // Two tracks of 375 sectors with the gap between them fill 900 free sectors exactly; one more does not.
    EXPECT_EQ(Add({"A.wav", "B.wav"}, 900), "");
    EXPECT_EQ(Add({"C.wav", "D.wav"}, 900), "Total write size are too large.");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"})); // D, below C, is not added either
    EXPECT_TRUE(model.HasRows());

    // A track shorter than 4 seconds takes 300 sectors.
    CTrackListModel shortOnes;
    WriteSilentWav(dir / "short.wav", 2352);
    AddRequest request{true, dir.Path(), {"short.wav", "short.wav"}};
    const auto room = [](uint64_t sectors) {
        return [sectors](uint32_t* bytes, std::string*) {
            *bytes = static_cast<uint32_t>(sectors * 2048);
            return true;
        };
    };
    EXPECT_EQ(shortOnes.Add(request, room(749)), "Total write size are too large.");
    EXPECT_EQ(shortOnes.Count(), 1);
    EXPECT_EQ(shortOnes.Add({true, dir.Path(), {"short.wav"}}, room(750)), "");
    EXPECT_EQ(shortOnes.DiscSectors(), 750u);

    // An 80-minute CD-R holds 79 minutes of audio, although its WAV file is larger than the free
    // blocks times 2048; 80 minutes and a sector do not fit.
    CTrackListModel album;
    WriteSilentWav(dir / "79min.wav", kSecond * 60 * 79);
    WriteSilentWav(dir / "80min+1.wav", kSecond * 60 * 80 + 1);
    EXPECT_EQ(album.Add({true, dir.Path(), {"80min+1.wav"}}, room(360000)),
              "Total write size are too large.");
    EXPECT_EQ(album.Add({true, dir.Path(), {"79min.wav"}}, room(360000)), "");
    EXPECT_EQ(album.Rows()[0].time, "1h19m0s");
}

TEST_F(TrackListTest, UpAndDownMoveEachSelectedRowPastItsUnselectedNeighbour) {
    struct Case {
        std::vector<int> selected;
        bool up;
        std::vector<std::string> order;
        std::vector<int> selectedAfter;
        const char* message;
    };
    const Case cases[] = {
        // A block moves as one; the row it passes goes to its other end.
        {{2, 3}, true, {"A", "C", "D", "B", "E", "F"}, {1, 2}, ""},
        {{2, 3}, false, {"A", "B", "E", "C", "D", "F"}, {3, 4}, ""},
        {{1, 2, 3, 4}, true, {"B", "C", "D", "E", "A", "F"}, {0, 1, 2, 3}, ""},
        // Rows apart each move, and no unselected row moves in their place.
        {{2, 4}, true, {"A", "C", "B", "E", "D", "F"}, {1, 3}, ""},
        {{2, 4}, false, {"A", "B", "D", "C", "F", "E"}, {3, 5}, ""},
        {{0, 3}, true, {"A", "B", "C", "D", "E", "F"}, {0, 3}, "Cannot move the track up further."},
        {{2, 5}, false, {"A", "B", "C", "D", "E", "F"}, {2, 5}, "Cannot move the track down further."},
        {{}, true, {"A", "B", "C", "D", "E", "F"}, {}, "Please select audio tracks first !"},
        {{}, false, {"A", "B", "C", "D", "E", "F"}, {}, "Please select audio tracks first !"},
    };
    for (const Case& c : cases) {
        CTrackListModel fresh;
        model = fresh;
        Add({"A.wav", "B.wav", "C.wav", "D.wav", "E.wav", "F.wav"});
        Select(c.selected);
        SCOPED_TRACE(testing::PrintToString(c.selected) + (c.up ? " up" : " down"));
        EXPECT_EQ(c.up ? model.Up() : model.Down(), c.message);
        EXPECT_EQ(Names(), c.order);
        EXPECT_EQ(Selected(), c.selectedAfter);
    }
}

TEST(WaveList, CdAudioFilesOnlySortedByName) {
    testsupport::TempDir dir;
    const testsupport::WavFormat cd = testsupport::kCdAudio;
    ASSERT_TRUE(testsupport::WritePcWav(dir / "b.wav", 1, 10, cd));
    ASSERT_TRUE(testsupport::WritePcWav(dir / "A.WAV", 1, 10, cd));
    ASSERT_TRUE(testsupport::WritePcWav(dir / "a.wav", 1, 10, cd));
    ASSERT_TRUE(testsupport::WritePcWav(dir / "48k.wav", 1, 10, {2, 16, 48000}));
    ASSERT_TRUE(testsupport::WritePcWav(dir / "mono.wav", 1, 10, {1, 16, 44100}));
    ASSERT_TRUE(testsupport::WritePcWav(dir / "24bit.wav", 1, 10, {2, 24, 44100}));
    ASSERT_TRUE(testsupport::WriteText(dir / "text.wav", "not a wave file"));
    ASSERT_TRUE(platform::CreateDirectory(dir / "folder.wav"));
    EXPECT_EQ(ListCdWaveFiles(dir.Path()), (std::vector<std::string>{"A.WAV", "a.wav", "b.wav"}));
    EXPECT_TRUE(ListCdWaveFiles(dir / "missing").empty());
    EXPECT_TRUE(ListCdWaveFiles("").empty());
}

TEST(WaveList, TrackSectorsAndTheFourSecondMinimum) {
    const std::tuple<uint32_t, uint32_t, bool> cases[] = {
        {0, 300, true},           {2352, 300, true},
        {2352 * 299, 300, true},  {2352 * 299 + 1, 300, false},
        {2352 * 300, 300, false}, {2352 * 300 + 1, 301, false},
    };
    for (const auto& [bytes, sectors, shortTrack] : cases) {
        EXPECT_EQ(TrackSectors(bytes), sectors) << bytes;
        EXPECT_EQ(IsShorterThanCdMinimum(bytes), shortTrack) << bytes;
    }
}

} // namespace
