#pragma once
// Inputs for the bad-input tests: WAV bytes as PC programs write them (44-byte header) that a test
// then damages, and the job parameters the tests use again and again.

#include "card/ExportJob.h"
#include "card/ImportJob.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace badinput {

inline void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Sample k of file id: id in the top four bits, k in the low twelve.
inline int16_t Mark(int id, uint32_t k) {
    return static_cast<int16_t>((id << 12) | (k & 0xFFF));
}

// A 16-bit PCM file of `frames` frames, every sample marked; "fmt " at 12, "data" header at 36.
inline std::vector<uint8_t> PcWav(uint16_t channels, uint32_t rate, uint32_t frames, int id) {
    const uint32_t dataSize = frames * channels * 2;
    std::vector<uint8_t> b(44 + dataSize);
    const char* ids[] = {"RIFF", "WAVE", "fmt ", "data"};
    const size_t at[] = {0, 8, 12, 36};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 4; ++c)
            b[at[i] + c] = static_cast<uint8_t>(ids[i][c]);
    PutLe32(b, 4, 36 + dataSize);
    PutLe32(b, 16, 16);
    PutLe32(b, 20, 1u | (uint32_t{channels} << 16));
    PutLe32(b, 24, rate);
    PutLe32(b, 28, rate * channels * 2);
    PutLe32(b, 32, (channels * 2u) | (16u << 16));
    PutLe32(b, 40, dataSize);
    for (uint32_t k = 0; k < frames; ++k)
        for (uint32_t c = 0; c < channels; ++c) {
            const auto s = static_cast<uint16_t>(Mark(id, k));
            b[44 + 2 * (k * channels + c)] = static_cast<uint8_t>(s);
            b[45 + 2 * (k * channels + c)] = static_cast<uint8_t>(s >> 8);
        }
    return b;
}

inline card::ImportParams ImportAll(const std::string& card, const std::string& song, const std::string& pc,
                                    std::initializer_list<int> tracks = {1}) {
    card::ImportParams p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    for (int t : tracks)
        p.tracks[static_cast<size_t>(t - 1)] = true;
    return p;
}

inline card::ExportParams ExportParams(const std::string& card, const std::string& song,
                                       const std::string& pc, std::initializer_list<int> tracks = {1}) {
    card::ExportParams p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    for (int t : tracks)
        p.tracks[static_cast<size_t>(t - 1)] = true;
    return p;
}

} // namespace badinput
