#pragma once
// Audio files as PC programs write them (WAV of any depth, 32-bit float, WAVE_FORMAT_EXTENSIBLE, RF64,
// FLAC, AIFF), read through libsndfile: their format, and their frames block by block. The files are
// only ever opened for reading.

#include <cstdint>
#include <string>

struct sf_private_tag;

namespace wave {

struct PcAudioFormat {
    uint16_t channels = 0;
    uint16_t bits = 0;    // per sample (8, 16, 24, 32, 64); 0 for encodings without a fixed depth
    bool isFloat = false; // samples stored as floating point
    uint32_t rate = 0;
    uint64_t frames = 0;
};

// The format of any audio file libsndfile reads; false when it reads none there.
bool ReadPcAudioFormat(const std::string& path, PcAudioFormat* format);

class CPcAudioReader {
public:
    CPcAudioReader() = default;
    ~CPcAudioReader();
    CPcAudioReader(const CPcAudioReader&) = delete;
    CPcAudioReader& operator=(const CPcAudioReader&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }
    const PcAudioFormat& Format() const { return m_format; }
    // Up to `frames` frames into `out` (channels interleaved, full scale +-1.0): the frames read, 0 at
    // the end of the file, -1 when reading failed.
    int64_t Read(float* out, int64_t frames);

private:
    sf_private_tag* m_file = nullptr;
    PcAudioFormat m_format;
};

} // namespace wave
