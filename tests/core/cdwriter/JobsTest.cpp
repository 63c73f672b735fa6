#include "Fakes.h"
#include "TestDiscBackend.h"
#include "Wav.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/DriveMedium.h"
#include "cdwriter/EraseJob.h"
#include "platform/Text.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace cdwriter;

namespace {

// Greys Cancel and remembers whether the disc was already being recorded when it was told to.
class CancelControl : public testsupport::RecordingCancelControl {
public:
    explicit CancelControl(CTestDiscBackend* backend) {
        onCall = [this, backend](int) { recordedBefore = backend->WasCalled("IDiscMaster::RecordDisc"); };
    }
    bool recordedBefore = false;
};

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class BurnJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestRecorder blankCdr;
        blankCdr.mediaFlags = MEDIA_BLANK;
        backend.SetRecorders({TestRecorder{}, blankCdr});
        for (int i = 0; i < 3; ++i) {
            const std::string name = platform::Format("mix%d.wav", i + 1);
            pcm.push_back(
                testsupport::Pcm(2352 * 2 + 100 * static_cast<size_t>(i), static_cast<uint32_t>(i + 7)));
            testsupport::WriteBytes(dir / name, testsupport::MakeWav(pcm.back()));
            params.tracks.push_back({name, dir / name});
        }
        params.backend = &backend;
        params.recorderIndex = 1;
    }

    BurnResult Run(platform::CancelFlag* cancel = nullptr) {
        CBurnJob job(params, &box, &cancelControl);
        job.RunJob(&progressText, &statusText, &bar, cancel ? cancel : &noCancel);
        return job.Result();
    }

    testsupport::TempDir dir;
    CTestDiscBackend backend;
    BurnParams params;
    std::vector<std::vector<uint8_t>> pcm;
    testsupport::ScriptedMessageBox box;
    CancelControl cancelControl{&backend};
    testsupport::RecordingTextLine progressText, statusText;
    testsupport::RecordingBar bar;
    platform::CancelFlag noCancel{0};
};

TEST_F(BurnJobTest, BurnsEveryTrackInOrderOnTheChosenRecorder) {
    using E = TestProgressEvent;
    backend.SetBurnEvents({{E::PreparingBurn, 10},
                           {E::TrackProgress, 0, 3},
                           {E::BlockProgress, 3, 9},
                           {E::TrackProgress, 2, 3},
                           {E::ClosingDisc, 2},
                           {E::BurnComplete, 0}});
    const BurnResult result = Run();
    EXPECT_EQ(result.outcome, BurnOutcome::Burned);
    EXPECT_TRUE(box.Texts().empty()); // no success message
    EXPECT_EQ(statusText.texts,
              std::vector<std::string>{"Please do not boot other applications while burning."});
    EXPECT_EQ(progressText.texts, (std::vector<std::string>{
                                      "Add track.  file name : mix1.wav", "Add track.  file name : mix2.wav",
                                      "Add track.  file name : mix3.wav", "Preparing to burn a disc..",
                                      "Burning Track1..", "Burning Track3..", "Closing disc..", ""}));
    // Staging progress at the end of each track: 2, 3 and 3 sectors of audio, each padded with silence
    // to the 4 seconds (300 sectors) a CD track lasts at least; then the burn's.
    EXPECT_EQ(bar.log, (std::vector<std::string>{"pos 0", "range 0..300", "pos 300", "pos 300", "pos 300",
                                                 "range 0..9", "pos 3"}));
    const auto recorded = backend.RecordedTracks();
    ASSERT_EQ(recorded.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        auto expected = pcm[i];
        expected.resize(300 * 2352, 0);
        EXPECT_EQ(recorded[i].announcedBlocks, 300) << i;
        EXPECT_EQ(recorded[i].data, expected) << i;
    }
    const auto calls = backend.Calls();
    EXPECT_TRUE(Contains(calls, "IDiscMaster::SetActiveDiscRecorder(1)"));
    EXPECT_TRUE(Contains(calls, "IDiscMaster::RecordDisc(0,1)"));
    EXPECT_EQ(calls.back(), "IDiscMaster::Close");
    EXPECT_EQ(cancelControl.calls, std::vector<int>{0});
    EXPECT_FALSE(cancelControl.recordedBefore);
}

TEST_F(BurnJobTest, EachErrorCodeIsToldOnceAndCleanedUp) {
    struct Case {
        int err;
        const char* call;
        int occurrence;
        HRESULT hr;
        const char* text;
        bool unadvised;
        bool released;
    };
    const Case cases[] = {
        {CBurnJob::ERR_INIT, "IDiscMaster::Open", 0, IMAPI_E_GENERIC, "A generic error occurred.", false,
         false},
        {CBurnJob::ERR_SELECT_RECORDER, "IDiscMaster::SetActiveDiscRecorder", 2, IMAPI_E_DEVICE_NOTPRESENT,
         "The device is not present or has been removed.", false, true},
        {CBurnJob::ERR_QUERY_MEDIA, "IDiscRecorder::QueryMediaType", 0, IMAPI_E_MEDIUM_NOTPRESENT,
         "There is no disc in the device.", false, true},
        {CBurnJob::ERR_ADVISE, "IDiscMaster::ProgressAdvise", 0, IMAPI_E_GENERIC, "A generic error occurred.",
         false, true},
        {CBurnJob::ERR_ADD_TRACK, "IRedbookDiscMaster::CreateAudioTrack", 2, IMAPI_E_DISCFULL,
         "The disc cannot hold any more data.", true, true},
        {CBurnJob::ERR_RECORD, "IDiscMaster::RecordDisc", 0, IMAPI_E_LOSS_OF_STREAMING,
         "Content streaming was lost; a buffer under-run may have occurred.", true, true},
        {CBurnJob::ERR_UNADVISE, "IDiscMaster::ProgressUnadvise", 0, IMAPI_E_GENERIC,
         "A generic error occurred.", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}, TestRecorder{}});
        b.FailCall(c.call, c.hr, c.occurrence);
        testsupport::ScriptedMessageBox messages;
        BurnParams p = params;
        p.backend = &b;
        CBurnJob job(p, &messages, nullptr);
        job.RunJob(nullptr, nullptr, nullptr, &noCancel);
        EXPECT_EQ(job.Result().outcome, BurnOutcome::Failed);
        EXPECT_EQ(job.Result().errCode, c.err);
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.text});
        EXPECT_EQ(b.WasCalled("IDiscMaster::ProgressUnadvise"), c.unadvised);
        EXPECT_EQ(b.WasCalled("IDiscMaster::Close"), c.released);
        EXPECT_EQ(b.RecordCount(), c.err == CBurnJob::ERR_UNADVISE ? 1 : 0);
    }
}

TEST_F(BurnJobTest, MissingFileAndVanishedRecorder) {
    params.tracks[1].path = dir / "gone.wav";
    EXPECT_EQ(Run().errCode, CBurnJob::ERR_ADD_TRACK);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"File open error."});
    EXPECT_EQ(backend.RecordCount(), 0);

    params.recorderIndex = 2; // the list is shorter than when the track list was made
    EXPECT_EQ(Run().errCode, CBurnJob::ERR_SELECT_RECORDER);
    EXPECT_EQ(box.Texts().back(),
              "An active disc recorder has not been selected using IDiscMaster::SetActiveDiscRecorder.");

    // Chosen by its name: a recorder unplugged since is said to be gone, and one that moved in the list
    // is still the one burned on.
    params.tracks[1].path = dir / "mix2.wav";
    params.recorderName = "VEND9, MOVED, 1";
    params.recorderIndex = 0;
    EXPECT_EQ(Run().errCode, CBurnJob::ERR_SELECT_RECORDER);
    EXPECT_EQ(box.Texts().back(), "The device is not present or has been removed.");
    backend.SetRecorders({TestRecorder{}, TestRecorder{"VEND9", "MOVED", "1"}});
    EXPECT_EQ(Run().outcome, BurnOutcome::Burned);
    EXPECT_TRUE(backend.WasCalled("IDiscMaster::SetActiveDiscRecorder(1)"));
    EXPECT_EQ(backend.RecordCount(), 1);
}

TEST_F(BurnJobTest, MediumChecksEndTheJobWithTheirMessage) {
    auto recorders = backend.Recorders();
    recorders[1].mediaType = 0;
    backend.SetRecorders(recorders);
    EXPECT_EQ(Run().outcome, BurnOutcome::NoMedium);
    ASSERT_EQ(box.Messages().size(), 1u);
    EXPECT_EQ(box.Messages()[0].text, "Please set blank disc.");
    EXPECT_EQ(box.Messages()[0].buttons, platform::MbButtons::Ok);

    for (platform::MbResult answer : {platform::MbResult::Ok, platform::MbResult::Cancel}) {
        recorders[1].mediaType = MEDIA_CDDA_CDROM;
        recorders[1].mediaFlags = MEDIA_RW;
        backend.SetRecorders(recorders);
        box.QueueAnswer(answer);
        EXPECT_EQ(Run().outcome, BurnOutcome::NotBlank);
        EXPECT_EQ(box.Messages().back().text,
                  "The disc cannot hold any more data.\nPlease erase disc data first.");
        EXPECT_EQ(box.Messages().back().buttons, platform::MbButtons::OkCancel);
    }
    EXPECT_FALSE(backend.WasCalled("IRedbookDiscMaster::CreateAudioTrack"));
    EXPECT_FALSE(backend.WasCalled("IDiscMaster::ProgressAdvise"));
    EXPECT_EQ(backend.CountCalls("IDiscMaster::Close"), 3);

    // Rewritable and appendable is not state 2: the burn goes on.
    recorders[1].mediaFlags = MEDIA_RW | MEDIA_WRITABLE;
    backend.SetRecorders(recorders);
    EXPECT_EQ(Run().outcome, BurnOutcome::Burned);
}

TEST_F(BurnJobTest, CancelDuringStagingRecordsNothingAndSaysNothing) {
    platform::CancelFlag cancel{0};
    int blocks = 0;
    backend.SetCallHook([&](const std::string& call) {
        // Two blocks of audio and one of padding make the first track; the fifth is inside the second.
        if (call.rfind("IRedbookDiscMaster::AddAudioTrackBlocks", 0) == 0 && ++blocks == 5)
            cancel = 1;
    });
    EXPECT_EQ(Run(&cancel).outcome, BurnOutcome::Cancelled);
    EXPECT_TRUE(box.Texts().empty());
    EXPECT_EQ(backend.RecordCount(), 0);
    EXPECT_FALSE(backend.WasCalled("IDiscMaster::RecordDisc"));
    const auto staged = backend.StagedTracks();
    ASSERT_EQ(staged.size(), 2u);
    EXPECT_TRUE(staged[1].closed);
    EXPECT_EQ(staged[1].data.size(), 2u * 2352); // 300 announced: neither its audio nor its padding
    EXPECT_TRUE(backend.WasCalled("IDiscMaster::ProgressUnadvise"));
    EXPECT_EQ(backend.Calls().back(), "IDiscMaster::Close");
    EXPECT_TRUE(cancelControl.calls.empty());
}

TEST_F(BurnJobTest, CancelQueryDuringRecordingIsAnsweredFromTheFlag) {
    // The flag set after Cancel was greyed still answers the recorder's query (as the page does).
    using E = TestProgressEvent;
    backend.SetBurnEvents({{E::QueryCancel}});
    platform::CancelFlag cancel{0};
    backend.SetCallHook([&](const std::string& call) {
        if (call.rfind("IDiscMaster::RecordDisc", 0) == 0)
            cancel = 1;
    });
    const BurnResult result = Run(&cancel);
    EXPECT_EQ(result.errCode, CBurnJob::ERR_RECORD);
    EXPECT_EQ(result.message, "The user canceled the operation.");
}

class EraseJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestRecorder rw;
        rw.mediaFlags = MEDIA_RW;
        backend.SetRecorders({TestRecorder{}, rw});
        params.backend = &backend;
        params.driveName = "TESTVEND, CD-RW RECORDER, 1.00"; // both recorders carry this name
        params.driveIndex = 1;
    }
    EraseResult Run() {
        CEraseJob job(params, &box);
        platform::CancelFlag cancel{0};
        job.RunJob(nullptr, &status, &bar, &cancel);
        return job.Result();
    }

    CTestDiscBackend backend;
    EraseParams params;
    testsupport::ScriptedMessageBox box;
    testsupport::RecordingTextLine status;
    testsupport::RecordingBar bar;
};

TEST_F(EraseJobTest, QuickEraseThenTellsAndFillsTheBar) {
    EXPECT_EQ(Run().outcome, EraseOutcome::Erased);
    EXPECT_EQ(status.texts, std::vector<std::string>{"Erase disc data.."});
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"Complete erase."});
    EXPECT_EQ(bar.log, (std::vector<std::string>{"range 0..1", "pos 0", "pos 1"}));
    EXPECT_TRUE(backend.WasCalled("IDiscRecorder::Erase(1,0)"));
    EXPECT_EQ(backend.Calls().back(), "IDiscMaster::Close");
}

TEST_F(EraseJobTest, FailuresAndWhatEachLeaves) {
    backend.FailCall("IDiscRecorder::Erase", IMAPI_E_MEDIUM_INVALIDTYPE);
    EXPECT_EQ(Run().outcome, EraseOutcome::Failed);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"The media is not a type that can be used."});
    EXPECT_EQ(bar.log, (std::vector<std::string>{"range 0..1", "pos 0"}));
    EXPECT_FALSE(backend.WasCalled("IDiscMaster::Close"));

    // A recorder not in the list, and one whose name repeats at another position than the one chosen,
    // is said to be gone; no other disc is erased in its place.
    for (const auto& [name, index] : {std::pair<std::string, int>{"NOBODY, NOTHING, 0", 1},
                                      std::pair<std::string, int>{"TESTVEND, CD-RW RECORDER, 1.00", -1}}) {
        params.driveName = name;
        params.driveIndex = index;
        bar.log.clear();
        backend.ClearCalls();
        EXPECT_EQ(Run().errCode, CEraseJob::ERR_DEVICE);
        EXPECT_EQ(box.Texts().back(), "The device is not present or has been removed.");
        EXPECT_EQ(bar.log.back(), "pos 1");
        EXPECT_TRUE(backend.WasCalled("IDiscMaster::Close"));
        EXPECT_EQ(backend.CountCalls("IDiscRecorder::Erase"), 0);
    }

    CTestDiscBackend broken;
    broken.FailCall("CreateDiscMaster", IMAPI_E_GENERIC);
    params.backend = &broken;
    EXPECT_EQ(Run().errCode, CEraseJob::ERR_INIT);
    EXPECT_EQ(box.Texts().back(), "A generic error occurred.");
}

TEST(DriveMediumTexts, EveryCode) {
    EXPECT_EQ(DriveTypeText(1), "CDR Recorder");
    EXPECT_EQ(DriveTypeText(2), "CDRW Recorder");
    EXPECT_EQ(DriveTypeText(0), " ");
    const char* types[] = {"Unknow",   "CDDA_CDROM", "CD_ROM_XA", "CD_I", "CD_EXTRA",
                           "CD_OTHER", "SPECIAL",    " ",         " "};
    for (uint16_t code = 0; code < 9; ++code)
        EXPECT_EQ(MediumTypeText(code), types[code]) << code;
    const char* states[] = {" ", "BLANK", "RW", "WRITABLE", " "};
    for (uint16_t code = 0; code < 5; ++code)
        EXPECT_EQ(MediumStateText(code), states[code]) << code;
}

TEST(DriveMediumFields, WhatTheDialogShowsAndOffers) {
    struct Case {
        const char* what;
        long recorderType, mediaType, mediaFlags;
        const char* failingCall;
        std::vector<std::string> fields; // name, drive type, medium type, medium state; "-" = not read
        bool erase;
    };
    const std::string name = "TESTVEND, CD-RW RECORDER, 1.00";
    // (The page's tests show a rewritable disc, a blank one and a failed medium query.)
    const Case cases[] = {
        {"blank and writable together",
         RECORDER_CDR,
         MEDIA_CDDA_CDROM,
         MEDIA_BLANK | MEDIA_WRITABLE,
         "",
         {name, "CDR Recorder", "CDDA_CDROM", " "},
         false},
        {"a type the service does not know",
         RECORDER_CDR,
         9,
         MEDIA_RW,
         "",
         {name, "CDR Recorder", "Unknow", "RW"},
         true},
        {"type fails",
         RECORDER_CDR,
         1,
         MEDIA_RW,
         "IDiscRecorder::GetRecorderType",
         {name, "-", "-", "-"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTestDiscBackend backend;
        TestRecorder recorder;
        recorder.recorderType = c.recorderType;
        recorder.mediaType = c.mediaType;
        recorder.mediaFlags = c.mediaFlags;
        backend.SetRecorders({recorder});
        CDiscMaster master(&backend);
        ASSERT_TRUE(master.InitDiscMaster());
        if (*c.failingCall)
            backend.FailCall(c.failingCall, IMAPI_E_DEVICE_NOTPRESENT);
        const DriveMediumFields fields = ReadDriveMediumFields(master);
        std::vector<std::string> shown;
        for (const auto* field :
             {&fields.driveName, &fields.driveType, &fields.mediumType, &fields.mediumState})
            shown.push_back(field->value_or("-"));
        EXPECT_EQ(shown, c.fields);
        EXPECT_EQ(fields.eraseEnabled, c.erase);
        EXPECT_EQ(fields.ok, !*c.failingCall);
        EXPECT_EQ(fields.failureText, *c.failingCall ? "The device is not present or has been removed." : "");
    }
}

} // namespace
