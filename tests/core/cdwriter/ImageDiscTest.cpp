#include "Fakes.h"
#include "Wav.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/ImageDiscBackend.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

using namespace cdwriter;

namespace {

class ImageDiscTest : public ::testing::Test {
protected:
    void SetUp() override {
        out = dir / "out";
        platform::CreateDirectory(out);
        // Sizes: sector aligned, one byte over, and an odd number of samples' worth; each lasts more than
        // the 4 seconds below which a track would be padded.
        const size_t sizes[] = {2352 * 380, 2352 * 400 + 1, 2352 * 377 + 1234};
        for (size_t i = 0; i < 3; ++i) {
            const std::string name = platform::Format("song%zu.wav", i + 1);
            pcm.push_back(testsupport::Pcm(sizes[i], static_cast<uint32_t>(100 + i)));
            testsupport::WriteBytes(dir / name, testsupport::MakeWav(pcm.back()));
            params.tracks.push_back({name, dir / name});
        }
        params.backend = &backend;
        params.recorderIndex = 0;
    }

    BurnResult Burn(platform::CancelFlag* cancel = nullptr) {
        platform::CancelFlag none{0};
        CBurnJob job(params, &box, nullptr);
        job.RunJob(nullptr, nullptr, nullptr, cancel ? cancel : &none);
        return job.Result();
    }

    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : platform::FindFiles(out, "*"))
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    static size_t Sectors(size_t bytes) { return (bytes + 2351) / 2352; }

    testsupport::TempDir dir;
    std::string out;
    CImageDiscBackend backend{dir / "out", "My Disc"};
    BurnParams params;
    std::vector<std::vector<uint8_t>> pcm;
    testsupport::ScriptedMessageBox box;
};

TEST_F(ImageDiscTest, TheRecorderAndItsBlankMedium) {
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    ASSERT_EQ(master.GetRecorderCount(), 1);
    std::string name;
    master.GetRecorderName(0, &name);
    EXPECT_EQ(name, "Pelmora, Disc Image, 1.00");
    uint16_t type = 0, state = 9;
    ASSERT_TRUE(master.QueryMedia(&type, &state));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(state, 0); // blank and writable together
    uint32_t bytes = 0;
    ASSERT_TRUE(master.GetFreeBytes(&bytes));
    EXPECT_EQ(bytes, 360000u * 2048);
    EXPECT_TRUE(master.EraseDisc(0));
    EXPECT_TRUE(master.EjectDisc());
    EXPECT_TRUE(master.ReleaseDiscMaster());
}

TEST_F(ImageDiscTest, BurnWritesPaddedTracksWithGapsAndACueSheet) {
    ASSERT_EQ(Burn().outcome, BurnOutcome::Burned) << (box.Texts().empty() ? "" : box.Texts()[0]);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"My Disc.bin", "My Disc.cue"}));

    std::vector<uint8_t> expected;
    std::vector<size_t> starts, gaps;
    for (size_t i = 0; i < pcm.size(); ++i) {
        if (i > 0)
            expected.resize(expected.size() + 150 * 2352, 0);
        gaps.push_back(expected.size() / 2352 - (i > 0 ? 150 : 0));
        starts.push_back(expected.size() / 2352);
        expected.insert(expected.end(), pcm[i].begin(), pcm[i].end());
        expected.resize(Sectors(expected.size()) * 2352, 0);
    }
    EXPECT_TRUE(testsupport::ReadBytes(backend.BinPath()) == expected);
    EXPECT_EQ(testsupport::ReadText(backend.CuePath()), "FILE \"My Disc.bin\" BINARY\n"
                                                        "  TRACK 01 AUDIO\n"
                                                        "    INDEX 01 00:00:00\n"
                                                        "  TRACK 02 AUDIO\n"
                                                        "    INDEX 00 00:05:05\n"
                                                        "    INDEX 01 00:07:05\n"
                                                        "  TRACK 03 AUDIO\n"
                                                        "    INDEX 00 00:12:31\n"
                                                        "    INDEX 01 00:14:31\n");
    EXPECT_EQ(starts, (std::vector<size_t>{0, 530, 1081}));

    // A second burn replaces the image.
    params.tracks.resize(1);
    ASSERT_EQ(Burn().outcome, BurnOutcome::Burned);
    EXPECT_EQ(testsupport::ReadBytes(backend.BinPath()).size(), 380u * 2352);
}

TEST_F(ImageDiscTest, CancelAndFailureLeaveNothingBehind) {
    platform::CancelFlag cancel{0};
    cancel = 1;
    EXPECT_EQ(Burn(&cancel).outcome, BurnOutcome::Cancelled);
    EXPECT_TRUE(OutFiles().empty());

    params.tracks[2].path = dir / "missing.wav";
    EXPECT_EQ(Burn().outcome, BurnOutcome::Failed);
    EXPECT_EQ(box.Texts().back(), "File open error.");
    EXPECT_TRUE(OutFiles().empty());

    // A track without audio is no failure: like any track shorter than 4 seconds it is padded with
    // silence to 4 seconds.
    testsupport::WriteBytes(dir / "empty.wav", testsupport::MakeWav({}));
    params.tracks[2].path = dir / "empty.wav";
    EXPECT_EQ(Burn().outcome, BurnOutcome::Burned);
    const auto bin = testsupport::ReadBytes(backend.BinPath());
    ASSERT_EQ(bin.size(), (380u + 150 + 401 + 150 + 300) * 2352);
    EXPECT_TRUE(std::all_of(bin.end() - 300 * 2352, bin.end(), [](uint8_t b) { return b == 0; }));
    for (const std::string& name : OutFiles())
        platform::DeleteFile(platform::JoinPath(out, name));

    params.tracks[2].path = dir / "song3.wav";
    platform::faults::Plan plan;
    plan.failWriteAt = 20;
    plan.writesStayFailed = true;
    plan.error = ENOSPC;
    {
        platform::faults::ScopedPlan faults(plan);
        EXPECT_EQ(Burn().outcome, BurnOutcome::Failed);
    }
    EXPECT_EQ(box.Texts().back(), "An error occurred while writing the image file.");
    EXPECT_TRUE(OutFiles().empty());
}

// Killed at any change while it replaces an image, a burn never leaves a .cue beside a .bin it does
// not describe (a lone .bin may stay), and the next burn replaces whatever is left.
TEST_F(ImageDiscTest, AKilledBurnNeverLeavesACueSheetOfAnotherImage) {
    ASSERT_EQ(Burn().outcome, BurnOutcome::Burned);
    const auto oldBin = testsupport::ReadBytes(backend.BinPath());
    const std::string oldCue = testsupport::ReadText(backend.CuePath());
    params.tracks.resize(1);
    ASSERT_EQ(Burn().outcome, BurnOutcome::Burned);
    const auto newBin = testsupport::ReadBytes(backend.BinPath());
    const std::string newCue = testsupport::ReadText(backend.CuePath());

    const int64_t kills = testsupport::SweepFaults(100, [&](int64_t n) {
        testsupport::WriteBytes(backend.BinPath(), oldBin);
        testsupport::WriteText(backend.CuePath(), oldCue);
        const bool killed = testsupport::KilledAt(n, [&] { Burn(); });
        SCOPED_TRACE("killed before change " + std::to_string(n));
        if (platform::PathExists(backend.CuePath())) {
            const std::string cue = testsupport::ReadText(backend.CuePath());
            const auto bin = testsupport::ReadBytes(backend.BinPath());
            EXPECT_TRUE((cue == oldCue && bin == oldBin) || (cue == newCue && bin == newBin));
        }
        EXPECT_EQ(Burn().outcome, BurnOutcome::Burned);
        EXPECT_EQ(testsupport::ReadText(backend.CuePath()), newCue);
        EXPECT_TRUE(testsupport::ReadBytes(backend.BinPath()) == newBin);
        return killed ? n : n - 1;
    });
    EXPECT_GT(kills, 3);
}

TEST_F(ImageDiscTest, ANameTheCueSheetCannotHoldIsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* name;
        bool usable;
    };
    for (const Case c :
         {Case{"My Disc", true}, Case{"Disque 'été' x", true}, Case{"", false}, Case{"a/b", false},
          Case{"a\"b", false}, Case{"two\nlines", false}, Case{"tab\there", false}})
        EXPECT_EQ(CImageDiscBackend::IsUsableBaseName(c.name), c.usable) << c.name;

    CImageDiscBackend quoted(out, "a\"b");
    params.backend = &quoted;
    EXPECT_EQ(Burn().errCode, CBurnJob::ERR_ADD_TRACK);
    EXPECT_EQ(box.Texts().back(), "An error occurred while writing the image file.");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(ImageDiscTest, DiscCapacityAndTrackCount) {
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    // 99 one-sector tracks fit; the hundredth does not.
    const std::string one = dir / "one.wav";
    testsupport::WriteBytes(one, testsupport::MakeWav(testsupport::Pcm(4)));
    for (int i = 0; i < 99; ++i)
        ASSERT_TRUE(master.AddWaveTrack(one)) << i;
    EXPECT_FALSE(master.AddWaveTrack(one));
    EXPECT_EQ(master.GetErrorText(), "The disc cannot hold any more data.");
    ASSERT_TRUE(master.ReleaseDiscMaster());
    EXPECT_TRUE(OutFiles().empty());
}

// Independent readers of the image: the cue parser of libcdio and bchunk's splitter.
TEST_F(ImageDiscTest, OutsideToolsReadTheImage) {
    ASSERT_EQ(Burn().outcome, BurnOutcome::Burned);
    if (testsupport::HaveTool("cd-info")) {
        std::string text;
        ASSERT_EQ(testsupport::RunCommand("cd-info --no-device-info --no-cddb --cue-file '" +
                                              backend.CuePath() + "' 2>&1",
                                          &text),
                  0)
            << text;
        // Track list lines: "  1: 00:02:00  000000 audio  false  no    2        no"
        std::regex line(R"(^\s*(\d+): (\d\d):(\d\d):(\d\d)\s+(\d+) audio)");
        std::vector<long> lsns;
        std::istringstream lines(text);
        for (std::string l; std::getline(lines, l);) {
            std::smatch m;
            if (std::regex_search(l, m, line))
                lsns.push_back(std::stol(m[5]));
        }
        ASSERT_EQ(lsns.size(), 3u) << text;
        EXPECT_EQ(lsns, (std::vector<long>{0, 530, 1081})) << text;
        // Track lengths: 380 sectors + gap, 401 + gap, and the last 378 sectors up to the lead-out.
        EXPECT_NE(text.find("170: 00:21:34  001459 leadout"), std::string::npos) << text;
    } else {
        GTEST_SKIP() << "cd-info not installed";
    }
    if (!testsupport::HaveTool("bchunk"))
        GTEST_SKIP() << "bchunk not installed";
    const std::string split = dir / "split";
    platform::CreateDirectory(split);
    std::string log;
    ASSERT_EQ(testsupport::RunCommand("cd '" + split + "' && bchunk -w '" + backend.BinPath() + "' '" +
                                          backend.CuePath() + "' part 2>&1",
                                      &log),
              0)
        << log;
    for (size_t i = 0; i < 3; ++i) {
        const auto wav = testsupport::ReadBytes(split + platform::Format("/part%02zu.wav", i + 1));
        ASSERT_GE(wav.size(), 44 + pcm[i].size()) << i << log;
        const std::vector<uint8_t> samples(wav.begin() + 44, wav.end());
        EXPECT_TRUE(std::equal(pcm[i].begin(), pcm[i].end(), samples.begin())) << i;
        EXPECT_TRUE(std::all_of(samples.begin() + static_cast<long>(pcm[i].size()), samples.end(),
                                [](uint8_t b) { return b == 0; }))
            << i;
    }
}

} // namespace
