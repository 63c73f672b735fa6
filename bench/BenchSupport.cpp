#include "BenchSupport.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace bench {
namespace {

std::vector<std::string>& ScratchFolders() {
    static std::vector<std::string> folders;
    return folders;
}

void RemoveScratchFolders() {
    for (const std::string& folder : ScratchFolders())
        platform::RemoveTree(folder);
}

} // namespace

std::string ScratchFolder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    if (ScratchFolders().empty())
        std::atexit(RemoveScratchFolders);
    ScratchFolders().push_back(pattern);
    return pattern;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double SecondsSince(std::chrono::steady_clock::time_point since) {
    return Seconds(std::chrono::steady_clock::now() - since);
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool WritePcTrackFiles(const std::string& folder, int count, uint32_t rate, uint32_t samples) {
    const uint32_t bytes = samples * 2;
    std::vector<uint8_t> data(bytes);
    for (int n = 1; n <= count; ++n) {
        uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(n);
        for (auto& b : data) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(x >> 24);
        }
        uint8_t h[44] = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                         ' ', 16,  0,   0,   0,  1, 0,   1,   0,   0,   0,   0,   0,   0,   0,
                         0,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
        auto put = [&h](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                h[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        put(4, 36 + bytes);
        put(24, rate);
        put(28, rate * 2);
        put(40, bytes);
        FILE* f = std::fopen(platform::Format("%s/tr%02d.wav", folder.c_str(), n).c_str(), "wb");
        if (!f)
            return false;
        const bool written = std::fwrite(h, 1, 44, f) == 44 && std::fwrite(data.data(), 1, bytes, f) == bytes;
        if (std::fclose(f) != 0 || !written)
            return false;
    }
    return true;
}

std::vector<int16_t> DataSamples(const std::string& path) {
    wave::CWaveFile w;
    std::vector<int16_t> samples;
    if (!w.Open(path, 1))
        return samples;
    const uint32_t bytes = w.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
    w.Close();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return samples;
    std::fseek(f, -static_cast<long>(bytes), SEEK_END);
    samples.resize(bytes / 2);
    samples.resize(std::fread(samples.data(), 2, samples.size(), f));
    std::fclose(f);
    return samples;
}

} // namespace bench
