// Building the peaks of a song's 16 audio files of 3 minutes (44.1 kHz, mono, 16 bits) with an empty
// cache, beside a plain read() of the same files' bytes with 1 MiB buffers, in one process so that
// the ratio compares like with like on a shared machine; and the peaks alone, without the cache.
// Argument 0: the files are in the page cache (the read is a memory copy); 1: they are dropped from it
// first and come from the disk, as from a card. Target: peaks / read <= 1.1.

#include "BenchSupport.h"
#include "card/CardRules.h"
#include "card/PeakCache.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSamples = kRate * 180;
constexpr int kFiles = 16;

std::string root;
card::SongPeaksParams params;

// A card with the song "Bench" of 16 files, each a tone of its own.
void Setup() {
    root = bench::ScratchFolder("pelmora-peaks-bench");
    params.card = root + "/card";
    params.song = "Bench";
    platform::CreateDirectory(params.card);
    platform::CreateDirectory(card::SongFolderPath(params.card, "Bench"));
    std::vector<int16_t> samples(kSamples);
    for (int n = 1; n <= kFiles; ++n) {
        for (uint32_t k = 0; k < kSamples; ++k)
            samples[k] = static_cast<int16_t>(12000 * std::sin(k * 0.01 * n) + (k * 7919 % 997));
        const std::string name = platform::Format("zt5%04d.wav", n);
        wave::CWaveFile w;
        if (!w.Create(card::AudioFilePath(params.card, "Bench", name), 1, 16, kRate) ||
            !w.WriteData(samples.data(), kSamples * 2, 0) || !w.Close())
            std::abort();
        params.files.push_back(name);
    }
}

// Range 1: the files are first dropped from the page cache, as a card just put in is read from the
// card itself.
void Drop(benchmark::State& state) {
    if (state.range(0) == 0)
        return;
    state.PauseTiming();
    for (const std::string& name : params.files) {
        const int fd = ::open(card::AudioFilePath(params.card, "Bench", name).c_str(), O_RDONLY);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    state.ResumeTiming();
}

void BM_ReadSameBytes(benchmark::State& state) {
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        Drop(state);
        for (const std::string& name : params.files) {
            const int fd = ::open(card::AudioFilePath(params.card, "Bench", name).c_str(), O_RDONLY);
            while (::read(fd, buffer.data(), buffer.size()) > 0)
                benchmark::DoNotOptimize(buffer.data());
            ::close(fd);
        }
    }
    state.SetBytesProcessed(state.iterations() * kFiles * int64_t{kSamples} * 2);
}

void BM_SongPeaks(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        params.cacheFolder = root + "/cache";
        std::system(("rm -rf '" + params.cacheFolder + "'").c_str());
        state.ResumeTiming();
        Drop(state);
        const card::SongPeaksResult result =
            card::RunSongPeaks(params, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (result.computed != kFiles)
            state.SkipWithError("not every file was read");
    }
    state.SetBytesProcessed(state.iterations() * kFiles * int64_t{kSamples} * 2);
}

void BM_PeaksOnly(benchmark::State& state) {
    for (auto _ : state) {
        Drop(state);
        for (const std::string& name : params.files) {
            wave::Peaks peaks;
            wave::ComputePeaks(card::AudioFilePath(params.card, "Bench", name), &peaks);
            benchmark::DoNotOptimize(peaks.minMax.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * kFiles * int64_t{kSamples} * 2);
}

void BM_CachedSongPeaks(benchmark::State& state) {
    params.cacheFolder = root + "/cache";
    card::RunSongPeaks(params, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(card::FindCachedSongPeaks(params).peaks.size());
}

// Run with --benchmark_enable_random_interleaving=true to spread machine load over them.
BENCHMARK(BM_ReadSameBytes)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5);
BENCHMARK(BM_SongPeaks)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5);
BENCHMARK(BM_PeaksOnly)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5);
BENCHMARK(BM_CachedSongPeaks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Setup();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
