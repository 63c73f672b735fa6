#include "Fakes.h"
#include "TestDiscBackend.h"
#include "Wav.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/SystemDiscBackend.h"
#include "platform/FileSystem.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace cdwriter;

namespace {

std::vector<std::string> Names(CDiscMaster& master) {
    std::vector<std::string> names;
    for (int i = 0; i < master.GetRecorderCount(); ++i) {
        std::string name;
        master.GetRecorderName(i, &name);
        names.push_back(name);
    }
    return names;
}

TEST(CombinedBackend, ListsPartsInOrderAndStagesOnTheActiveOne) {
    CTestDiscBackend a, b;
    a.SetRecorders({TestRecorder{"A", "ONE", "1"}});
    b.SetRecorders({TestRecorder{"B", "ONE", "1"}, TestRecorder{"B", "TWO", "2"}});
    CCombinedDiscBackend combined({&a, &b});
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir / "t.wav", testsupport::MakeWav(testsupport::Pcm(3000)));

    CDiscMaster master(&combined);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_EQ(Names(master), (std::vector<std::string>{"A, ONE, 1", "B, ONE, 1", "B, TWO, 2"}));
    ASSERT_TRUE(master.SelectRecorder(2));
    EXPECT_EQ(b.Calls().back(), "IDiscMaster::SetActiveDiscRecorder(1)");
    testsupport::ScriptedMessageBox box;
    ASSERT_TRUE(master.AdviseProgress(nullptr));
    ASSERT_TRUE(master.AddWaveTrack(dir / "t.wav"));
    ASSERT_TRUE(master.BurnDisc());
    ASSERT_TRUE(master.UnadviseProgress());
    EXPECT_EQ(b.RecordCount(), 1);
    EXPECT_EQ(a.RecordCount(), 0);
    EXPECT_FALSE(a.WasCalled("IRedbookDiscMaster::CreateAudioTrack"));
    EXPECT_TRUE(a.WasCalled("IDiscMaster::ProgressUnadvise"));
    ASSERT_TRUE(master.ReleaseDiscMaster());
    EXPECT_TRUE(a.WasCalled("IDiscMaster::Close"));
    EXPECT_TRUE(b.WasCalled("IDiscMaster::Close"));
}

TEST(CombinedBackend, APartThatCannotStartOrListIsLeftOut) {
    CTestDiscBackend a, b;
    a.SetRecorders({TestRecorder{"A", "ONE", "1"}});
    b.SetRecorders({TestRecorder{"B", "ONE", "1"}});
    a.FailCall("IDiscMaster::Open", IMAPI_E_GENERIC);
    CCombinedDiscBackend combined({&a, &b});
    CDiscMaster master(&combined);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_EQ(Names(master), std::vector<std::string>{"B, ONE, 1"});

    CTestDiscBackend c;
    c.SetRecorders({TestRecorder{"C", "ONE", "1"}});
    c.FailCall("IDiscMaster::EnumDiscRecorders", IMAPI_E_GENERIC);
    CCombinedDiscBackend second({&c, &b});
    CDiscMaster m2(&second);
    ASSERT_TRUE(m2.InitDiscMaster());
    EXPECT_EQ(Names(m2), std::vector<std::string>{"B, ONE, 1"});

    b.FailCall("IDiscMaster::Open", IMAPI_E_DEVICE_NOTACCESSIBLE);
    CDiscMaster none(&combined);
    EXPECT_FALSE(none.InitDiscMaster());
    EXPECT_EQ(none.GetErrorText(), "A generic error occurred.");
}

TEST(SystemBackend, LibburnRecordersFirstThenTheDiscImage) {
    testsupport::TempDir dir;
    CSystemDiscBackend::Options options;
    options.imageFolder = dir.Path();
    options.imageBaseName = "album";
    options.extraDriveAddresses = {"stdio:" + (dir / "pseudo.iso")};
    CSystemDiscBackend backend(options);
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    const auto names = Names(master);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "YOYODYNE, WARP DRIVE, FX01");
    EXPECT_EQ(names.back(), "Pelmora, Disc Image, 1.00");
    ASSERT_TRUE(master.ReleaseDiscMaster());

    testsupport::WriteBytes(dir / "t.wav", testsupport::MakeWav(testsupport::Pcm(2352 * 10)));
    BurnParams params;
    params.backend = &backend;
    params.recorderIndex = static_cast<int>(names.size()) - 1;
    params.tracks = {{"t.wav", dir / "t.wav"}};
    testsupport::ScriptedMessageBox box;
    CBurnJob job(params, &box, nullptr);
    platform::CancelFlag cancel{0};
    job.RunJob(nullptr, nullptr, nullptr, &cancel);
    EXPECT_EQ(job.Result().outcome, BurnOutcome::Burned) << job.Result().message;
    EXPECT_EQ(testsupport::ReadBytes(dir / "album.bin").size(), 300u * 2352); // padded to 4 seconds
    EXPECT_TRUE(platform::PathExists(dir / "album.cue"));

    CSystemDiscBackend::Options plain;
    CSystemDiscBackend withoutImage(plain);
    CDiscMaster m2(&withoutImage);
    ASSERT_TRUE(m2.InitDiscMaster());
    for (const std::string& name : Names(m2))
        EXPECT_NE(name, "Pelmora, Disc Image, 1.00");
}

TEST(SystemBackend, TheDiscImageIsTheLastEntry) {
    // (A burn from the window shows that the image goes where SetImagePath says.)
    testsupport::TempDir dir;
    CTestDiscBackend recorders;
    recorders.SetRecorders({TestRecorder{}});
    CSystemDiscBackend::Options options;
    options.imageFolder = dir.Path();
    options.recorders = &recorders;
    CSystemDiscBackend backend(options);
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    const auto names = Names(master);
    ASSERT_EQ(names,
              (std::vector<std::string>{"TESTVEND, CD-RW RECORDER, 1.00", "Pelmora, Disc Image, 1.00"}));
    EXPECT_TRUE(backend.IsImageRecorder(1, 2, names[1]));
    EXPECT_FALSE(backend.IsImageRecorder(0, 2, names[0]));
    EXPECT_FALSE(backend.IsImageRecorder(0, 2, names[1])); // a real recorder of that name comes first
    EXPECT_TRUE(backend.SetImagePath(dir.Path(), "album"));
    CSystemDiscBackend withoutImage({});
    EXPECT_FALSE(withoutImage.IsImageRecorder(1, 2, names[1]));
    EXPECT_FALSE(withoutImage.SetImagePath(dir.Path(), "album"));
}

} // namespace
