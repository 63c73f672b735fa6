// Renders one track of a 48 kHz song through the import job and the same track with a sox pipeline
// (trim, generated silence and concatenation of the same regions), in the same run, and checks that
// both give the same samples. Reports our time as a ratio of the sox time.
//
// Usage: pelmora_bench_soxpeer [minutes=3] [rounds=5] [folder=/tmp]

#include "BenchSupport.h"
#include "adl/AdlFile.h"
#include "card/ImportJob.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;

struct Region {
    int editType; // 1 Cut, 2 Silence
    int file;     // zt5%04d.wav
    uint32_t sourceIn, in, out;
};

std::string Tc(uint32_t samples) {
    adl::CTimeCode tc;
    tc.Set(samples, adl::CTimeCode::FPS_25, adl::CTimeCode::RATE_48000);
    return tc.Format();
}

bool WriteSource(const std::string& path, int id, uint32_t samples) {
    wave::CWaveFile w;
    if (!w.Create(path, 1, 16, kRate))
        return false;
    std::vector<int16_t> block(kRate);
    for (uint32_t done = 0; done < samples; done += kRate) {
        const uint32_t n = std::min(kRate, samples - done);
        for (uint32_t k = 0; k < n; ++k)
            block[k] = static_cast<int16_t>(id * 7000 + (done + k) % 5000);
        if (!w.WriteData(block.data(), n * 2, done * 2))
            return false;
    }
    return w.Close() != 0;
}

// Regions of track 1, in entry order (later ones on top), scaled to the song length.
std::vector<Region> Layout(uint32_t length) {
    const uint32_t u = length / 18;
    return {{1, 1, 0, 0, 6 * u},
            {1, 2, u, 3 * u, 9 * u},
            {1, 3, 2 * u, 10 * u, 18 * u},
            {2, 0, 0, 12 * u, 13 * u},
            {1, 1, 5 * u, 14 * u, 15 * u}};
}

// The track's timeline as segments: source file (0 = silence), source start, length.
struct Segment {
    int file;
    uint32_t source, length;
};

std::vector<Segment> Timeline(const std::vector<Region>& regions, uint32_t end) {
    std::vector<Segment> out;
    uint32_t p = 0;
    while (p < end) {
        int top = -1;
        for (int i = 0; i < static_cast<int>(regions.size()); ++i)
            if (regions[i].in <= p && p < regions[i].out)
                top = i;
        uint32_t next = end;
        for (const auto& r : regions) {
            if (r.in > p)
                next = std::min(next, r.in);
            if (r.out > p)
                next = std::min(next, r.out);
        }
        if (top >= 0 && regions[top].editType == 1)
            out.push_back({regions[top].file, regions[top].sourceIn + (p - regions[top].in), next - p});
        else
            out.push_back({0, 0, next - p});
        p = next;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t minutes = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 3;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string base = argc > 3 ? argv[3] : "/tmp";
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        std::printf("sox is not installed: no peer to compare with\n");
        return 0;
    }
    std::string root = base + "/pelmora-sox-peer-XXXXXX";
    if (!::mkdtemp(root.data()))
        return 1;
    const std::string card = root + "/card", song = card + "/song", pc = root + "/pc";
    platform::CreateDirectory(card);
    platform::CreateDirectory(song);
    platform::CreateDirectory(pc);

    const uint32_t length = minutes * 60 * kRate;
    const auto regions = Layout(length);
    for (int id = 1; id <= 3; ++id)
        if (!WriteSource(platform::Format("%s/zt5%04d.wav", song.c_str(), id), id, length))
            return 1;
    std::string events;
    int number = 1;
    for (const auto& r : regions) {
        if (r.editType == 2)
            events += platform::Format("\t\t(Entry)\t%04d\t(Silence)\t1\t%s\t%s\t_\r\n", number++,
                                       Tc(r.in).c_str(), Tc(r.out).c_str());
        else
            events += platform::Format(
                "\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t1\t%s\t%s\t%s\t_\r\n", number++, r.file,
                Tc(r.sourceIn).c_str(), Tc(r.in).c_str(), Tc(r.out).c_str());
    }
    const std::string adl =
        "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n"
        "\t\t(SEQ_SAMPLE_RATE)\tS48000\r\n\t\t(SEQ_DEST_START)\t" +
        Tc(0) +
        "\r\n\t</SEQUENCE>\r\n\t<TRACKLIST>\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n\t</MEMLIST>\r\n"
        "\t<TEMPO_MAP>\r\n\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n" +
        events + "\t</EVENT_LIST>\r\n</ADL>\r\n";
    FILE* f = std::fopen((song + "/song.adl").c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(adl.data(), 1, adl.size(), f);
    std::fclose(f);

    // The same timeline as one sox command: each segment is a trimmed source or generated silence.
    std::string command = "sox -D";
    for (const auto& s : Timeline(regions, length)) {
        if (s.file == 0)
            command += platform::Format(" \"|sox -n -r %u -c 1 -p trim 0s %us\"", kRate, s.length);
        else
            command += platform::Format(" \"|sox %s/zt5%04d.wav -p trim %us %us\"", song.c_str(), s.file,
                                        s.source, s.length);
    }
    command += " -b 16 " + root + "/sox.wav";

    std::vector<double> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        platform::DeleteFile(pc + "/tr01.wav");
        card::ImportParams params;
        params.card = card;
        params.song = "song";
        params.pcFolder = pc;
        params.tracks[0] = true;
        auto t0 = std::chrono::steady_clock::now();
        const auto result = card::RunImport(params, nullptr, nullptr, nullptr, nullptr);
        ours.push_back(bench::Seconds(std::chrono::steady_clock::now() - t0));
        if (result.written.size() != 1) {
            std::fprintf(stderr, "render failed\n");
            return 1;
        }
        platform::DeleteFile(root + "/sox.wav");
        t0 = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "sox failed: %s\n", command.c_str());
            return 1;
        }
        theirs.push_back(bench::Seconds(std::chrono::steady_clock::now() - t0));
    }
    const bool same = bench::DataSamples(pc + "/tr01.wav") == bench::DataSamples(root + "/sox.wav");
    const double mo = bench::Median(ours), ms = bench::Median(theirs);
    std::printf("one track, %u min at 48 kHz, %zu regions\n", minutes, regions.size());
    std::printf("sox pipeline:   %.3f s (median of %d)\n", ms, rounds);
    std::printf("pelmora render: %.3f s  = %.2fx sox\n", mo, mo / ms);
    std::printf("same samples:   %s\n", same ? "yes" : "NO");
    std::system(("rm -rf '" + root + "'").c_str());
    return same ? 0 : 1;
}
