#pragma once
// Builds WAV file bytes in the tests: chosen header ids, extra chunks before "data", chosen PCM.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cdtest {

inline void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutChunk(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& body,
                     bool pad = true) {
    out.insert(out.end(), id.begin(), id.end());
    PutLe32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && body.size() % 2)
        out.push_back(0);
}

// Deterministic 16-bit stereo samples that differ from block to block.
inline std::vector<uint8_t> Pcm(size_t bytes, uint32_t seed = 1) {
    std::vector<uint8_t> pcm(bytes);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : pcm) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return pcm;
}

inline std::vector<uint8_t> FmtBody() {
    std::vector<uint8_t> fmt;
    auto put16 = [&](uint16_t v) {
        fmt.push_back(static_cast<uint8_t>(v));
        fmt.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(1);
    put16(2);
    PutLe32(fmt, 44100);
    PutLe32(fmt, 176400);
    put16(4);
    put16(16);
    return fmt;
}

struct WavShape {
    std::string riff = "RIFF";
    std::string wave = "WAVE";
    std::string dataId = "data";
    std::vector<std::pair<std::string, std::vector<uint8_t>>> before; // chunks between "fmt " and "data"
    bool padOddChunks = true;
    bool withData = true;
};

inline std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm, const WavShape& shape = {}) {
    std::vector<uint8_t> body;
    body.insert(body.end(), shape.wave.begin(), shape.wave.end());
    PutChunk(body, "fmt ", FmtBody());
    for (const auto& [id, bytes] : shape.before)
        PutChunk(body, id, bytes, shape.padOddChunks);
    if (shape.withData)
        PutChunk(body, shape.dataId, pcm);
    std::vector<uint8_t> out(shape.riff.begin(), shape.riff.end());
    PutLe32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace cdtest
