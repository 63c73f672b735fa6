// Opening a song with 5000 event entries: CAdlFile::Open (buffered reads) beside a reader that
// issues one read(2) per byte and one lseek(2) per lone CR, with the same line splitting and parsing.

#include "adl/AdlFile.h"
#include "adl/LineFields.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_songPath;

std::string WriteSong() {
    if (!g_songPath.empty()) {
        return g_songPath;
    }
    char folder[] = "/tmp/pelmora-adl-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::abort();
    }
    g_songPath = std::string(folder) + "/song.adl";
    std::string text =
        "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t\t(PROJ_TITLE)\t\"Bench\"\r\n"
        "\t</PROJECT>\r\n\t<SEQUENCE>\r\n\t\t(SEQ_SAMPLE_RATE)\tS44100\r\n\t\t(SEQ_FRAME_RATE)\t25\r\n"
        "\t\t(SEQ_DEST_START)\t00.00.00.00|0000\r\n\t</SEQUENCE>\r\n\t<TRACKLIST>\r\n";
    for (int i = 1; i <= 16; ++i) {
        text += "\t\t(Track)\t" + std::to_string(i) + "\t\" \"\r\n";
    }
    text +=
        "\t</TRACKLIST>\r\n\t<MEMLIST>\r\n\t\t(Memory)\t01\t\"IN\"\t00.00.00.00|0000\r\n"
        "\t\t(Memory)\t02\t\"OUT\"\t00.10.00.00|0000\r\n\t</MEMLIST>\r\n\t<TEMPO_MAP>\r\n\t\t(Offset)\t2\r\n"
        "\t\t(Signature)\t0001Bar\t4/4Beat\r\n\t\t(Tempo)\t0001Bar\t1Beat\t120.0BPS\r\n\t</TEMPO_MAP>\r\n"
        "\t<EVENT_LIST>\r\n";
    char line[400];
    for (int i = 1; i <= 5000; ++i) {
        std::snprintf(
            line, sizeof line,
            "\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t00.00.00.00|0000\t00.%02d.%02d.00|0000\t"
            "00.%02d.%02d.10|0000\t_\r\n",
            i, i, 1 + i % 16, i / 60 % 60, i % 60, (i + 1) / 60 % 60, (i + 1) % 60);
        text += line;
    }
    text += "\t</EVENT_LIST>\r\n</ADL>\r\n";
    FILE* f = std::fopen(g_songPath.c_str(), "wb");
    if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
        std::abort();
    }
    std::fclose(f);
    std::atexit([] {
        ::unlink(g_songPath.c_str());
        ::rmdir(g_songPath.substr(0, g_songPath.rfind('/')).c_str());
    });
    return g_songPath;
}

// One system call per byte, as an unbuffered byte-wise reader does.
bool ReadLineByteWise(int fd, char* buffer) {
    std::memset(buffer, 0, adl::CAdlFile::kLineBufferSize);
    size_t length = 0;
    for (;;) {
        char c = 0;
        if (::read(fd, &c, 1) != 1) {
            return false;
        }
        if (c == '\n') {
            return true;
        }
        if (c == '\r') {
            char next = 0;
            if (::read(fd, &next, 1) == 1 && next != '\n') {
                ::lseek(fd, -1, SEEK_CUR);
            }
            return true;
        }
        buffer[length++] = c;
        if (length == adl::CAdlFile::kLineBufferSize - 1) {
            return false;
        }
    }
}

// The same per-line work as the real reader: split every line, fill track, locate and entry records.
int OpenByteWise(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return -1;
    }
    std::vector<adl::AdlTrack> tracks(1);
    std::vector<adl::AdlLocate> locates(1);
    std::vector<adl::AdlEvent> events(1);
    char line[adl::CAdlFile::kLineBufferSize];
    int count = 0;
    while (ReadLineByteWise(fd, line)) {
        if (std::strstr(line, "</ADL>") != nullptr) {
            break;
        }
        adl::CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            continue;
        }
        if (std::strcmp(keyword, "(Track)") == 0) {
            adl::AdlTrack& t = tracks.emplace_back();
            t.m_number = static_cast<uint16_t>(std::atoi(fields.Next()));
            std::snprintf(t.m_name, sizeof t.m_name, "%s", fields.Next());
        } else if (std::strcmp(keyword, "(Memory)") == 0) {
            adl::AdlLocate& l = locates.emplace_back();
            l.m_number = static_cast<uint16_t>(std::atoi(fields.Next()));
            std::snprintf(l.m_name, sizeof l.m_name, "%s", fields.Next());
            l.m_time.Parse(fields.Next());
        } else if (std::strcmp(keyword, "(Entry)") == 0) {
            adl::AdlEvent& e = events.emplace_back();
            const char* f[10];
            for (auto& field : f) {
                field = fields.Next();
            }
            e.m_entryNumber = static_cast<uint16_t>(std::atoi(f[0]));
            e.m_editType = adl::EditTypeOfText(f[1]);
            e.m_sourceKind = adl::SourceKindOfText(f[2]);
            std::snprintf(e.m_sourceName, sizeof e.m_sourceName, "%.*s",
                          static_cast<int>(std::strlen(f[3]) - 2), f[3] + 1);
            e.m_sourceChannel = static_cast<uint8_t>(std::atoi(f[4]));
            e.m_destChannel = static_cast<uint8_t>(std::atoi(f[5]));
            e.m_sourceIn.Parse(f[6]);
            e.m_destIn.Parse(f[7]);
            e.m_destOut.Parse(f[8]);
            e.m_flag = adl::EventFlagOfText(f[9]);
            ++count;
        }
    }
    ::close(fd);
    return count;
}

void BM_AdlOpen_Buffered(benchmark::State& state) {
    const std::string path = WriteSong();
    for (auto _ : state) {
        adl::CAdlFile adl;
        if (!adl.Open(path, true) || adl.GetEventCount() != 5000) {
            state.SkipWithError("open failed");
            break;
        }
        benchmark::DoNotOptimize(adl.GetEventCount());
    }
}

void BM_AdlOpen_ReadPerByte(benchmark::State& state) {
    const std::string path = WriteSong();
    for (auto _ : state) {
        const int count = OpenByteWise(path);
        if (count != 5000) {
            state.SkipWithError("reference reader failed");
            break;
        }
        benchmark::DoNotOptimize(count);
    }
}

BENCHMARK(BM_AdlOpen_Buffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdlOpen_ReadPerByte)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
