// Rendering a 16-track song through the import job, each figure a ratio against a baseline measured in
// the same round:
//   copy:    the render against a plain read()/write() copy with 1 MiB buffers of the rendered files
//            (the user-space limit for reading and writing the same bytes once);
//   entries: a song of 5000 entries against a song of 48 entries that renders the same audio.
// Rounds take the three runs in a rotating order; the table gives the median ratio and its spread.
//
// Usage: pelmora_bench_render_io [minutes=3] [rounds=5] [folder=/tmp]

#include "card/ImportJob.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr int kSources = 4;
constexpr int kTracks = 16;
constexpr int kFewEntries = 48; // three a track
constexpr int kManyEntries = 5000;

// 25 fps position text at 48 kHz: hours.minutes.seconds.frames/samples into the frame.
std::string Tc(uint32_t samples) {
    const uint32_t frame = kRate / 25, seconds = samples / kRate;
    return platform::Format("%02u.%02u.%02u.%02u/%04u", seconds / 3600, seconds / 60 % 60, seconds % 60,
                            samples % kRate / frame, samples % frame);
}

bool WriteSources(const std::string& folder, uint32_t length) {
    std::vector<int16_t> block(kRate);
    for (int id = 1; id <= kSources; ++id) {
        wave::CWaveFile w;
        if (!w.Create(platform::Format("%s/zt5%04d.wav", folder.c_str(), id), 1, 16, kRate))
            return false;
        for (uint32_t s = 0; s * kRate < length; ++s) {
            for (uint32_t k = 0; k < kRate; ++k)
                block[k] = static_cast<int16_t>(id * 1000 + s * 7 + k);
            if (!w.WriteData(block.data(), kRate * 2, s * kRate * 2))
                return false;
        }
        if (!w.Close())
            return false;
    }
    return true;
}

// Each track: three back-to-back regions from different sources. Split into `entries` pieces in all,
// the song renders the same samples through many more stretches.
std::string Events(uint32_t length, int entries) {
    std::string events;
    const uint32_t third = length / 3;
    int number = 1;
    for (int region = 0; region < kFewEntries; ++region) {
        const int track = region / 3 + 1, part = region % 3;
        const int source = (track + part) % kSources + 1;
        const int pieces = entries / kFewEntries + (region < entries % kFewEntries ? 1 : 0);
        for (int k = 0; k < pieces; ++k) {
            const uint32_t from = static_cast<uint32_t>(uint64_t{third} * k / pieces);
            const uint32_t to = static_cast<uint32_t>(uint64_t{third} * (k + 1) / pieces);
            const uint32_t at = part * third;
            events += platform::Format(
                "\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n", number++, source,
                track, Tc(at + from).c_str(), Tc(at + from).c_str(), Tc(at + to).c_str());
        }
    }
    return events;
}

bool WriteSong(const std::string& folder, const std::string& song, uint32_t length, int entries) {
    const std::string text =
        "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n"
        "\t\t(SEQ_SAMPLE_RATE)\tS48000\r\n\t\t(SEQ_FRAME_RATE)\t25\r\n\t</SEQUENCE>\r\n"
        "\t<TRACKLIST>\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n\t</MEMLIST>\r\n\t<TEMPO_MAP>\r\n"
        "\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n" +
        Events(length, entries) + "\t</EVENT_LIST>\r\n</ADL>\r\n";
    FILE* f = std::fopen((folder + "/" + song + ".adl").c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

// The many-entry song reads the same source files (hard links), so both renders read the same cache.
bool MakeCard(const std::string& card, uint32_t length) {
    const std::string few = card + "/few", many = card + "/many";
    if (!platform::CreateDirectory(card) || !platform::CreateDirectory(few) ||
        !platform::CreateDirectory(many) || !WriteSources(few, length))
        return false;
    for (int id = 1; id <= kSources; ++id) {
        const std::string name = platform::Format("/zt5%04d.wav", id);
        if (::link((few + name).c_str(), (many + name).c_str()) != 0)
            return false;
    }
    return WriteSong(few, "few", length, kFewEntries) && WriteSong(many, "many", length, kManyEntries);
}

// What the command line's bar does with the byte totals, minus the terminal.
struct Bar : platform::IProgressBar {
    int64_t pos = 0;
    void SetRange(int64_t, int64_t) override {}
    void SetPos(int64_t p) override { pos = p; }
};

std::string TrackPath(const std::string& folder, int track) {
    return platform::Format("%s/tr%02d.wav", folder.c_str(), track);
}

// Removes the folder's track files and waits until the file system has written back what is pending,
// so that no run pays for the write-back of the one before.
void Clear(const std::string& folder) {
    for (int t = 1; t <= kTracks; ++t)
        platform::DeleteFile(TrackPath(folder, t));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// Wall time and this process's processor time (user + system) of one run. The machine is shared: the
// processor time is what other load disturbs least, and the ratios are taken on it.
struct Timing {
    double wall = 0, cpu = 0;
};

class Stopwatch {
public:
    Stopwatch() : m_wall(std::chrono::steady_clock::now()), m_cpu(Cpu()) {}
    Timing Stop() const {
        return {std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count(),
                Cpu() - m_cpu};
    }

private:
    static double Cpu() {
        timespec ts{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }
    std::chrono::steady_clock::time_point m_wall;
    double m_cpu;
};

Timing Render(const std::string& card, const std::string& song, const std::string& pc) {
    Clear(pc);
    card::ImportParams p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    p.tracks.fill(true);
    Bar bar;
    platform::CancelFlag cancel{0};
    const Stopwatch watch;
    const auto r = card::RunImport(p, nullptr, nullptr, &bar, &cancel);
    const Timing s = watch.Stop();
    if (r.written.size() != kTracks) {
        std::fprintf(stderr, "render of %s failed: %zu tracks written\n", song.c_str(), r.written.size());
        std::exit(1);
    }
    return s;
}

bool CopyFile(const std::string& from, const std::string& to, std::vector<char>& buffer) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buffer.data(), static_cast<size_t>(n)) == n;
    }
    if (in >= 0)
        ::close(in);
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    return ok;
}

Timing Copy(const std::string& from, const std::string& to) {
    Clear(to);
    std::vector<char> buffer(1 << 20);
    const Stopwatch watch;
    for (int t = 1; t <= kTracks; ++t) {
        if (!CopyFile(TrackPath(from, t), TrackPath(to, t), buffer)) {
            std::fprintf(stderr, "copy failed\n");
            std::exit(1);
        }
    }
    return watch.Stop();
}

bool SameFiles(const std::string& a, const std::string& b) {
    for (int t = 1; t <= kTracks; ++t) {
        std::string cmd = "cmp -s '" + TrackPath(a, t) + "' '" + TrackPath(b, t) + "'";
        if (std::system(cmd.c_str()) != 0)
            return false;
    }
    return true;
}

struct Spread {
    double median, low, high;
};

Spread Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t minutes = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 3;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string base = argc > 3 ? argv[3] : "/tmp";
    char pattern[512];
    std::snprintf(pattern, sizeof pattern, "%s/pelmora-render-io-XXXXXX", base.c_str());
    if (minutes == 0 || !::mkdtemp(pattern))
        return 1;
    const std::string root = pattern, card = root + "/card", pc = root + "/pc", ref = root + "/ref",
                      copy = root + "/copy";
    platform::CreateDirectory(pc);
    platform::CreateDirectory(ref);
    platform::CreateDirectory(copy);

    std::printf("building the songs...\n");
    std::fflush(stdout);
    if (!MakeCard(card, minutes * 60 * kRate)) {
        std::fprintf(stderr, "could not build the songs\n");
        return 1;
    }
    // The first renders warm the caches and give the copy its input; both songs must agree.
    Render(card, "few", ref);
    Render(card, "many", pc);
    if (!SameFiles(ref, pc)) {
        std::fprintf(stderr, "the two songs rendered different files\n");
        return 1;
    }
    uint64_t bytes = 0;
    for (int t = 1; t <= kTracks; ++t) {
        struct stat st {};
        if (::stat(TrackPath(ref, t).c_str(), &st) == 0)
            bytes += static_cast<uint64_t>(st.st_size);
    }

    // Per round: the three runs' processor and wall times; the ratios are taken inside each round.
    std::vector<double> cpu[3], wall[3], rCopy, rEntries, rCopyWall, rEntriesWall;
    for (int round = 0; round < rounds; ++round) {
        Timing t[3];
        for (int k = 0; k < 3; ++k) {
            const int run = (round + k) % 3;
            t[run] = run == 0 ? Copy(ref, copy) : Render(card, run == 1 ? "few" : "many", pc);
        }
        for (int run = 0; run < 3; ++run) {
            cpu[run].push_back(t[run].cpu);
            wall[run].push_back(t[run].wall);
        }
        std::printf("round %d, processor s: copy %.3f, 48 entries %.3f, 5000 entries %.3f\n", round + 1,
                    t[0].cpu, t[1].cpu, t[2].cpu);
        rCopy.push_back(t[1].cpu / t[0].cpu);
        rEntries.push_back(t[2].cpu / t[1].cpu);
        rCopyWall.push_back(t[1].wall / t[0].wall);
        rEntriesWall.push_back(t[2].wall / t[1].wall);
    }
    std::printf("song: 16 tracks x %u min at 48 kHz, %.1f MB written per render, %d rounds\n", minutes,
                static_cast<double>(bytes) / 1e6, rounds);
    std::printf("median (lowest-highest)          processor s            wall s\n");
    const char* names[3] = {"read/write copy, 1 MiB", "render, 48 entries", "render, 5000 entries"};
    for (int run = 0; run < 3; ++run) {
        const Spread c = Summary(cpu[run]), w = Summary(wall[run]);
        std::printf("%-28s %6.3f (%.3f-%.3f)   %6.3f (%.3f-%.3f)\n", names[run], c.median, c.low, c.high,
                    w.median, w.low, w.high);
    }
    const Spread rc = Summary(rCopy), re = Summary(rEntries), rcw = Summary(rCopyWall),
                 rew = Summary(rEntriesWall);
    std::printf("render / copy:            = %.2fx (%.2f-%.2f) processor, %.2fx (%.2f-%.2f) wall\n",
                rc.median, rc.low, rc.high, rcw.median, rcw.low, rcw.high);
    std::printf("5000 / 48 entries:        = %.2fx (%.2f-%.2f) processor, %.2fx (%.2f-%.2f) wall\n",
                re.median, re.low, re.high, rew.median, rew.low, rew.high);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
