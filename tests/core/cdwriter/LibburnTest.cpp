#include "Fakes.h"
#include "Wav.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/LibburnBackend.h"
#include "cdwriter/LibburnSource.h"
#include "platform/FileSystem.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <libburn/libburn.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <unistd.h>

using namespace cdwriter;

namespace {

// A libburn call that never returns must fail the test, not hang it.
template <typename F> auto WithinTimeLimit(F&& work) {
    auto future = std::async(std::launch::async, std::forward<F>(work));
    if (future.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "libburn did not return within 60 s";
        std::abort(); // the worker cannot be stopped; ending here beats hanging the suite
    }
    return future.get();
}

bool MachineHasOpticalDrive() {
    for (const auto& e : platform::FindFiles("/dev", "sr*"))
        if (!e.name.empty())
            return true;
    return false;
}

TEST(LibburnBackend, ScanOnAMachineWithoutRecorders) {
    if (MachineHasOpticalDrive())
        GTEST_SKIP() << "this machine has an optical drive";
    CLibburnBackend backend;
    const int count = WithinTimeLimit([&] {
        CDiscMaster master(&backend);
        const int ok = master.InitDiscMaster();
        const int n = ok ? master.GetRecorderCount() : -1;
        master.ReleaseDiscMaster();
        return n;
    });
    EXPECT_EQ(count, 0);
}

TEST(LibburnBackend, PseudoDriveIsListedAndItsRefusalOfAudioReachesTheUser) {
    testsupport::TempDir dir;
    const std::string image = dir / "pseudo.iso";
    CLibburnBackend backend({"stdio:" + image});
    testsupport::WriteBytes(dir / "a.wav", testsupport::MakeWav(testsupport::Pcm(2352 * 300)));

    struct Seen {
        std::string name;
        uint16_t recorderType = 0, mediumType = 9, mediumState = 9;
        int ejected = 0, erased = 0;
        std::string eraseText;
    };
    const Seen seen = WithinTimeLimit([&] {
        Seen s;
        CDiscMaster master(&backend);
        if (!master.InitDiscMaster() || master.GetRecorderCount() != 1)
            return s;
        master.GetRecorderName(0, &s.name);
        master.GetRecorderType(&s.recorderType);
        master.QueryMedia(&s.mediumType, &s.mediumState);
        s.erased = master.EraseDisc(0);
        s.eraseText = master.GetErrorText();
        s.ejected = master.EjectDisc();
        master.ReleaseDiscMaster();
        return s;
    });
    EXPECT_EQ(seen.name, "YOYODYNE, WARP DRIVE, FX01");
    EXPECT_EQ(seen.recorderType, 1);
    EXPECT_EQ(seen.mediumType, 6); // not a CD
    EXPECT_EQ(seen.mediumState, 0);
    EXPECT_FALSE(seen.erased); // blank: nothing to erase
    EXPECT_EQ(seen.eraseText, "The media is not a type that can be used.");
    EXPECT_TRUE(seen.ejected);

    testsupport::ScriptedMessageBox box;
    BurnParams params;
    params.backend = &backend;
    params.recorderIndex = 0;
    params.tracks = {{"a.wav", dir / "a.wav"}, {"a.wav", dir / "a.wav"}};
    const BurnResult result = WithinTimeLimit([&] {
        CBurnJob job(params, &box, nullptr);
        platform::CancelFlag cancel{0};
        job.RunJob(nullptr, nullptr, nullptr, &cancel);
        return job.Result();
    });
    EXPECT_EQ(result.errCode, CBurnJob::ERR_RECORD);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"The media is not a type that can be used."});
    EXPECT_FALSE(platform::PathExists(image)); // nothing was written
}

TEST(LibburnBackend, TrackSourceYieldsExactlyItsSectors) {
    testsupport::TempDir dir;
    const auto stash = testsupport::Pcm(2352 * 10);
    testsupport::WriteBytes(dir / "stash", stash);
    const int fd = ::open((dir / "stash").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    burn::burn_source* source = NewStashSource(fd, 2352 * 2, 2352 * 5);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->get_size(source), 2352 * 5);
    std::vector<uint8_t> got;
    unsigned char sector[2352];
    int n;
    while ((n = source->read(source, sector, sizeof sector)) > 0)
        got.insert(got.end(), sector, sector + n);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), stash.begin() + 2352 * 2));
    EXPECT_EQ(got.size(), 2352u * 5); // and not the three sectors that follow
    source->set_size(source, 2352 * 6);
    EXPECT_EQ(source->get_size(source), 2352 * 6); // libburn pads on its own; the source still stops
    source->free_data(source);
    std::free(source);
    ::close(fd);
}

} // namespace
