// Renders every track of a 16-track 48 kHz song (overlapping regions and gaps) through the import job
// and compares the time with `cp` of the rendered files, which is the floor for reading and writing the
// same bytes once. Also: a message target that does a cross-thread round trip per message, and peak
// memory of 1- and 3-minute songs (it must not grow with the song).
//
// Usage: pelmora_bench_render [minutes=3] [rounds=3] [folder=/tmp]

#include "BenchSupport.h"
#include "adl/TimeCode.h"
#include "card/ImportJob.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr int kSources = 4;

std::string Tc(uint32_t samples) {
    adl::CTimeCode tc;
    tc.Set(samples, adl::CTimeCode::FPS_25, adl::CTimeCode::RATE_48000);
    return tc.Format();
}

// Builds card/song with kSources source files of `seconds` each and 16 tracks of overlapping regions.
bool MakeSong(const std::string& card, uint32_t seconds) {
    const std::string folder = card + "/song";
    platform::CreateDirectory(card);
    platform::CreateDirectory(folder);
    const uint32_t length = seconds * kRate;
    std::vector<int16_t> block(kRate);
    for (int id = 1; id <= kSources; ++id) {
        wave::CWaveFile w;
        if (!w.Create(platform::Format("%s/zt5%04d.wav", folder.c_str(), id), 1, 16, kRate))
            return false;
        for (uint32_t s = 0; s < seconds; ++s) {
            for (uint32_t k = 0; k < kRate; ++k)
                block[k] = static_cast<int16_t>(id * 1000 + s + k);
            if (!w.WriteData(block.data(), kRate * 2, s * kRate * 2))
                return false;
        }
        w.Close();
    }
    std::mt19937 rng(7);
    auto pick = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    std::string events;
    int number = 1;
    for (int track = 1; track <= 16; ++track) {
        // Regions of 5..25 s with gaps of up to 1 s, plus shorter regions laid over them.
        uint32_t at = pick(0, kRate);
        while (at < length) {
            const uint32_t len = std::min(pick(5 * kRate, 25 * kRate), length - at);
            const uint32_t srcIn = pick(0, length - len);
            events +=
                platform::Format("\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n",
                                 number++, static_cast<int>(pick(1, kSources)), track, Tc(srcIn).c_str(),
                                 Tc(at).c_str(), Tc(at + len).c_str());
            if (len > 4 * kRate) {
                const uint32_t overIn = at + pick(0, len / 2);
                const uint32_t overLen = pick(kRate / 2, 2 * kRate);
                events += platform::Format(
                    "\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n", number++,
                    static_cast<int>(pick(1, kSources)), track, Tc(pick(0, length - overLen)).c_str(),
                    Tc(overIn).c_str(), Tc(overIn + overLen).c_str());
            }
            at += len + pick(0, kRate);
        }
        // The track ends exactly at the song's length.
        events +=
            platform::Format("\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt50001.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n",
                             number++, track, Tc(0).c_str(), Tc(length - kRate).c_str(), Tc(length).c_str());
    }
    std::string text =
        "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n"
        "\t\t(SEQ_SAMPLE_RATE)\tS48000\r\n\t\t(SEQ_FRAME_RATE)\t25\r\n\t</SEQUENCE>\r\n"
        "\t<TRACKLIST>\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n\t</MEMLIST>\r\n\t<TEMPO_MAP>\r\n"
        "\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n" +
        events + "\t</EVENT_LIST>\r\n</ADL>\r\n";
    FILE* f = std::fopen((folder + "/song.adl").c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

struct NullTarget : platform::IMessageTarget {
    intptr_t Send(unsigned, uintptr_t, intptr_t) override { return 0; }
    void Post(unsigned, uintptr_t, intptr_t) override {}
};

// Each Send waits until a second thread has taken the message and acknowledged it.
class RoundTripTarget : public platform::IMessageTarget {
public:
    RoundTripTarget() : m_thread([this] { Loop(); }) {}
    ~RoundTripTarget() override {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    intptr_t Send(unsigned message, uintptr_t wParam, intptr_t) override {
        std::unique_lock lock(m_mutex);
        m_message = message;
        m_wParam = wParam;
        m_pending = true;
        m_cv.notify_all();
        m_cv.wait(lock, [this] { return !m_pending; });
        return 0;
    }
    void Post(unsigned, uintptr_t, intptr_t) override {}
    uint64_t Handled() const { return m_handled; }

private:
    void Loop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_pending || m_stop; });
            if (m_pending) {
                ++m_handled;
                m_pending = false;
                m_cv.notify_all();
            } else if (m_stop) {
                return;
            }
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    unsigned m_message = 0;
    uintptr_t m_wParam = 0;
    bool m_pending = false;
    bool m_stop = false;
    uint64_t m_handled = 0;
    std::thread m_thread;
};

void ClearOutputs(const std::string& pc) {
    for (int t = 1; t <= 16; ++t)
        platform::DeleteFile(platform::Format("%s/tr%02d.wav", pc.c_str(), t));
}

card::ImportParams Params(const std::string& card, const std::string& pc) {
    card::ImportParams p;
    p.card = card;
    p.song = "song";
    p.pcFolder = pc;
    p.tracks.fill(true);
    return p;
}

double Render(const std::string& card, const std::string& pc, platform::IMessageTarget* target) {
    ClearOutputs(pc);
    platform::CancelFlag cancel{0};
    const auto start = std::chrono::steady_clock::now();
    const auto r = card::RunImport(Params(card, pc), nullptr, nullptr, nullptr, &cancel, target);
    const double s = bench::SecondsSince(start);
    if (r.written.size() != 16) {
        std::fprintf(stderr, "render failed: %zu tracks written\n", r.written.size());
        std::exit(1);
    }
    return s;
}

// Peak resident memory (KiB) of a child process that renders the song.
long PeakMemory(const std::string& card, const std::string& pc) {
    ClearOutputs(pc);
    const pid_t pid = ::fork();
    if (pid == 0) {
        NullTarget target;
        platform::CancelFlag cancel{0};
        const auto r = card::RunImport(Params(card, pc), nullptr, nullptr, nullptr, &cancel, &target);
        ::_exit(r.written.size() == 16 ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t minutes = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 3;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string base = argc > 3 ? argv[3] : "/tmp";
    char pattern[512];
    std::snprintf(pattern, sizeof pattern, "%s/pelmora-render-bench-XXXXXX", base.c_str());
    if (!::mkdtemp(pattern))
        return 1;
    const std::string root = pattern;
    const std::string shortCard = root + "/card1", card = root + "/card", pc = root + "/pc",
                      copy = root + "/copy";
    platform::CreateDirectory(pc);
    platform::CreateDirectory(copy);

    std::printf("building songs...\n");
    if (!MakeSong(shortCard, 60) || !MakeSong(card, minutes * 60)) {
        std::fprintf(stderr, "could not build the songs\n");
        return 1;
    }
    const long peakShort = PeakMemory(shortCard, pc);
    const long peakLong = PeakMemory(card, pc);

    uint64_t bytes = 0;
    for (int t = 1; t <= 16; ++t) {
        wave::CWaveFile w;
        w.Open(platform::Format("%s/tr%02d.wav", pc.c_str(), t), 1);
        bytes += w.GetRiffSize();
    }

    std::vector<double> cp, nul, trip;
    uint64_t messages = 0;
    for (int round = 0; round < rounds; ++round) {
        NullTarget none;
        nul.push_back(Render(card, pc, &none));
        RoundTripTarget roundTrip;
        trip.push_back(Render(card, pc, &roundTrip));
        messages = roundTrip.Handled();
        std::system(("rm -f '" + copy + "'/*").c_str());
        const auto start = std::chrono::steady_clock::now();
        if (std::system(("cp '" + pc + "'/tr*.wav '" + copy + "'/").c_str()) != 0)
            return 1;
        cp.push_back(bench::SecondsSince(start));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double mcp = median(cp), mnul = median(nul), mtrip = median(trip);
    std::printf("song: 16 tracks x %u min at 48 kHz, %.1f MB written per render, %llu messages\n", minutes,
                bytes / 1e6, static_cast<unsigned long long>(messages));
    std::printf("cp of the same files:          %.3f s (median of %d)\n", mcp, rounds);
    std::printf("render, no-op target:          %.3f s  = %.2fx cp\n", mnul, mnul / mcp);
    std::printf("render, cross-thread target:   %.3f s  = %.2fx cp\n", mtrip, mtrip / mcp);
    std::printf("peak memory: 1-minute song %ld KiB, %u-minute song %ld KiB\n", peakShort, minutes, peakLong);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
