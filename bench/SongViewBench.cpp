// The song view of a song of 16 tracks of 10 minutes (48 kHz) with its peaks in the cache: opening it
// (reading the timeline and the cached peaks, making the window, showing it and drawing its first
// frame) and drawing one frame at the widest zoom (the whole song) and at the narrowest (a sample a
// pixel), for a song of 48 entries and for one of 5000 entries over the same audio (offscreen Qt).
// Aims: open < 0.3 s, a frame < 16 ms.

#include "BenchSupport.h"
#include "card/CardRules.h"
#include "card/PeakCache.h"
#include "card/SongView.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kLength = kRate * 600;
constexpr int kTracks = 16;
constexpr int kSources = 16;
const char* const kSongs[2] = {"few", "many"};
constexpr int kEntries[2] = {48, 5000};

std::string root;

std::string Tc(uint32_t samples) {
    const uint32_t frame = kRate / 25, seconds = samples / kRate;
    return platform::Format("%02u.%02u.%02u.%02u/%04u", seconds / 3600, seconds / 60 % 60, seconds % 60,
                            samples % kRate / frame, samples % frame);
}

bool WriteSources(const std::string& folder) {
    std::vector<int16_t> block(kRate);
    for (int id = 1; id <= kSources; ++id) {
        wave::CWaveFile w;
        if (!w.Create(platform::Format("%s/zt5%04d.wav", folder.c_str(), id), 1, 16, kRate))
            return false;
        for (uint32_t s = 0; s * kRate < kLength; ++s) {
            for (uint32_t k = 0; k < kRate; ++k)
                block[k] = static_cast<int16_t>(((k * (id + 3) + s * 977) % 4000) * (1 + s % 7) - 14000);
            if (!w.WriteData(block.data(), kRate * 2, s * kRate * 2))
                return false;
        }
        if (!w.Close())
            return false;
    }
    return true;
}

// Each track: three back-to-back regions of different sources, cut into `entries` pieces in all.
std::string Events(int entries) {
    std::string events;
    const uint32_t third = kLength / 3;
    int number = 1;
    for (int region = 0; region < 3 * kTracks; ++region) {
        const int track = region / 3 + 1, part = region % 3;
        const int source = (track + part) % kSources + 1;
        const int pieces = entries / (3 * kTracks) + (region < entries % (3 * kTracks) ? 1 : 0);
        for (int k = 0; k < pieces; ++k) {
            const uint32_t from = static_cast<uint32_t>(uint64_t{third} * k / pieces);
            const uint32_t to = static_cast<uint32_t>(uint64_t{third} * (k + 1) / pieces);
            const uint32_t at = part * third;
            events += platform::Format(
                "\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n", number++, source,
                track, Tc(from).c_str(), Tc(at + from).c_str(), Tc(at + to).c_str());
        }
    }
    return events;
}

bool WriteSong(const std::string& folder, const std::string& song, int entries) {
    const std::string text =
        "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n"
        "\t\t(SEQ_SAMPLE_RATE)\tS48000\r\n\t\t(SEQ_FRAME_RATE)\t25\r\n\t\t(SEQ_DEST_START)\t00.00.00.00/"
        "0000\r\n"
        "\t</SEQUENCE>\r\n\t<TRACKLIST>\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n"
        "\t\t(Memory)\t01\t\"IN\"\t00.01.00.00/0000\r\n\t\t(Memory)\t02\t\"OUT\"\t00.08.00.00/0000\r\n"
        "\t</MEMLIST>\r\n\t<TEMPO_MAP>\r\n\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n" +
        Events(entries) + "\t</EVENT_LIST>\r\n</ADL>\r\n";
    FILE* f = std::fopen((folder + "/" + song + ".adl").c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

card::SongPeaksParams Params(int song, const wave::SongTimeline& timeline) {
    card::SongPeaksParams params;
    params.card = root + "/card";
    params.song = kSongs[song];
    params.files = timeline.sources;
    params.cacheFolder = root + "/cache";
    return params;
}

// Both songs on a card (the second's files hard links of the first's), their peaks in the cache.
void Setup() {
    root = bench::ScratchFolder("pelmora-view-bench");
    const std::string card = root + "/card", few = card + "/few", many = card + "/many";
    if (!platform::CreateDirectory(card) || !platform::CreateDirectory(few) ||
        !platform::CreateDirectory(many) || !WriteSources(few))
        std::abort();
    for (int id = 1; id <= kSources; ++id) {
        const std::string name = platform::Format("/zt5%04d.wav", id);
        if (::link((few + name).c_str(), (many + name).c_str()) != 0)
            std::abort();
    }
    for (int song = 0; song < 2; ++song) {
        wave::SongTimeline timeline;
        if (!WriteSong(card + "/" + kSongs[song], kSongs[song], kEntries[song]) ||
            !card::ReadSongTimeline(card, kSongs[song], &timeline))
            std::abort();
        card::RunSongPeaks(Params(song, timeline), nullptr, nullptr, nullptr, nullptr, nullptr);
    }
}

std::unique_ptr<gui::CSongView> OpenView(int song) {
    wave::SongTimeline timeline;
    card::ReadSongTimeline(root + "/card", kSongs[song], &timeline);
    card::SongPeaksResult peaks = card::FindCachedSongPeaks(Params(song, timeline));
    if (peaks.peaks.size() != timeline.sources.size())
        std::abort();
    auto view = std::make_unique<gui::CSongView>(std::move(timeline), std::move(peaks.peaks),
                                                 QString::fromLatin1(kSongs[song]), gui::TrackChoice{});
    view->show();
    QApplication::processEvents();
    view->Area()->viewport()->repaint();
    return view;
}

void BM_OpenView(benchmark::State& state) {
    for (auto _ : state) {
        auto view = OpenView(static_cast<int>(state.range(0)));
        state.PauseTiming();
        view.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetLabel(platform::Format("%d entries", kEntries[state.range(0)]));
}

// One frame at the widest zoom (range 1 = 0) or the narrowest, in the middle of the song.
void BM_Frame(benchmark::State& state) {
    auto view = OpenView(static_cast<int>(state.range(0)));
    gui::CTimelineArea* area = view->Area();
    if (state.range(1) != 0) {
        const int middle = area->viewport()->width() / 2;
        area->Zoom(1e-9, middle);
        area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum() / 2);
    }
    for (auto _ : state)
        area->viewport()->repaint();
    state.SetLabel(platform::Format("%d entries, %s, %.0f samples a pixel", kEntries[state.range(0)],
                                    state.range(1) ? "narrowest" : "widest", area->SamplesPerPixel()));
}

BENCHMARK(BM_OpenView)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(3);
BENCHMARK(BM_Frame)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20)
    ->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Setup();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
