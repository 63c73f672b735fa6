// Exports 16 tracks of 24-bit 44.1 kHz stereo into a 48 kHz song with conversion (each file mixed to
// mono at -3 dB per channel, its rate changed, dithered to 16 bits), and the same conversion of the same
// files by sox (remix, rate -h, dither), in the same run. Reports our time as a ratio of the sox time,
// and how far one of our tracks lies from sox's (both carry their own dither).
//
// Usage: pelmora_bench_convert [minutes=3] [rounds=3] [folder=/tmp]

#include "BenchSupport.h"
#include "adl/AdlCodes.h"
#include "card/ExportJob.h"
#include "card/NewSong.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSourceRate = 44100;
constexpr int kTracks = 16;

void Put(uint8_t* at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 24-bit stereo file as a PC program writes it (44-byte header): two tones and some noise, about -10 dBFS.
bool WriteSource(const std::string& path, int id, uint32_t frames) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const uint32_t bytes = frames * 6;
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0,   0,  0, 0, 'W', 'A', 'V',
                     'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,   1,   0};
    Put(h + 4, 36 + bytes, 4);
    Put(h + 22, 2, 2);
    Put(h + 24, kSourceRate, 4);
    Put(h + 28, kSourceRate * 6, 4);
    Put(h + 32, 6, 2);
    Put(h + 34, 24, 2);
    std::memcpy(h + 36, "data", 4);
    Put(h + 40, bytes, 4);
    bool ok = std::fwrite(h, 1, 44, f) == 44;
    std::vector<uint8_t> block(static_cast<size_t>(kSourceRate) * 6);
    uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(id);
    for (uint32_t done = 0; ok && done < frames; done += kSourceRate) {
        const uint32_t n = std::min(kSourceRate, frames - done);
        for (uint32_t k = 0; k < n; ++k) {
            const double t = static_cast<double>(done + k) / kSourceRate;
            for (int ch = 0; ch < 2; ++ch) {
                x = x * 1664525u + 1013904223u;
                const double v = 0.2 * std::sin(2 * M_PI * (220.0 * id + 100 * ch) * t) +
                                 0.1 * std::sin(2 * M_PI * 5555.5 * t) + 0.02 * ((x >> 8) / 16777216.0 - 0.5);
                Put(&block[(static_cast<size_t>(k) * 2 + ch) * 3],
                    static_cast<uint32_t>(std::lrint(v * 8388607)), 3);
            }
        }
        ok = std::fwrite(block.data(), 1, static_cast<size_t>(n) * 6, f) == static_cast<size_t>(n) * 6;
    }
    return std::fclose(f) == 0 && ok;
}

double DifferenceDb(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = (a[i] - b[i]) / 32768.0;
        sum += d * d;
    }
    return n == 0 ? 0.0 : 10 * std::log10(sum / static_cast<double>(n));
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t minutes = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 3;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string base = argc > 3 ? argv[3] : "/tmp";
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        std::printf("sox is not installed: no peer to compare with\n");
        return 0;
    }
    std::string root = base + "/pelmora-convert-bench-XXXXXX";
    if (!::mkdtemp(root.data()))
        return 1;
    const std::string pc = root + "/pc", card = root + "/card", soxOut = root + "/sox";
    platform::CreateDirectory(pc);
    platform::CreateDirectory(card);
    platform::CreateDirectory(soxOut);
    const uint32_t frames = minutes * 60 * kSourceRate;
    std::string soxCommand = "true";
    for (int n = 1; n <= kTracks; ++n) {
        const std::string source = platform::Format("%s/tr%02d.wav", pc.c_str(), n);
        if (!WriteSource(source, n, frames))
            return 1;
        soxCommand +=
            platform::Format(" && sox -D '%s' -b 16 '%s/tr%02d.wav' remix 1v0.7071,2v0.7071 rate -h 48000 "
                             "dither",
                             source.c_str(), soxOut.c_str(), n);
    }
    const std::string song = card + "/Bench";
    platform::CreateDirectory(song);
    if (!card::WriteNewSongAdl(song + "/Bench.adl", "Bench", adl::SampleRateCode::Hz48000, "2026-01-01"))
        return 1;
    const std::string adl = song + "/Bench.adl";
    FILE* a = std::fopen(adl.c_str(), "rb");
    std::string adlText(1 << 16, '\0');
    adlText.resize(a ? std::fread(adlText.data(), 1, adlText.size(), a) : 0);
    if (a)
        std::fclose(a);

    card::ExportParams params;
    params.card = card;
    params.song = "Bench";
    params.pcFolder = pc;
    params.tracks.fill(true);
    params.conversion = card::Conversion::Convert;
    std::vector<double> ours, theirs;
    std::string first;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& entry : platform::FindFiles(song, "*.wav"))
            platform::DeleteFile(song + "/" + entry.name);
        FILE* w = std::fopen(adl.c_str(), "wb");
        if (!w || std::fwrite(adlText.data(), 1, adlText.size(), w) != adlText.size() || std::fclose(w) != 0)
            return 1;
        auto t0 = std::chrono::steady_clock::now();
        const card::ExportResult r = card::RunExport(params, nullptr, nullptr, nullptr, nullptr);
        ours.push_back(bench::Seconds(std::chrono::steady_clock::now() - t0));
        if (r.outcome != card::ExportOutcome::Finished || r.written.size() != kTracks) {
            std::fprintf(stderr, "export failed: %s\n", r.message.c_str());
            return 1;
        }
        first = song + "/" + r.files[0];
        std::system(("rm -f '" + soxOut + "'/*.wav").c_str());
        t0 = std::chrono::steady_clock::now();
        if (std::system(soxCommand.c_str()) != 0) {
            std::fprintf(stderr, "sox failed\n");
            return 1;
        }
        theirs.push_back(bench::Seconds(std::chrono::steady_clock::now() - t0));
    }
    const double difference =
        DifferenceDb(bench::DataSamples(first), bench::DataSamples(soxOut + "/tr01.wav"));
    std::printf("convert %d x %u min 24-bit 44.1 kHz stereo -> 48 kHz mono (median of %d): export %.2f s, "
                "sox %.2f s = %.2fx sox\n",
                kTracks, minutes, rounds, bench::Median(ours), bench::Median(theirs),
                bench::Median(ours) / bench::Median(theirs));
    std::printf("TR1 against sox's: %.1f dBFS RMS apart (two dithers and two filters)\n", difference);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
