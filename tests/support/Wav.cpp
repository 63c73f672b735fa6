#include "Wav.h"

#include "TestSupport.h"
#include "wave/WaveFile.h"

#include <sndfile.h>

namespace testsupport {
namespace {

void Le16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Le32(std::vector<uint8_t>& out, uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

void PutChunk(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& body, bool pad) {
    out.insert(out.end(), id.begin(), id.end());
    Le32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && body.size() % 2)
        out.push_back(0);
}

uint32_t FrameSize(const WavFormat& f) {
    return f.channels * (f.bits / 8u);
}

std::vector<uint8_t> FmtBody(const WavFormat& f) {
    std::vector<uint8_t> fmt;
    Le16(fmt, f.extensible ? 0xFFFE : 1);
    Le16(fmt, f.channels);
    Le32(fmt, f.rate);
    Le32(fmt, f.rate * FrameSize(f));
    Le16(fmt, FrameSize(f));
    Le16(fmt, f.bits);
    if (f.extensible) {
        Le16(fmt, 22);     // extra size
        Le16(fmt, f.bits); // valid bits
        Le32(fmt, 4);      // channel mask: front centre
        static const uint8_t kPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), kPcm, kPcm + 16);
    }
    return fmt;
}

} // namespace

int16_t Mark(int id, uint32_t k) {
    return static_cast<int16_t>((id << 12) | (k & 0xFFF));
}

std::vector<int16_t> Marks(int id, uint32_t count) {
    std::vector<int16_t> s(count);
    for (uint32_t k = 0; k < count; ++k)
        s[k] = Mark(id, k);
    return s;
}

std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm, const WavShape& shape) {
    std::vector<uint8_t> body(shape.wave.begin(), shape.wave.end());
    for (const auto& [id, bytes] : shape.beforeFmt)
        PutChunk(body, id, bytes, shape.padOddChunks);
    std::vector<uint8_t> fmt = FmtBody(shape.format);
    if (shape.fmtSize >= 0)
        fmt.resize(static_cast<size_t>(shape.fmtSize));
    PutChunk(body, "fmt ", fmt, true);
    for (const auto& [id, bytes] : shape.before)
        PutChunk(body, id, bytes, shape.padOddChunks);
    if (shape.withData)
        PutChunk(body, shape.dataId, pcm, true);
    std::vector<uint8_t> out(shape.riff.begin(), shape.riff.end());
    Le32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> MarkedPcm(int id, uint32_t frames, const WavFormat& format) {
    const uint32_t frame = FrameSize(format);
    std::vector<uint8_t> data;
    data.reserve(static_cast<size_t>(frames) * (frame + 1));
    for (uint32_t k = 0; k < frames; ++k) {
        for (uint32_t b = 0; b < frame; b += 2)
            Le16(data, static_cast<uint16_t>(Mark(id, k)));
    }
    data.resize(static_cast<size_t>(frames) * frame);
    return data;
}

std::vector<uint8_t> Pcm(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> pcm(bytes);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : pcm) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return pcm;
}

std::vector<uint8_t> PcWav(int id, uint32_t frames, const WavFormat& format) {
    WavShape shape;
    shape.format = format;
    return MakeWav(MarkedPcm(id, frames, format), shape);
}

bool WritePcWav(const std::string& path, int id, uint32_t frames, const WavFormat& format) {
    return WriteBytes(path, PcWav(id, frames, format));
}

void PatchLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool WriteCardWav(const std::string& path, int id, uint32_t samples, const WavFormat& format) {
    const std::vector<int16_t> data = Marks(id, samples);
    wave::CWaveFile w;
    return w.Create(path, format.channels, format.bits, format.rate) &&
           w.WriteData(data.data(), samples * 2, 0) && w.Close();
}

std::vector<int16_t> CardAudio(const std::string& path) {
    const auto bytes = ReadBytes(path);
    std::vector<int16_t> s;
    if (bytes.size() < wave::kAudioOffset)
        return s;
    const size_t size = bytes[32764] | bytes[32765] << 8 | bytes[32766] << 16 | size_t(bytes[32767]) << 24;
    if (bytes.size() < wave::kAudioOffset + size)
        return {};
    for (size_t i = wave::kAudioOffset; i + 1 < wave::kAudioOffset + size; i += 2)
        s.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    return s;
}

bool WriteSoundFile(const std::string& path, const std::vector<double>& samples, int channels, int rate,
                    int sfFormat) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = sfFormat;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    // Full-scale values are written as the largest sample, never wrapped.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool written = sf_writef_double(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

std::vector<double> ReadSoundFile(const std::string& path, int* channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<double> samples(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_double(file, samples.data(), info.frames);
    sf_close(file);
    samples.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    if (channels)
        *channels = info.channels;
    return samples;
}

} // namespace testsupport
