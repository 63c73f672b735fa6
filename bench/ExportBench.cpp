// Exporting 16 mono 16-bit 44.1 kHz tracks of 3 minutes into a song on a card folder, beside `cp` of
// the same 16 files into another folder, and `cp` followed by an fsync of each copy (the export
// flushes every file to the card before it counts). Run in one process so the ratios compare like
// with like on a shared machine.

#include "BenchSupport.h"
#include "card/ExportJob.h"
#include "card/NewSong.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSamples = kRate * 180;

std::string root;

// The PC folder with tr01.wav .. tr16.wav as PC programs write them (44-byte header).
const std::string& Setup() {
    if (!root.empty())
        return root;
    root = bench::ScratchFolder("pelmora-export-bench");
    platform::CreateDirectory(root + "/pc");
    platform::CreateDirectory(root + "/card");
    platform::CreateDirectory(root + "/copy");
    if (!bench::WritePcTrackFiles(root + "/pc", 16, kRate, kSamples))
        std::abort();
    return root;
}

void RunShell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        std::abort();
}

void BM_Export(benchmark::State& state) {
    const std::string& dir = Setup();
    card::ExportParams params;
    params.card = dir + "/card";
    params.song = "Bench";
    params.pcFolder = dir + "/pc";
    params.tracks.fill(true);
    for (auto _ : state) {
        state.PauseTiming();
        RunShell("rm -rf '" + params.card + "/Bench'");
        if (!card::CreateNewSong(params.card + "/Bench", params.pcFolder, params.tracks, nullptr))
            std::abort();
        state.ResumeTiming();
        const card::ExportResult r = card::RunExport(params, nullptr, nullptr, nullptr, nullptr);
        if (r.outcome != card::ExportOutcome::Finished || r.written.size() != 16)
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * 16ll * kSamples * 2);
}

void Copy(benchmark::State& state, bool sync) {
    const std::string& dir = Setup();
    std::string files;
    for (int n = 1; n <= 16; ++n)
        files += platform::Format(" '%s/pc/tr%02d.wav'", dir.c_str(), n);
    const std::string copy = dir + "/copy";
    for (auto _ : state) {
        state.PauseTiming();
        RunShell("rm -f '" + copy + "'/*.wav");
        state.ResumeTiming();
        RunShell("cp" + files + " '" + copy + "'" + (sync ? " && sync '" + copy + "'/*.wav" : std::string()));
    }
    state.SetBytesProcessed(state.iterations() * 16ll * kSamples * 2);
}

void BM_Cp(benchmark::State& state) {
    Copy(state, false);
}
void BM_CpThenFsync(benchmark::State& state) {
    Copy(state, true);
}

// Run with --benchmark_enable_random_interleaving=true to spread machine load over all three.
BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_CpThenFsync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

// The JSON file names each run by its function alone (BM_Export, BM_Cp, ...), so that scripts find
// the figures without knowing the iteration and repetition settings above.
class CPlainNames : public benchmark::JSONReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> plain(runs);
        for (Run& run : plain) {
            run.run_name.iterations.clear();
            run.run_name.repetitions.clear();
            run.run_name.time_type.clear();
        }
        JSONReporter::ReportRuns(plain);
    }
};

} // namespace

int main(int argc, char** argv) {
    bool toFile = false, jsonFile = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        toFile = toFile || arg.rfind("--benchmark_out=", 0) == 0;
        if (arg.rfind("--benchmark_out_format=", 0) == 0)
            jsonFile = arg == "--benchmark_out_format=json";
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CPlainNames plain;
    benchmark::RunSpecifiedBenchmarks(nullptr, toFile && jsonFile ? &plain : nullptr);
    benchmark::Shutdown();
    return 0;
}
