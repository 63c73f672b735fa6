#include "wave/TrackRenderer.h"

#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include <unistd.h>

using namespace testsupport;
using adl::EditType;
using wave::RenderMode;
using wave::RenderStatus;

namespace {

// A stretch of expected output: `count` samples of file id from sample `from`, or silence (id 0).
struct Seg {
    int id;
    uint32_t from;
    uint32_t count;
};

std::vector<int16_t> Expand(const std::vector<Seg>& segs) {
    std::vector<int16_t> out;
    for (const auto& s : segs)
        for (uint32_t k = 0; k < s.count; ++k)
            out.push_back(s.id == 0 ? 0 : Mark(s.id, s.from + k));
    return out;
}

struct Rendered {
    wave::RenderResult result;
    std::optional<std::vector<int16_t>> samples; // nullopt: no file
};

class Song {
public:
    explicit Song(int sourceCount = 4, uint32_t sourceLength = 4000) : m_folder(m_dir / "song") {
        platform::CreateDirectory(m_folder);
        for (int id = 1; id <= sourceCount; ++id)
            EXPECT_TRUE(WriteCardWav(Source(id), id, sourceLength));
    }
    std::string Source(int id) const { return m_folder + "/" + Name(id); }
    static std::string Name(int id) { return "zt5" + std::to_string(1000 + id) + ".wav"; }
    const std::string& Folder() const { return m_folder; }

    Rendered Render(const std::vector<Ev>& events, RenderMode mode = RenderMode::All, uint32_t a = 0,
                    uint32_t b = 0, int track = 1, platform::IMessageTarget* notify = nullptr,
                    platform::IProgressBar* bar = nullptr, const platform::CancelFlag* cancel = nullptr,
                    adl::SampleRateCode rate = adl::SampleRateCode::Hz48000) {
        const std::string adlPath = m_folder + "/song.adl";
        EXPECT_TRUE(testsupport::WriteText(adlPath, AdlText(rate, events)));
        adl::CAdlFile adl;
        EXPECT_TRUE(adl.Open(adlPath, true));
        const std::vector<int> order = wave::BuildEntryOrder(adl);
        const std::string out = m_dir / "tr01.wav";
        platform::DeleteFile(out);
        wave::RenderRequest req;
        req.adl = &adl;
        req.order = &order;
        req.track = track;
        req.mode = mode;
        req.locateA = a;
        req.locateB = b;
        req.songFolder = m_folder;
        req.outputPath = out;
        req.notify = notify;
        req.progress = bar;
        req.cancel = cancel;
        Rendered r;
        r.result = wave::RenderTrack(req);
        if (platform::PathExists(out))
            r.samples = CardAudio(out);
        return r;
    }
    std::string Output() const { return m_dir / "tr01.wav"; }

private:
    TempDir m_dir;
    std::string m_folder;
};

Ev Cut(uint16_t n, int id, uint32_t s, uint32_t i, uint32_t o, int channel = 1) {
    return {n, EditType::Cut, Song::Name(id), channel, s, i, o};
}
Ev Sil(uint16_t n, uint32_t i, uint32_t o, int channel = 1) {
    return {n, EditType::Silence, "", channel, 0, i, o};
}

} // namespace

TEST(TrackRenderer, TimelineCases) {
    struct Case {
        const char* name;
        std::vector<Ev> events;
        RenderMode mode;
        uint32_t a, b;
        std::optional<std::vector<Seg>> expect; // nullopt: no file
    };
    const auto All = RenderMode::All;
    const auto AB = RenderMode::AB;
    const std::vector<Case> cases = {
        {"one cut", {Cut(1, 1, 300, 0, 500)}, All, 0, 0, {{{1, 300, 500}}}},
        {"leading silence", {Cut(1, 1, 0, 1000, 1100)}, All, 0, 0, {{{0, 0, 1000}, {1, 0, 100}}}},
        {"gap between cuts",
         {Cut(1, 1, 0, 0, 100), Cut(2, 2, 0, 200, 300)},
         All,
         0,
         0,
         {{{1, 0, 100}, {0, 0, 100}, {2, 0, 100}}}},
        {"overlay",
         {Cut(1, 1, 10, 0, 100), Cut(2, 2, 20, 50, 80)},
         All,
         0,
         0,
         {{{1, 10, 50}, {2, 20, 30}, {1, 90, 20}}}},
        {"higher number on top whatever the listing order",
         {Cut(2, 2, 20, 50, 80), Cut(1, 1, 10, 0, 100)},
         All,
         0,
         0,
         {{{1, 10, 50}, {2, 20, 30}, {1, 90, 20}}}},
        {"lower number under a longer entry is hidden",
         {Cut(2, 1, 0, 0, 100), Cut(1, 2, 0, 20, 40)},
         All,
         0,
         0,
         {{{1, 0, 100}}}},
        {"silence entry in the middle",
         {Cut(1, 1, 0, 0, 300), Sil(2, 100, 150)},
         All,
         0,
         0,
         {{{1, 0, 100}, {0, 0, 50}, {1, 150, 150}}}},
        {"silence over the end moves the end back",
         {Cut(1, 1, 0, 0, 100), Sil(2, 50, 200)},
         All,
         0,
         0,
         {{{1, 0, 50}}}},
        {"silence over the end with a later segment",
         {Cut(1, 1, 0, 0, 100), Cut(2, 2, 0, 150, 300), Sil(3, 200, 400)},
         All,
         0,
         0,
         {{{1, 0, 100}, {0, 0, 50}, {2, 0, 50}}}},
        {"silence covering everything", {Cut(1, 1, 0, 0, 100), Sil(2, 0, 200)}, All, 0, 0, std::nullopt},
        {"A-B inside one cut", {Cut(1, 1, 7, 0, 1000)}, AB, 100, 500, {{{1, 107, 400}}}},
        {"A-B with B after the last region",
         {Cut(1, 1, 0, 0, 100)},
         AB,
         50,
         300,
         {{{1, 50, 50}, {0, 0, 200}}}},
        {"A-B with A after the content", {Cut(1, 1, 0, 0, 100)}, AB, 150, 200, {{{0, 0, 50}}}},
        {"A-B with A in a gap",
         {Cut(1, 1, 0, 0, 100), Cut(2, 2, 0, 200, 300)},
         AB,
         120,
         250,
         {{{0, 0, 80}, {2, 0, 50}}}},
        {"A-B on a track without content", {}, AB, 0, 100, std::nullopt},
        {"no entries", {}, All, 0, 0, std::nullopt},
        {"entries covering nothing are ignored",
         {Cut(1, 1, 0, 0, 100), Cut(2, 2, 0, 50, 50), Cut(3, 2, 0, 80, 10)},
         All,
         0,
         0,
         {{{1, 0, 100}}}},
        {"only an empty entry", {Cut(1, 1, 0, 40, 40)}, All, 0, 0, std::nullopt},
        {"duplicate numbers: the last listed counts",
         {Cut(1, 1, 0, 0, 100), Cut(1, 2, 0, 0, 60)},
         All,
         0,
         0,
         {{{2, 0, 60}}}},
        {"other tracks and channels out of range",
         {Cut(1, 1, 0, 0, 100), Cut(2, 2, 0, 0, 300, 2), Cut(3, 3, 0, 0, 300, 17), Cut(4, 3, 0, 0, 300, 0)},
         All,
         0,
         0,
         {{{1, 0, 100}}}},
        {"entry number 0 takes no part", {Cut(0, 1, 0, 0, 100)}, All, 0, 0, std::nullopt},
        {"other edit types copy like a cut",
         {Ev{1, EditType::Aux, Song::Name(3), 1, 5, 0, 10}},
         All,
         0,
         0,
         {{{3, 5, 10}}}},
        {"same span: the higher number wins",
         {Cut(5, 1, 0, 10, 20), Cut(6, 2, 100, 10, 20)},
         All,
         0,
         0,
         {{{0, 0, 10}, {2, 100, 10}}}},
    };
    Song song;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Rendered r = song.Render(c.events, c.mode, c.a, c.b);
        if (!c.expect) {
            EXPECT_FALSE(r.samples.has_value());
            EXPECT_EQ(RenderStatus::Empty, r.result.status);
            continue;
        }
        EXPECT_EQ(RenderStatus::Complete, r.result.status);
        ASSERT_TRUE(r.samples.has_value());
        EXPECT_EQ(Expand(*c.expect), *r.samples);
    }
}

namespace {

// The timeline painted into an array, in entry-number order: deliberately simple.
std::optional<std::vector<int16_t>> Model(const std::vector<Ev>& events, int track, RenderMode mode,
                                          uint32_t a, uint32_t b) {
    std::map<uint16_t, Ev> byNumber;
    for (const auto& e : events)
        if (e.number > 0)
            byNumber[e.number] = e;
    uint32_t end = 0;
    uint32_t reach = 0;
    for (const auto& [n, e] : byNumber) {
        if (e.channel != track || e.destOut <= e.destIn)
            continue;
        reach = std::max(reach, e.destOut);
        if (e.type == EditType::Silence) {
            if (e.destIn <= end && end <= e.destOut)
                end = e.destIn;
        } else if (e.destOut >= end) {
            end = e.destOut;
        }
    }
    if (end == 0)
        return std::nullopt;
    std::vector<int16_t> paint(std::max(reach, b), 0);
    for (const auto& [n, e] : byNumber) {
        if (e.channel != track || e.destOut <= e.destIn)
            continue;
        const int id = e.type == EditType::Silence ? 0 : std::stoi(e.source.substr(3)) - 1000;
        for (uint32_t p = e.destIn; p < e.destOut; ++p)
            paint[p] = id == 0 ? 0 : Mark(id, e.sourceIn + (p - e.destIn));
    }
    if (mode == RenderMode::All)
        return std::vector<int16_t>(paint.begin(), paint.begin() + end);
    return std::vector<int16_t>(paint.begin() + a, paint.begin() + b);
}

} // namespace

TEST(TrackRenderer, AgreesWithPaintedModelOnRandomSongs) {
    constexpr uint32_t kSourceLength = 4000;
    Song song(6, kSourceLength);
    std::mt19937 rng(20261207);
    auto pick = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    int rendered = 0, files = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<Ev> events;
        const int count = static_cast<int>(pick(0, 8));
        for (int k = 0; k < count; ++k) {
            Ev e;
            e.number = static_cast<uint16_t>(pick(0, 10));
            e.type = pick(0, 3) == 0 ? EditType::Silence : EditType::Cut;
            e.channel = static_cast<int>(pick(1, 2));
            e.destIn = pick(0, 1500);
            const uint32_t length = pick(0, 8) == 0 ? 0 : pick(1, 800);
            e.destOut = pick(0, 12) == 0 ? e.destIn - std::min(e.destIn, pick(0, 50)) : e.destIn + length;
            if (e.type == EditType::Cut) {
                e.source = Song::Name(static_cast<int>(pick(1, 6)));
                e.sourceIn = pick(0, kSourceLength - 800);
            }
            events.push_back(e);
        }
        const int track = static_cast<int>(pick(1, 2));
        const RenderMode mode = pick(0, 1) ? RenderMode::All : RenderMode::AB;
        const uint32_t a = pick(0, 2000);
        const uint32_t b = a + pick(1, 1000);
        const auto expect = Model(events, track, mode, a, b);
        const Rendered r = song.Render(events, mode, a, b, track);
        ++rendered;
        ASSERT_EQ(expect.has_value(), r.samples.has_value()) << "round " << round;
        if (!expect)
            continue;
        ++files;
        ASSERT_EQ(RenderStatus::Complete, r.result.status) << "round " << round;
        ASSERT_EQ(*expect, *r.samples) << "round " << round;
    }
    EXPECT_GT(files, 800);
}

TEST(TrackRenderer, ProgressAndCancel) {
    Song song;
    const std::vector<Ev> events = {Cut(1, 1, 0, 1000, 3000), Cut(2, 2, 0, 3500, 4000)};
    RecordingBar bar;
    RecordingTarget totals;
    auto r = song.Render(events, RenderMode::AB, 500, 3800, 1, &totals, &bar);
    ASSERT_EQ(RenderStatus::Complete, r.result.status);
    ASSERT_FALSE(bar.ranges.empty());
    EXPECT_EQ(0, bar.ranges.back().first);
    EXPECT_EQ(2 * 3300, bar.High());
    ASSERT_FALSE(totals.Values(wave::WM_TRANSFER_TOTAL).empty());
    EXPECT_EQ(2u * 3300u, totals.Values(wave::WM_TRANSFER_TOTAL).back());
    for (const auto& m : totals.messages)
        EXPECT_FALSE(m.posted) << "the renderer sends";

    platform::CancelFlag cancel{0};
    RecordingTarget stopper;
    stopper.ActOn(wave::WM_TRANSFER_TOTAL, 3, [&] { cancel = 1; });
    r = song.Render(events, RenderMode::All, 0, 0, 1, &stopper, &bar, &cancel);
    EXPECT_EQ(RenderStatus::Cancelled, r.result.status);
    EXPECT_FALSE(platform::PathExists(song.Output()));
    EXPECT_EQ(3, stopper.Count(wave::WM_TRANSFER_TOTAL)) << "no block after the cancel";
}

TEST(TrackRenderer, FailuresAreNamed) {
    Song song;
    ASSERT_TRUE(WriteCardWav(song.Folder() + "/deep.wav", 5, 100, {1, 24, 48000}));
    ASSERT_TRUE(WriteCardWav(song.Folder() + "/short.wav", 6, 100));
    ASSERT_TRUE(WriteCardWav(song.Folder() + "/../outside.wav", 7, 100));

    // A source outside the song folder is never read, even when it exists.
    for (const char* name : {"../outside.wav", "..", ".", "sub/x.wav", "a\\b.wav", "missing.wav"}) {
        SCOPED_TRACE(name);
        auto r = song.Render({Cut(1, 1, 0, 0, 50), Ev{2, EditType::Cut, name, 1, 0, 50, 100}});
        EXPECT_EQ(RenderStatus::SourceFailed, r.result.status);
        EXPECT_EQ(wave::CWaveFile::ERR_SOURCE_OPEN, r.result.code);
        EXPECT_EQ(song.Folder() + "/" + name, r.result.path);
        ASSERT_TRUE(r.samples.has_value()) << "the partial file stays";
        EXPECT_EQ(Expand({{1, 0, 50}}), *r.samples);
    }
    auto r = song.Render({Ev{1, EditType::Cut, "short.wav", 1, 50, 0, 100}});
    EXPECT_EQ(RenderStatus::SourceFailed, r.result.status);
    EXPECT_EQ(wave::CWaveFile::ERR_SOURCE_SHORT, r.result.code);

    r = song.Render({Cut(1, 1, 0, 0, 50), Ev{2, EditType::Cut, "deep.wav", 1, 0, 50, 100}});
    EXPECT_EQ(RenderStatus::FormatMismatch, r.result.status);
    EXPECT_EQ(song.Folder() + "/deep.wav", r.result.path);
    EXPECT_FALSE(r.samples.has_value());

    r = song.Render({Cut(1, 1, 0, 0, 50)}, RenderMode::All, 0, 0, 1, nullptr, nullptr, nullptr,
                    adl::SampleRateCode::None);
    EXPECT_EQ(RenderStatus::UnknownRate, r.result.status);
    EXPECT_FALSE(r.samples.has_value());

    // The disk fills up after the header: reported as a write failure of the output, partial file kept.
    {
        platform::faults::ScopedPlan plan({.failWriteAt = 26, .writesStayFailed = true});
        r = song.Render({Cut(1, 1, 0, 0, 3000)});
    }
    EXPECT_EQ(RenderStatus::WriteFailed, r.result.status);
    EXPECT_EQ(song.Output(), r.result.path);
    EXPECT_TRUE(r.samples.has_value());
}

namespace {

uint32_t Le32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// At the first block of every transfer, what the output file on disk claims: its header must already
// count exactly the bytes of the transfers before, and the file must hold them.
struct HeaderWatch : RecordingTarget {
    explicit HeaderWatch(std::string output) : path(std::move(output)) {
        onMessage = [this](Message& m) { Check(m.id, m.wParam); };
    }
    void Check(unsigned id, uintptr_t w) {
        if (id == wave::WM_TRANSFER_POS)
            lastPos = w;
        if (id != wave::WM_TRANSFER_TOTAL || w - lastPos == lastBefore)
            return;
        lastBefore = w - lastPos;
        const auto bytes = ReadBytes(path);
        EXPECT_GE(bytes.size(), wave::kAudioOffset + lastBefore);
        if (bytes.size() >= wave::kAudioOffset) {
            EXPECT_EQ(lastBefore, Le32At(bytes, 32764)) << "data size";
            EXPECT_EQ(32760u + lastBefore, Le32At(bytes, 4)) << "RIFF size";
        }
        ++checked;
    }
    std::string path;
    uintptr_t lastPos = 0, lastBefore = UINTPTR_MAX;
    int checked = 0;
};

// The file CWaveFile writes with these samples in one go.
std::vector<uint8_t> ReferenceFile(const std::string& path, const std::vector<int16_t>& samples) {
    platform::DeleteFile(path);
    wave::CWaveFile w;
    EXPECT_EQ(1, w.Create(path, 1, 16, 48000));
    EXPECT_EQ(1, w.WriteData(samples.data(), static_cast<uint32_t>(2 * samples.size()), 0));
    EXPECT_EQ(1, w.Close());
    return testsupport::ReadBytes(path);
}

} // namespace

TEST(TrackRenderer, StretchesAlternatingBetweenSources) {
    Song song(6);
    // A second name for source 1: both names held at once would refuse each other.
    ASSERT_EQ(0, ::link(song.Source(1).c_str(), (song.Folder() + "/link.wav").c_str()));
    auto Link = [](uint16_t n, uint32_t s, uint32_t i, uint32_t o) {
        return Ev{n, EditType::Cut, "link.wav", 1, s, i, o};
    };
    struct Case {
        const char* name;
        std::vector<Ev> events;
        std::vector<Seg> expect;
    };
    std::vector<Case> cases = {
        {"two names of one file",
         {Cut(1, 1, 0, 0, 700), Link(2, 2000, 700, 1400), Cut(3, 1, 900, 1400, 2100)},
         {{1, 0, 700}, {1, 2000, 700}, {1, 900, 700}}},
        {"overlays return to the source below",
         {Cut(1, 2, 0, 0, 3000), Cut(2, 3, 500, 100, 1100), Cut(3, 4, 7, 1500, 1501),
          Cut(4, 3, 2500, 2000, 2999)},
         {{2, 0, 100},
          {3, 500, 1000},
          {2, 1100, 400},
          {4, 7, 1},
          {2, 1501, 499},
          {3, 2500, 999},
          {2, 2999, 1}}},
    };
    // More sources in turn than are held open, with gaps of silence between some of them.
    Case turns{"six sources in turn, twice", {}, {}};
    for (uint32_t k = 0; k < 12; ++k) {
        const uint32_t at = 311 * k + (k % 3 == 2 ? 40 : 0);
        turns.events.push_back(
            Cut(static_cast<uint16_t>(k + 1), static_cast<int>(k % 6 + 1), 100 * k, at, 311 * (k + 1)));
        if (at > 311 * k)
            turns.expect.push_back({0, 0, 40});
        turns.expect.push_back({static_cast<int>(k % 6 + 1), 100 * k, 311 * (k + 1) - at});
    }
    cases.push_back(turns);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeaderWatch watch(song.Output());
        const Rendered r = song.Render(c.events, RenderMode::All, 0, 0, 1, &watch);
        ASSERT_EQ(RenderStatus::Complete, r.result.status);
        const auto rendered = testsupport::ReadBytes(song.Output());
        EXPECT_TRUE(rendered == ReferenceFile(song.Folder() + "/ref.wav", Expand(c.expect)));
        EXPECT_GE(watch.checked, static_cast<int>(c.expect.size()));
    }
}

TEST(TrackRenderer, AnInterruptedRenderLeavesAHeaderThatIsTrue) {
    // The card fills up at each write in turn: the header claims every stretch reported as written and
    // nothing the file lacks.
    Song song;
    const std::vector<Ev> events = {Cut(1, 1, 0, 0, 1500), Cut(2, 2, 0, 1800, 2900),
                                    Cut(3, 3, 40, 2900, 4000)};
    const auto complete = Expand({{1, 0, 1500}, {0, 0, 300}, {2, 0, 1100}, {3, 40, 1100}});
    int64_t writes = 0;
    {
        platform::faults::ScopedPlan counting({});
        ASSERT_EQ(RenderStatus::Complete, song.Render(events).result.status);
        writes = platform::faults::WriteCount();
    }
    for (int64_t n = 1; n <= writes; ++n) {
        SCOPED_TRACE(n);
        Rendered r;
        {
            platform::faults::ScopedPlan plan({.failWriteAt = n, .writesStayFailed = true});
            r = song.Render(events);
        }
        EXPECT_EQ(RenderStatus::WriteFailed, r.result.status);
        if (!r.samples)
            continue; // the header itself could not be written: no file
        const auto bytes = testsupport::ReadBytes(song.Output());
        ASSERT_GE(bytes.size(), wave::kAudioOffset);
        const uint64_t reported = wave::kAudioOffset + 2 * r.result.samples;
        const uint64_t data = wave::kAudioOffset + Le32At(bytes, 32764), riff = 8 + Le32At(bytes, 4);
        EXPECT_LE(reported, data);
        EXPECT_LE(data, bytes.size());
        EXPECT_LE(reported, riff);
        EXPECT_LE(riff, bytes.size());
        EXPECT_TRUE(std::equal(r.samples->begin(), r.samples->end(), complete.begin()));
    }
}

TEST(TrackRenderer, TimelineStretchesAreWhatImportWrites) {
    // Every stretch of the song's timeline, on random songs: the samples the import wrote there come
    // from the stretch's file and offset (or are zero), and its entry is the topmost one painted there.
    Song song(6);
    std::mt19937 rng(20261208);
    auto pick = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::vector<Ev> events;
        for (int k = static_cast<int>(pick(0, 9)); k > 0; --k) {
            const uint32_t in = pick(0, 1500);
            events.push_back(pick(0, 3) == 0
                                 ? Sil(static_cast<uint16_t>(pick(0, 10)), in, in + pick(0, 600))
                                 : Cut(static_cast<uint16_t>(pick(0, 10)), static_cast<int>(pick(1, 6)),
                                       pick(0, 3000), in, in + pick(0, 900), static_cast<int>(pick(1, 2))));
        }
        std::vector<uint16_t> topNumber(3000, 0); // painted in entry-number order on track 1
        std::map<uint16_t, Ev> byNumber;
        for (const auto& e : events)
            if (e.number > 0)
                byNumber[e.number] = e;
        for (const auto& [n, e] : byNumber)
            for (uint32_t p = e.destIn; p < e.destOut && e.channel == 1; ++p)
                topNumber[p] = n;

        const Rendered r = song.Render(events);
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Open(song.Folder() + "/song.adl", true));
        const wave::SongTimeline timeline = wave::BuildSongTimeline(adl);
        const wave::TrackTimeline& track = timeline.tracks[0];
        ASSERT_EQ(r.samples.has_value(), track.end > 0);
        EXPECT_EQ(std::max(track.end, timeline.tracks[1].end), timeline.length);
        uint64_t at = 0;
        for (const auto& s : track.stretches) {
            ASSERT_EQ(at, s.start);
            ASSERT_GT(s.length, 0u);
            at = s.End();
            for (uint64_t p = s.start; p < s.End(); ++p) {
                const int16_t heard = s.kind == wave::StretchKind::Audio
                                          ? Mark(std::stoi(s.sourceName.substr(3)) - 1000,
                                                 static_cast<uint32_t>(s.sourceOffset + (p - s.start)))
                                          : 0;
                ASSERT_EQ(heard, (*r.samples)[p]) << "position " << p;
                ASSERT_EQ(topNumber[p], s.number) << "position " << p;
            }
        }
        EXPECT_EQ(at, track.end);
    }
}
