// The staging contract, run against every recorder backend that can run here: the disc image and the
// test recorder in full, libburn without a drive for what it answers before any drive is touched, and
// libburn through a stdio pseudo-drive as far as it goes (it refuses audio when the disc is recorded).

#include "Fakes.h"
#include "TestDiscBackend.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/ImageDiscBackend.h"
#include "cdwriter/LibburnBackend.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <functional>

using namespace cdwriter;

namespace {

struct ImageKind {
    static constexpr const char* kName = "Image";
    static constexpr HRESULT kRecordAnswer = S_OK;
    static uint32_t Capacity() { return CImageDiscBackend::kDiscBlocks; }
    explicit ImageKind(const testsupport::TempDir& dir) : backend(dir.Path(), "disc") {}
    CImageDiscBackend backend;
};

struct TestRecorderKind {
    static constexpr const char* kName = "TestRecorder";
    static constexpr HRESULT kRecordAnswer = S_OK;
    static uint32_t Capacity() { return TestRecorder{}.freeBlocks; }
    explicit TestRecorderKind(const testsupport::TempDir&) { backend.SetRecorders({TestRecorder{}}); }
    CTestDiscBackend backend;
};

struct LibburnKind {
    static constexpr const char* kName = "Libburn";
    explicit LibburnKind(const testsupport::TempDir&) {}
    CLibburnBackend backend;
};

struct LibburnPseudoDriveKind {
    static constexpr const char* kName = "LibburnPseudoDrive";
    static constexpr HRESULT kRecordAnswer = IMAPI_E_MEDIUM_INVALIDTYPE; // no audio on a non-CD
    static uint32_t Capacity() { return CLibburnBackend::kMaxDiscBlocks; }
    explicit LibburnPseudoDriveKind(const testsupport::TempDir& dir)
        : backend({"stdio:" + (dir / "pseudo.iso")}) {}
    CLibburnBackend backend;
};

struct KindName {
    template <typename Kind> static std::string GetName(int) { return Kind::kName; }
};

// A recorder that no backend here made.
class StrangeRecorder : public IDiscRecorder {
public:
    HRESULT GetDisplayNames(std::string*, std::string*, std::string*) override { return E_NOTIMPL; }
    HRESULT GetRecorderType(long*) override { return E_NOTIMPL; }
    HRESULT OpenExclusive() override { return E_NOTIMPL; }
    HRESULT Close() override { return E_NOTIMPL; }
    HRESULT QueryMediaType(long*, long*) override { return E_NOTIMPL; }
    HRESULT QueryMediaInfo(uint8_t*, uint8_t*, uint32_t*, uint32_t*, uint32_t*) override { return E_NOTIMPL; }
    HRESULT Eject() override { return E_NOTIMPL; }
    HRESULT Erase(bool) override { return E_NOTIMPL; }
};

const std::vector<uint8_t> kSectors(3 * kAudioBlockSize, 0x5A);

template <typename Kind> class StagingContract : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(kind.backend.CreateDiscMaster(&master), S_OK); }

    // Open, Red Book and the backend's recorder (the last listed: a pseudo-drive comes after real ones).
    void OpenWithRecorder() {
        ASSERT_EQ(master->Open(), S_OK);
        ASSERT_EQ(master->SetActiveRedbookFormat(&redbook), S_OK);
        std::shared_ptr<IEnumDiscRecorders> recorders;
        ASSERT_EQ(master->EnumDiscRecorders(&recorders), S_OK);
        for (RecorderPtr next; recorders->Next(&next) == S_OK && next;)
            recorder = next;
        ASSERT_TRUE(recorder);
        ASSERT_EQ(master->SetActiveDiscRecorder(recorder), S_OK);
    }
    // A closed track of `blocks` sectors, added one at a time as a burn adds them.
    void StageTrack(long blocks) {
        ASSERT_EQ(redbook->CreateAudioTrack(blocks), S_OK);
        for (long i = 0; i < blocks; ++i)
            ASSERT_EQ(redbook->AddAudioTrackBlocks(kSectors.data(), kAudioBlockSize), S_OK) << i;
        ASSERT_EQ(redbook->CloseAudioTrack(), S_OK);
    }
    HRESULT Record() { return master->RecordDisc(false, false); }

    testsupport::TempDir dir;
    Kind kind{dir};
    std::shared_ptr<IDiscMaster> master;
    std::shared_ptr<IRedbookDiscMaster> redbook;
    RecorderPtr recorder;
};

template <typename Kind> using StagingOnARecorder = StagingContract<Kind>;

using AllKinds = ::testing::Types<ImageKind, TestRecorderKind, LibburnKind, LibburnPseudoDriveKind>;
using KindsWithARecorder = ::testing::Types<ImageKind, TestRecorderKind, LibburnPseudoDriveKind>;
TYPED_TEST_SUITE(StagingContract, AllKinds, KindName);
TYPED_TEST_SUITE(StagingOnARecorder, KindsWithARecorder, KindName);

TYPED_TEST(StagingContract, TheMasterIsOpenedOnceAndUsedOnlyWhileOpen) {
    IDiscMaster& m = *this->master;
    DiscFormat format = DiscFormat::None;
    std::shared_ptr<IRedbookDiscMaster>& book = this->redbook;
    std::shared_ptr<IEnumDiscRecorders> recorders;
    const std::pair<const char*, std::function<HRESULT()>> beforeOpen[] = {
        {"GetActiveDiscMasterFormat", [&] { return m.GetActiveDiscMasterFormat(&format); }},
        {"SetActiveRedbookFormat", [&] { return m.SetActiveRedbookFormat(&book); }},
        {"EnumDiscRecorders", [&] { return m.EnumDiscRecorders(&recorders); }},
        {"SetActiveDiscRecorder",
         [&] { return m.SetActiveDiscRecorder(std::make_shared<StrangeRecorder>()); }},
        {"RecordDisc", [&] { return m.RecordDisc(false, false); }},
        {"Close", [&] { return m.Close(); }},
    };
    for (const auto& [call, run] : beforeOpen)
        EXPECT_EQ(run(), IMAPI_E_NOTOPENED) << call;

    ASSERT_EQ(m.Open(), S_OK);
    EXPECT_EQ(m.Open(), IMAPI_E_ALREADYOPEN);
    ASSERT_EQ(m.SetActiveRedbookFormat(&book), S_OK);
    ASSERT_EQ(m.GetActiveDiscMasterFormat(&format), S_OK);
    EXPECT_EQ(format, DiscFormat::Redbook);
    ASSERT_EQ(m.Close(), S_OK);
    EXPECT_EQ(m.Close(), IMAPI_E_NOTOPENED);
    // The format object kept from before does not outlive the master's opening.
    EXPECT_EQ(book->CreateAudioTrack(1), IMAPI_E_NOTOPENED);
    EXPECT_EQ(book->AddAudioTrackBlocks(kSectors.data(), kAudioBlockSize), IMAPI_E_NOTOPENED);
    EXPECT_EQ(book->CloseAudioTrack(), IMAPI_E_NOTOPENED);
}

TYPED_TEST(StagingContract, StagingAndRecordingNeedOneOfTheBackendsRecorders) {
    IDiscMaster& m = *this->master;
    ASSERT_EQ(m.Open(), S_OK);
    std::shared_ptr<IRedbookDiscMaster>& book = this->redbook;
    ASSERT_EQ(m.SetActiveRedbookFormat(&book), S_OK);
    EXPECT_EQ(book->CreateAudioTrack(1), IMAPI_E_NOACTIVERECORDER);
    EXPECT_EQ(m.SetActiveDiscRecorder(std::make_shared<StrangeRecorder>()), IMAPI_E_DEVICE_NOTPRESENT);
    EXPECT_EQ(m.SetActiveDiscRecorder(nullptr), IMAPI_E_DEVICE_NOTPRESENT);
    EXPECT_EQ(book->CreateAudioTrack(1), IMAPI_E_NOACTIVERECORDER);
    EXPECT_EQ(m.RecordDisc(false, false), IMAPI_E_NOACTIVERECORDER);
    EXPECT_EQ(book->AddAudioTrackBlocks(kSectors.data(), kAudioBlockSize), IMAPI_E_TRACKNOTOPEN);
    EXPECT_EQ(book->CloseAudioTrack(), IMAPI_E_TRACKNOTOPEN);
    EXPECT_EQ(m.Close(), S_OK);
}

TYPED_TEST(StagingOnARecorder, OneTrackIsOpenAtATime) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    IRedbookDiscMaster& r = *this->redbook;
    ASSERT_EQ(r.CreateAudioTrack(2), S_OK);
    EXPECT_EQ(r.CreateAudioTrack(1), IMAPI_E_TRACKOPEN);
    EXPECT_EQ(this->Record(), IMAPI_E_TRACKOPEN);
    EXPECT_EQ(r.AddAudioTrackBlocks(kSectors.data(), kAudioBlockSize), S_OK);
    EXPECT_EQ(r.CloseAudioTrack(), S_OK); // short of its announced size
    EXPECT_EQ(r.CloseAudioTrack(), IMAPI_E_TRACKNOTOPEN);
    EXPECT_EQ(r.AddAudioTrackBlocks(kSectors.data(), kAudioBlockSize), IMAPI_E_TRACKNOTOPEN);
    EXPECT_EQ(r.CreateAudioTrack(-1), E_INVALIDARG);
}

TYPED_TEST(StagingOnARecorder, AudioComesInWholeSectorsUpToTheAnnouncedSize) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    IRedbookDiscMaster& r = *this->redbook;
    ASSERT_EQ(r.CreateAudioTrack(2), S_OK);
    struct Case {
        const uint8_t* data;
        long size;
        HRESULT hr;
    };
    const uint8_t* data = kSectors.data();
    const Case cases[] = {
        {nullptr, kAudioBlockSize, E_INVALIDARG},  {data, 0, E_INVALIDARG},
        {data, -kAudioBlockSize, E_INVALIDARG},    {data, kAudioBlockSize - 1, E_INVALIDARG},
        {data, kAudioBlockSize + 1, E_INVALIDARG}, {data, 3 * kAudioBlockSize, E_INVALIDARG}, // over 2
        {data, 2 * kAudioBlockSize, S_OK},         {data, kAudioBlockSize, E_INVALIDARG},     // full
    };
    for (const Case& c : cases)
        EXPECT_EQ(r.AddAudioTrackBlocks(c.data, c.size), c.hr) << (c.data ? "" : "null ") << c.size;
}

TYPED_TEST(StagingOnARecorder, ADiscHoldsItsMediumAndNinetyNineTracks) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    IRedbookDiscMaster& r = *this->redbook;
    const long capacity = static_cast<long>(TypeParam::Capacity());
    EXPECT_EQ(r.CreateAudioTrack(capacity + 1), IMAPI_E_DISCFULL);
    ASSERT_EQ(r.CreateAudioTrack(capacity), S_OK);
    ASSERT_EQ(r.CloseAudioTrack(), S_OK);
    // The silence before the second track counts against the medium.
    EXPECT_EQ(r.CreateAudioTrack(capacity - kTrackGapBlocks + 1), IMAPI_E_DISCFULL);
    ASSERT_EQ(r.CreateAudioTrack(capacity - kTrackGapBlocks), S_OK);
    ASSERT_EQ(r.CloseAudioTrack(), S_OK);
    for (int track = 3; track <= 99; ++track) {
        ASSERT_EQ(r.CreateAudioTrack(0), S_OK) << track;
        ASSERT_EQ(r.CloseAudioTrack(), S_OK);
    }
    EXPECT_EQ(r.CreateAudioTrack(0), IMAPI_E_DISCFULL);
}

TYPED_TEST(StagingOnARecorder, ARecordNeedsAudioInEveryTrack) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    EXPECT_EQ(this->Record(), IMAPI_E_INVALIDIMAGE);
    ASSERT_NO_FATAL_FAILURE(this->StageTrack(1));
    ASSERT_NO_FATAL_FAILURE(this->StageTrack(0));
    EXPECT_EQ(this->Record(), IMAPI_E_INVALIDIMAGE);
}

TYPED_TEST(StagingOnARecorder, StagingProgressOnceASecondAndAtTheTrackEnd) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    testsupport::RecordingTarget window;
    auto* sink = new CDiscProgressSink(); // reference counted: the last Release deletes it
    sink->SetTarget(&window);
    uintptr_t cookie = 0;
    ASSERT_EQ(this->master->ProgressAdvise(sink, &cookie), S_OK);
    sink->Release();
    ASSERT_NO_FATAL_FAILURE(this->StageTrack(2 * kBlocksPerSecond + 10));
    std::vector<std::pair<uintptr_t, intptr_t>> progress;
    for (const auto& message : window.messages) {
        if (message.id == WM_DISC_ADD_PROGRESS)
            progress.emplace_back(message.wParam, message.lParam);
    }
    EXPECT_EQ(progress, (std::vector<std::pair<uintptr_t, intptr_t>>{{75, 160}, {150, 160}, {160, 160}}));
    EXPECT_EQ(this->master->ProgressUnadvise(cookie), S_OK);
}

TYPED_TEST(StagingOnARecorder, ARecordedOrClosedImageIsNotKept) {
    ASSERT_NO_FATAL_FAILURE(this->OpenWithRecorder());
    ASSERT_NO_FATAL_FAILURE(this->StageTrack(1));
    ASSERT_NO_FATAL_FAILURE(this->StageTrack(2));
    EXPECT_EQ(this->Record(), TypeParam::kRecordAnswer);
    EXPECT_EQ(this->Record(), IMAPI_E_INVALIDIMAGE);

    ASSERT_NO_FATAL_FAILURE(this->StageTrack(1));
    ASSERT_EQ(this->master->Close(), S_OK);
    ASSERT_EQ(this->master->Open(), S_OK);
    EXPECT_EQ(this->Record(), IMAPI_E_NOACTIVERECORDER); // the recorder is chosen again after a Close
    ASSERT_EQ(this->master->SetActiveDiscRecorder(this->recorder), S_OK);
    EXPECT_EQ(this->Record(), IMAPI_E_INVALIDIMAGE);
}

} // namespace
