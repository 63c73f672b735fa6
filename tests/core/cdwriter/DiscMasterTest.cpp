#include "cdwriter/DiscMaster.h"
#include "Fakes.h"
#include "TestDiscBackend.h"
#include "Wav.h"
#include "cdwriter/DiscProgress.h"
#include "platform/Text.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace cdwriter;
using testsupport::MakeWav;
using testsupport::Pcm;
using testsupport::WavShape;

namespace {

class DiscMasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend.SetRecorders({TestRecorder{}, TestRecorder{"VEND2", "WRITER", "2.10", RECORDER_CDR}});
    }
    std::string Wav(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir / name;
        testsupport::WriteBytes(path, bytes);
        return path;
    }

    testsupport::TempDir dir;
    CTestDiscBackend backend;
};

TEST_F(DiscMasterTest, StartUpListsRecordersAndSelectsTheFirst) {
    CDiscMaster master(&backend);
    EXPECT_TRUE(backend.Calls().empty()); // construction touches nothing
    ASSERT_TRUE(master.InitDiscMaster());
    ASSERT_EQ(master.GetRecorderCount(), 2);
    std::string name;
    master.GetRecorderName(1, &name);
    EXPECT_EQ(name, "VEND2, WRITER, 2.10");
    std::string untouched = "keep";
    master.GetRecorderName(2, &untouched);
    master.GetRecorderName(-1, &untouched);
    EXPECT_EQ(untouched, "keep");
    const auto calls = backend.Calls();
    EXPECT_EQ(master.GetActiveRecorderName(), "TESTVEND, CD-RW RECORDER, 1.00");
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "CreateDiscMaster");
    EXPECT_EQ(calls[1], "IDiscMaster::Open");
    EXPECT_EQ(calls[2], "IDiscMaster::GetActiveDiscMasterFormat");
    EXPECT_EQ(calls[3], "IDiscMaster::SetActiveDiscMasterFormat(Redbook)");
    EXPECT_EQ(calls.back(), "IDiscMaster::SetActiveDiscRecorder(0)");

    ASSERT_TRUE(master.SelectRecorderByName("VEND2, WRITER, 2.10"));
    EXPECT_EQ(backend.Calls().back(), "IDiscMaster::SetActiveDiscRecorder(1)");
    EXPECT_FALSE(master.SelectRecorderByName("vend2, writer, 2.10"));
    EXPECT_EQ(master.GetErrorText(), "No error.");
    EXPECT_TRUE(master.ReleaseDiscMaster());
    EXPECT_FALSE(master.IsOpen());
}

TEST_F(DiscMasterTest, StartUpWithoutRecordersSucceedsEmpty) {
    backend.SetRecorders({});
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_EQ(master.GetRecorderCount(), 0);
    std::string name;
    master.GetRecorderName(0, &name);
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(master.GetActiveRecorderName(), "");
}

TEST_F(DiscMasterTest, StartUpFailuresAndTheFormatThatMayFail) {
    struct Case {
        const char* call;
        bool initSucceeds;
    };
    for (const Case c :
         {Case{"CreateDiscMaster", false}, Case{"IDiscMaster::Open", false},
          Case{"IDiscMaster::GetActiveDiscMasterFormat", false},
          Case{"IDiscMaster::SetActiveDiscMasterFormat", true}, Case{"IDiscMaster::EnumDiscRecorders", false},
          Case{"IDiscRecorder::GetDisplayNames", false}, Case{"IDiscMaster::SetActiveDiscRecorder", true}}) {
        SCOPED_TRACE(c.call);
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}});
        b.FailCall(c.call, IMAPI_E_GENERIC);
        CDiscMaster master(&b);
        EXPECT_EQ(master.InitDiscMaster(), c.initSucceeds ? 1 : 0);
        if (!c.initSucceeds) {
            EXPECT_EQ(master.GetErrorCode(), CDiscMaster::DM_ERR_IMAPI);
            EXPECT_EQ(master.GetErrorText(), "A generic error occurred.");
        }
    }
}

TEST_F(DiscMasterTest, MissingRecorderOrFormatIsReportedNotFollowed) {
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    backend.SetRecorders({}); // unplugged after start-up
    EXPECT_FALSE(master.SelectRecorder(0));
    uint16_t type = 9, state = 9;
    EXPECT_FALSE(master.QueryMedia(&type, &state));
    EXPECT_EQ(master.GetResult(), IMAPI_E_NOACTIVERECORDER);
    EXPECT_EQ(master.GetErrorText(),
              "An active disc recorder has not been selected using IDiscMaster::SetActiveDiscRecorder.");
    EXPECT_FALSE(master.GetRecorderType(&type));
    EXPECT_FALSE(master.EjectDisc());
    EXPECT_EQ(master.GetResult(), IMAPI_E_NOACTIVERECORDER);

    CTestDiscBackend noFormat;
    noFormat.SetRecorders({TestRecorder{}});
    noFormat.FailCall("IDiscMaster::SetActiveDiscMasterFormat", IMAPI_E_GENERIC);
    CDiscMaster m2(&noFormat);
    ASSERT_TRUE(m2.InitDiscMaster());
    EXPECT_FALSE(m2.AddWaveTrack(Wav("a.wav", MakeWav(Pcm(10)))));
    EXPECT_EQ(m2.GetResult(), IMAPI_E_NOACTIVEFORMAT);
    EXPECT_EQ(m2.GetErrorCode(), CDiscMaster::DM_ERR_IMAPI);
}

TEST_F(DiscMasterTest, StagingSizesAndPadding) {
    struct Case {
        size_t bytes;
        long blocks;
    };
    for (const Case c : {Case{2352 * 3, 3}, Case{2352 * 3 + 1, 4}, Case{0, 0}, Case{1, 1}, Case{2351, 1}}) {
        SCOPED_TRACE(c.bytes);
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}});
        CDiscMaster master(&b);
        ASSERT_TRUE(master.InitDiscMaster());
        const auto pcm = Pcm(c.bytes, static_cast<uint32_t>(c.bytes));
        ASSERT_TRUE(master.AddWaveTrack(Wav("t.wav", MakeWav(pcm))));
        const auto tracks = b.StagedTracks();
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0].announcedBlocks, c.blocks);
        EXPECT_TRUE(tracks[0].closed);
        EXPECT_EQ(b.CountCalls("IRedbookDiscMaster::AddAudioTrackBlocks(2352)"), c.blocks);
        auto expected = pcm;
        expected.resize(static_cast<size_t>(c.blocks) * 2352, 0);
        EXPECT_EQ(tracks[0].data, expected);
    }
}

TEST_F(DiscMasterTest, ShortTracksArePaddedToTheMinimumInOneBlockOfSilence) {
    struct Case {
        size_t bytes;
        long announced;
        int audioCalls; // blocks of 2352 read from the file
        bool padded;
    };
    for (const Case c : {Case{0, 300, 0, true}, Case{2352 * 3 + 1, 300, 4, true},
                         Case{2352 * 300, 300, 300, false}, Case{2352 * 300 + 1, 301, 301, false}}) {
        SCOPED_TRACE(c.bytes);
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}});
        CDiscMaster master(&b);
        ASSERT_TRUE(master.InitDiscMaster());
        master.SetMinTrackBlocks(300);
        const auto pcm = Pcm(c.bytes, 3);
        ASSERT_TRUE(master.AddWaveTrack(Wav("t.wav", MakeWav(pcm))));
        const auto tracks = b.StagedTracks();
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0].announcedBlocks, c.announced);
        EXPECT_EQ(b.CountCalls("IRedbookDiscMaster::AddAudioTrackBlocks(2352)"), c.audioCalls);
        const long padding = (300 - c.audioCalls) * 2352L;
        EXPECT_EQ(b.WasCalled(platform::Format("IRedbookDiscMaster::AddAudioTrackBlocks(%ld)", padding)),
                  c.padded);
        auto expected = pcm;
        expected.resize(static_cast<size_t>(c.announced) * 2352, 0);
        EXPECT_EQ(tracks[0].data, expected);
    }

    // A cancel in the audio stops before the padding too: the track is closed short.
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    master.SetMinTrackBlocks(300);
    platform::CancelFlag cancel{0};
    master.SetCancelFlag(&cancel);
    backend.SetCallHook([&](const std::string& call) {
        if (call.rfind("IRedbookDiscMaster::AddAudioTrackBlocks", 0) == 0)
            cancel = 1;
    });
    ASSERT_TRUE(master.AddWaveTrack(Wav("c.wav", MakeWav(Pcm(2352 * 5)))));
    ASSERT_EQ(backend.StagedTracks().size(), 1u);
    EXPECT_EQ(backend.StagedTracks()[0].data.size(), 2352u);
    EXPECT_TRUE(backend.StagedTracks()[0].closed);
}

TEST_F(DiscMasterTest, ARecorderChosenEarlierIsFoundByNameAndByPositionWhereNamesRepeat) {
    const TestRecorder same{"SAME", "WRITER", "1"};
    backend.SetRecorders({same, TestRecorder{"OTHER", "WRITER", "1"}, same});
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    struct Case {
        const char* name;
        int position;
        int selected; // -1: refused as gone
    };
    const Case cases[] = {
        {"OTHER, WRITER, 1", 1, 1}, {"OTHER, WRITER, 1", 0, 1}, // listed once: wherever it is now
        {"SAME, WRITER, 1", 2, 2},  {"SAME, WRITER, 1", 0, 0},  // repeated: the position decides
        {"SAME, WRITER, 1", 1, -1}, {"SAME, WRITER, 1", -1, -1}, {"GONE, WRITER, 1", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.position));
        backend.ClearCalls();
        EXPECT_EQ(master.SelectRecorderByName(c.name, c.position), c.selected >= 0 ? 1 : 0);
        if (c.selected >= 0) {
            EXPECT_EQ(backend.Calls().back(),
                      platform::Format("IDiscMaster::SetActiveDiscRecorder(%d)", c.selected));
        } else {
            EXPECT_FALSE(backend.WasCalled("IDiscMaster::SetActiveDiscRecorder"));
            EXPECT_EQ(master.GetErrorText(), "No error.");
            EXPECT_EQ(master.GetFailureText(), "The device is not present or has been removed.");
        }
    }
}

TEST_F(DiscMasterTest, TheFailureTextAlwaysSaysSomething) {
    struct Case {
        const char* call;
        HRESULT hr;
        const char* text;
    };
    const Case cases[] = {
        {"IDiscRecorder::QueryMediaType", IMAPI_E_MEDIUM_NOTPRESENT, "There is no disc in the device."},
        {"IDiscRecorder::QueryMediaType", E_FAIL, "An unknown error occurred (0x80004005)."},
        {"IDiscRecorder::QueryMediaType", IMAPI_E_TRACK_NOT_BIG_ENOUGH,
         "An unknown error occurred (0x8004022D)."},
    };
    for (const Case& c : cases) {
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}});
        CDiscMaster master(&b);
        ASSERT_TRUE(master.InitDiscMaster());
        b.FailCall(c.call, c.hr);
        uint16_t type = 0, state = 0;
        EXPECT_FALSE(master.QueryMedia(&type, &state));
        EXPECT_EQ(master.GetFailureText(), c.text);
    }
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_FALSE(master.AddWaveTrack(dir / "missing.wav"));
    EXPECT_EQ(master.GetFailureText(), "File open error.");
    EXPECT_FALSE(master.SelectRecorderByName("NOBODY"));
    EXPECT_EQ(master.GetErrorText(), "No error.");
    EXPECT_EQ(master.GetFailureText(), "The device is not present or has been removed.");
}

TEST_F(DiscMasterTest, StagingHeadersAndChunkWalk) {
    const auto pcm = Pcm(5000);
    const std::vector<uint8_t> odd(7, 0xEE);
    struct Case {
        const char* name;
        WavShape shape;
        bool ok;
        const char* error;
    };
    WavShape lower;
    lower.riff = "riff";
    lower.wave = "wave";
    lower.dataId = "DATA";
    WavShape rifx;
    rifx.riff = "RIFX";
    WavShape notWave;
    notWave.wave = "AVI ";
    WavShape noData;
    noData.withData = false;
    WavShape list;
    list.before = {{"LIST", std::vector<uint8_t>(3000, 0x55)}, {"LIST", odd}};
    WavShape unpadded; // a writer that forgot the pad byte: the walk lands inside the data chunk
    unpadded.before = {{"LIST", odd}};
    unpadded.padOddChunks = false;
    const Case cases[] = {
        {"upper", WavShape{}, true, ""},
        {"lower", lower, true, ""},
        {"rifx", rifx, false, "Not find chunk."},
        {"not wave", notWave, false, "Not find chunk."},
        {"no data", noData, false, "File read error."},
        {"list chunks incl. odd", list, true, ""},
        {"odd chunk without pad", unpadded, false, "File read error."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTestDiscBackend b;
        b.SetRecorders({TestRecorder{}});
        CDiscMaster master(&b);
        ASSERT_TRUE(master.InitDiscMaster());
        EXPECT_EQ(master.AddWaveTrack(Wav("t.wav", MakeWav(pcm, c.shape))), c.ok ? 1 : 0);
        if (c.ok) {
            auto expected = pcm;
            expected.resize(3 * 2352, 0);
            ASSERT_EQ(b.StagedTracks().size(), 1u);
            EXPECT_EQ(b.StagedTracks()[0].data, expected);
        } else {
            EXPECT_EQ(master.GetErrorText(), c.error);
        }
    }
}

TEST_F(DiscMasterTest, StagingFileErrors) {
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_FALSE(master.AddWaveTrack(dir / "missing.wav"));
    EXPECT_EQ(master.GetErrorText(), "File open error.");
    EXPECT_FALSE(master.AddWaveTrack(Wav("short.wav", {'R', 'I', 'F', 'F', 0, 0})));
    EXPECT_EQ(master.GetErrorText(), "File read error.");
    EXPECT_FALSE(master.AddWaveTrack(Wav("empty.wav", {})));
    EXPECT_EQ(master.GetErrorText(), "File read error.");
    auto junkFirst = MakeWav(Pcm(100)); // the RIFF header must open the file
    junkFirst.insert(junkFirst.begin(), {'J', 'U', 'N', 'K', 2, 0, 0, 0, 0, 0});
    EXPECT_FALSE(master.AddWaveTrack(Wav("junk.wav", junkFirst)));
    EXPECT_EQ(master.GetErrorText(), "Not find chunk.");

    // A data chunk longer than the file: the track stays open, the read error is reported.
    auto bytes = MakeWav(Pcm(3000));
    bytes.resize(bytes.size() - 100);
    EXPECT_FALSE(master.AddWaveTrack(Wav("cut.wav", bytes)));
    EXPECT_EQ(master.GetErrorText(), "File read error.");
    EXPECT_FALSE(backend.StagedTracks().back().closed);

    // That open track refuses a next one, as a real recorder does: a fresh disc master takes it.
    CDiscMaster fresh(&backend);
    ASSERT_TRUE(fresh.InitDiscMaster());
    backend.FailCall("IRedbookDiscMaster::AddAudioTrackBlocks", IMAPI_E_DISCFULL, 2);
    EXPECT_FALSE(fresh.AddWaveTrack(Wav("ok.wav", MakeWav(Pcm(9000)))));
    EXPECT_EQ(fresh.GetErrorText(), "The disc cannot hold any more data.");
}

TEST_F(DiscMasterTest, CancelDuringStagingClosesTheTrackShort) {
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    platform::CancelFlag cancel{0};
    master.SetCancelFlag(&cancel);
    int blocks = 0;
    backend.SetCallHook([&](const std::string& call) {
        if (call.rfind("IRedbookDiscMaster::AddAudioTrackBlocks", 0) == 0 && ++blocks == 2)
            cancel = 1;
    });
    ASSERT_TRUE(master.AddWaveTrack(Wav("t.wav", MakeWav(Pcm(2352 * 10)))));
    const auto tracks = backend.StagedTracks();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].announcedBlocks, 10);
    EXPECT_EQ(tracks[0].data.size(), 2u * 2352);
    EXPECT_TRUE(tracks[0].closed);
}

TEST(DiscMasterTables, RecorderTypeMediumTypeAndState) {
    EXPECT_EQ(CDiscMaster::RecorderTypeCode(RECORDER_CDR), 1);
    EXPECT_EQ(CDiscMaster::RecorderTypeCode(RECORDER_CDRW), 2);
    EXPECT_EQ(CDiscMaster::RecorderTypeCode(0), 2);
    for (long t = 0; t <= 8; ++t)
        EXPECT_EQ(CDiscMaster::MediumTypeCode(t), t >= 1 && t <= 6 ? t : 0) << t;
    EXPECT_EQ(CDiscMaster::MediumTypeCode(-1), 0);
    const std::pair<long, uint16_t> states[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {4, 3},
                                                {5, 0}, {6, 0}, {7, 0}, {8, 0}};
    for (const auto& [flags, code] : states)
        EXPECT_EQ(CDiscMaster::MediumStateCode(flags), code) << flags;
}

TEST(DiscMasterTables, QueriesThroughTheRecorder) {
    CTestDiscBackend backend;
    TestRecorder r;
    r.recorderType = RECORDER_CDR;
    r.mediaType = MEDIA_CD_EXTRA;
    r.mediaFlags = MEDIA_BLANK | MEDIA_WRITABLE;
    r.freeBlocks = 359849;
    backend.SetRecorders({r});
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    uint16_t type = 0, state = 9;
    ASSERT_TRUE(master.GetRecorderType(&type));
    EXPECT_EQ(type, 1);
    ASSERT_TRUE(master.QueryMedia(&type, &state));
    EXPECT_EQ(type, 4);
    EXPECT_EQ(state, 0);
    uint32_t bytes = 0;
    ASSERT_TRUE(master.GetFreeBytes(&bytes));
    EXPECT_EQ(bytes, 736970752u);

    r.freeBlocks = 2300000; // a large medium does not wrap around
    backend.SetRecorders({r});
    ASSERT_TRUE(master.GetFreeBytes(&bytes));
    EXPECT_EQ(bytes, UINT32_MAX);
}

TEST(DiscMasterTables, MediumBracketClosesOnEveryPath) {
    CTestDiscBackend backend;
    backend.SetRecorders({TestRecorder{}});
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    backend.ClearCalls();
    backend.FailCall("IDiscRecorder::Erase", IMAPI_E_MEDIUM_NOTPRESENT);
    EXPECT_FALSE(master.EraseDisc(1));
    EXPECT_EQ(master.GetErrorText(), "There is no disc in the device.");
    EXPECT_EQ(backend.Calls(),
              (std::vector<std::string>{"IDiscRecorder::OpenExclusive(0)", "IDiscRecorder::Erase(0,1)",
                                        "IDiscRecorder::Close(0)"}));
    backend.FailCall("IDiscRecorder::Close", IMAPI_E_GENERIC, 1);
    EXPECT_FALSE(master.EjectDisc());
    EXPECT_EQ(master.GetResult(), IMAPI_E_GENERIC);
    backend.FailCall("IDiscRecorder::OpenExclusive", IMAPI_E_DEVICE_NOTACCESSIBLE, 2);
    EXPECT_TRUE(master.EjectDisc());
    EXPECT_FALSE(master.EjectDisc());
    EXPECT_EQ(master.GetErrorText(), "The device cannot be used or is already in use.");
}

TEST(DiscMasterTables, ErrorAndResultTexts) {
    EXPECT_EQ(CDiscMaster::ResultText(S_OK), "?");
    EXPECT_EQ(CDiscMaster::ResultText(S_FALSE), "?");
    EXPECT_EQ(CDiscMaster::ResultText(IMAPI_E_TRACK_NOT_BIG_ENOUGH), "");
    EXPECT_EQ(CDiscMaster::ResultText(E_FAIL), "?");
    EXPECT_EQ(CDiscMaster::ResultText(IMAPI_S_BUFFER_TO_SMALL), "");
    EXPECT_EQ(CDiscMaster::ResultText(0x00040202), "?");
    EXPECT_EQ(CDiscMaster::ResultText(IMAPI_S_PROPERTIESIGNORED),
              "An unknown property was passed in a property set and it was ignored.");
    EXPECT_EQ(CDiscMaster::ResultText(IMAPI_E_NOTOPENED), "A call to IDiscMaster::Open has not been made.");
    EXPECT_EQ(CDiscMaster::ResultText(IMAPI_E_REMOVABLESTASH),
              "The selected stash location is on a removable media.");
    EXPECT_EQ(CDiscMaster::ResultText(MakeResult(0x8004020Au)), "?");
    EXPECT_EQ(CDiscMaster::ResultText(MakeResult(0x8004022Fu)), "?");
    const char* texts[] = {"No error.",         "File open error.", "File read error.",
                           "File write error.", "Not find chunk.",  "Memory allocation error.",
                           "No error.",         "No error."};
    for (uint16_t code = 0; code < 8; ++code)
        EXPECT_EQ(CDiscMaster::ErrorText(code), texts[code]) << code;
}

// The page window: answers the cancel question and records what it was sent (the answer's address as 0).
struct Window : testsupport::RecordingTarget {
    Window() {
        onMessage = [this](Message& m) {
            if (m.id == WM_DISC_QUERY_CANCEL) {
                *reinterpret_cast<bool*>(m.wParam) = answer;
                m.wParam = 0;
            }
        };
    }
    std::vector<std::tuple<unsigned, uintptr_t, intptr_t>> Sent() const {
        std::vector<std::tuple<unsigned, uintptr_t, intptr_t>> sent;
        for (const Message& m : messages)
            sent.emplace_back(m.id, m.wParam, m.lParam);
        return sent;
    }
    bool answer = true;
};

TEST(DiscProgressSinkTest, AdviseForwardsEveryEventAsItsMessage) {
    CTestDiscBackend backend;
    backend.SetRecorders({TestRecorder{}});
    using E = TestProgressEvent;
    backend.SetBurnEvents({{E::PreparingBurn, 12},
                           {E::TrackProgress, 0, 2},
                           {E::BlockProgress, 5, 10},
                           {E::AddProgress, 1, 3},
                           {E::PnPActivity},
                           {E::ClosingDisc, 4},
                           {E::BurnComplete, 0},
                           {E::EraseComplete, 7},
                           {E::QueryCancel}});
    Window window;
    window.answer = false;
    testsupport::TempDir dir;
    const std::string track = dir / "t.wav";
    testsupport::WriteBytes(track, MakeWav(Pcm(3000)));
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    ASSERT_TRUE(master.AddWaveTrack(track)); // staged before the window listens: only the burn's events
    ASSERT_TRUE(master.AdviseProgress(&window));
    ASSERT_TRUE(master.BurnDisc());
    EXPECT_TRUE(backend.WasCalled("IDiscMaster::RecordDisc(0,1)"));
    using T = std::tuple<unsigned, uintptr_t, intptr_t>;
    EXPECT_EQ(window.Sent(),
              (std::vector<T>{T{WM_DISC_PREPARING_BURN, 12, 0}, T{WM_DISC_TRACK_PROGRESS, 0, 2},
                              T{WM_DISC_BLOCK_PROGRESS, 5, 10}, T{WM_DISC_ADD_PROGRESS, 1, 3},
                              T{WM_DISC_PNP_ACTIVITY, 0, 0}, T{WM_DISC_CLOSING_DISC, 4, 0},
                              T{WM_DISC_BURN_COMPLETE, 0, 0}, T{WM_DISC_ERASE_COMPLETE, 7, 0},
                              T{WM_DISC_QUERY_CANCEL, 0, 0}}));
    // Only the cancel query waits for its answer; the counts may be merged, the stages keep their place.
    for (const auto& m : window.messages) {
        const bool count = m.id == WM_DISC_BLOCK_PROGRESS || m.id == WM_DISC_ADD_PROGRESS;
        EXPECT_EQ(m.notified, m.id != WM_DISC_QUERY_CANCEL) << m.id;
        EXPECT_TRUE(!m.notified || m.notice == (count ? platform::Notice::Value : platform::Notice::Event))
            << m.id;
    }
    window.answer = true;
    ASSERT_TRUE(master.AddWaveTrack(track)); // a recorded disc is not kept: the next one is staged anew
    EXPECT_FALSE(master.BurnDisc());
    EXPECT_EQ(master.GetErrorText(), "The user canceled the operation.");
    EXPECT_TRUE(master.UnadviseProgress());
    EXPECT_TRUE(master.ReleaseDiscMaster());
}

TEST(DiscProgressSinkTest, FailedAdviseReleasesTheDiscMaster) {
    CTestDiscBackend backend;
    backend.SetRecorders({TestRecorder{}});
    backend.FailCall("IDiscMaster::ProgressAdvise", IMAPI_E_GENERIC);
    Window window;
    CDiscMaster master(&backend);
    ASSERT_TRUE(master.InitDiscMaster());
    EXPECT_FALSE(master.AdviseProgress(&window));
    EXPECT_FALSE(master.IsOpen());
    EXPECT_TRUE(backend.WasCalled("IDiscMaster::Close"));
    EXPECT_EQ(master.GetErrorText(), "A generic error occurred.");
}

TEST(DiscProgressSinkTest, QueryInterfaceAndReferenceCount) {
    // Heap object owned by its reference count: released to zero it deletes itself (ASan checks).
    auto* sink = new CDiscProgressSink();
    void* object = nullptr;
    EXPECT_EQ(sink->QueryInterface(InterfaceId::ProgressEvents, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDiscMasterProgressEvents*>(sink));
    EXPECT_EQ(sink->QueryInterface(static_cast<InterfaceId>(99), &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    bool cancel = true;
    EXPECT_EQ(sink->QueryCancel(&cancel), S_OK); // no target: nothing sent, answer no
    EXPECT_FALSE(cancel);
    EXPECT_EQ(sink->Release(), 1u);
    EXPECT_EQ(sink->Release(), 0u);
}

TEST(DiscProgressHandler, TextsBarAndCancelAnswer) {
    testsupport::RecordingTextLine text;
    testsupport::RecordingBar bar;
    platform::CancelFlag cancel{0};
    DiscProgressView view{&text, &bar, &cancel};
    CDirectProgressTarget target(&view);
    target.Send(WM_DISC_PREPARING_BURN, 30, 0);
    target.Send(WM_DISC_TRACK_PROGRESS, 0, 3);
    target.Send(WM_DISC_TRACK_PROGRESS, 11, 12);
    target.Send(WM_DISC_CLOSING_DISC, 5, 0);
    target.Send(WM_DISC_BURN_COMPLETE, 0, 0);
    target.Send(WM_DISC_ERASE_COMPLETE, 0, 0);
    target.Send(WM_DISC_PNP_ACTIVITY, 0, 0);
    EXPECT_EQ(text.texts,
              (std::vector<std::string>{"Preparing to burn a disc..", "Burning Track1..", "Burning Track12..",
                                        "Closing disc..", "", "Erase complete."}));
    target.Send(WM_DISC_BLOCK_PROGRESS, 1, 100);
    target.Send(WM_DISC_BLOCK_PROGRESS, 50, 100);
    target.Send(WM_DISC_ADD_PROGRESS, 2, 7);
    EXPECT_EQ(bar.ranges, (std::vector<std::pair<int64_t, int64_t>>{{0, 100}, {0, 7}}));
    EXPECT_EQ(bar.positions, (std::vector<int64_t>{1, 50, 2}));

    bool answer = true;
    target.Send(WM_DISC_QUERY_CANCEL, reinterpret_cast<uintptr_t>(&answer), 0);
    EXPECT_FALSE(answer);
    cancel = 1;
    target.Send(WM_DISC_QUERY_CANCEL, reinterpret_cast<uintptr_t>(&answer), 0);
    EXPECT_TRUE(answer);
    view.cancelFlag = nullptr;
    target.Send(WM_DISC_QUERY_CANCEL, reinterpret_cast<uintptr_t>(&answer), 0);
    EXPECT_FALSE(answer);
}

} // namespace
