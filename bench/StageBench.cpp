// Stages a 74-minute audio CD (ten WAV files, one of them not sector aligned) through the
// disc-image recorder and records it, and compares the time with `cp` of the same WAV files, which
// is the floor for reading and writing the same bytes once. The recorder makes its image durable
// before naming it, so `cp` followed by `sync` of the copies is shown as well. Medians of the rounds.
//
// Usage: pelmora_bench_stage [rounds=3] [folder=/tmp]

#include "BenchSupport.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/ImageDiscBackend.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDiscSectors = 74 * 60 * 75;
constexpr int kTracks = 10;

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

bool WriteWav(const std::string& path, uint32_t dataBytes, uint32_t seed) {
    std::vector<uint8_t> header(44, 0);
    std::copy_n("RIFF", 4, header.begin());
    PutLe32(header, 4, 36 + dataBytes);
    std::copy_n("WAVEfmt ", 8, header.begin() + 8);
    PutLe32(header, 16, 16);
    header[20] = 1;
    header[22] = 2;
    PutLe32(header, 24, 44100);
    PutLe32(header, 28, 176400);
    header[32] = 4;
    header[34] = 16;
    std::copy_n("data", 4, header.begin() + 36);
    PutLe32(header, 40, dataBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(header.data(), 1, header.size(), f);
    std::vector<uint8_t> block(1 << 20);
    uint32_t x = seed;
    for (auto& b : block) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    for (uint32_t left = dataBytes; left > 0;) {
        const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(block.size()));
        std::fwrite(block.data(), 1, n, f);
        left -= n;
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string base = argc > 2 ? argv[2] : "/tmp";
    const std::string root = platform::Format("%s/stage-bench-%d", base.c_str(), static_cast<int>(getpid()));
    const std::string src = root + "/wav", img = root + "/img", copy = root + "/copy";
    for (const std::string& d : {root, src, img, copy})
        platform::CreateDirectory(d);

    std::vector<std::string> wavs;
    uint64_t bytes = 0;
    for (int i = 0; i < kTracks; ++i) {
        uint32_t data = kDiscSectors / kTracks * 2352;
        if (i == 3)
            data -= 1234; // not sector aligned
        const std::string path = platform::Format("%s/track%02d.wav", src.c_str(), i + 1);
        if (!WriteWav(path, data, static_cast<uint32_t>(i + 1))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        wavs.push_back(path);
        bytes += 44 + data;
    }
    std::string cpCommand = "cp";
    for (const std::string& w : wavs)
        cpCommand += " '" + w + "'";
    cpCommand += " '" + copy + "/'";
    const std::string syncCommand = "sync '" + copy + "'/*.wav";

    cdwriter::CImageDiscBackend backend(img, "disc");
    std::vector<double> stage, cp, cpSync;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        {
            cdwriter::CDiscMaster master(&backend);
            bool ok = master.InitDiscMaster();
            for (const std::string& w : wavs)
                ok = ok && master.AddWaveTrack(w);
            ok = ok && master.BurnDisc();
            master.ReleaseDiscMaster();
            if (!ok) {
                std::fprintf(stderr, "burn failed: %s\n", master.GetErrorText().c_str());
                return 1;
            }
        }
        stage.push_back(bench::SecondsSince(t0));

        t0 = std::chrono::steady_clock::now();
        if (std::system(cpCommand.c_str()) != 0)
            return 1;
        cp.push_back(bench::SecondsSince(t0));
        if (std::system(syncCommand.c_str()) != 0)
            return 1;
        cpSync.push_back(bench::SecondsSince(t0));
        std::system(("rm -f '" + copy + "'/*.wav").c_str());
    }

    const double s = bench::Median(stage), c = bench::Median(cp), cs = bench::Median(cpSync);
    std::printf("74-minute disc, %d tracks, %.1f MB of WAV, %d rounds (medians)\n", kTracks, bytes / 1e6,
                rounds);
    std::printf("  stage + record image : %.3f s  (%.0f MB/s)\n", s, bytes / 1e6 / s);
    std::printf("  cp                   : %.3f s  ratio %.2fx\n", c, s / c);
    std::printf("  cp + sync            : %.3f s  ratio %.2fx\n", cs, s / cs);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
