#pragma once
// The tests' one WAV builder: files as PC programs write them (RIFF, "fmt ", optional chunks, "data"),
// with chosen ids and damage, marked samples that tell which file and position they came from, and
// the audio of a file written in this program's own layout (audio from offset 32768).

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Sample k of file id: id in the top four bits, k in the low twelve (files stay below 4096 samples
// where a test compares positions).
int16_t Mark(int id, uint32_t k);
std::vector<int16_t> Marks(int id, uint32_t count);

struct WavFormat {
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t rate = 44100;
    bool extensible = false; // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format, as some programs write
};
// The only format a CD track may have.
constexpr WavFormat kCdAudio{2, 16, 44100, false};

// How the file's chunks are laid out; the default is the plain 44-byte header of CD audio.
struct WavShape {
    WavFormat format = kCdAudio;
    std::string riff = "RIFF";
    std::string wave = "WAVE";
    std::string dataId = "data";
    int fmtSize = -1; // the "fmt " body cut to, or zero-filled up to, this size (18 adds extra size 0)
    std::vector<std::pair<std::string, std::vector<uint8_t>>> beforeFmt; // chunks ahead of "fmt "
    std::vector<std::pair<std::string, std::vector<uint8_t>>> before;    // chunks between "fmt " and "data"
    bool padOddChunks = true;
    bool withData = true;
};

std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm, const WavShape& shape = {});

// `frames` frames in which every 16-bit word of frame k is Mark(id, k), cut to the frame size of
// the format (so a 24-bit file holds marks at other offsets, which is all the tests need of it).
std::vector<uint8_t> MarkedPcm(int id, uint32_t frames, const WavFormat& format);
// Deterministic noise that differs from block to block.
std::vector<uint8_t> Pcm(size_t bytes, uint32_t seed = 1);

// A PC-side file of `frames` marked frames with the plain header (44 bytes, or 68 when extensible).
std::vector<uint8_t> PcWav(int id, uint32_t frames, const WavFormat& format = {});
bool WritePcWav(const std::string& path, int id, uint32_t frames, const WavFormat& format = {});

// Overwrites the little-endian 32-bit value at `at`: a header field damaged or a size made to lie.
void PatchLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v);

// A file in this program's own layout, written by its WAV class, holding `samples` marked samples.
bool WriteCardWav(const std::string& path, int id, uint32_t samples,
                  const WavFormat& format = {1, 16, 48000});

// The audio of a file in this program's own layout (data size at 32764, audio from 32768); empty when
// the file is shorter than its header says.
std::vector<int16_t> CardAudio(const std::string& path);

// A file written by libsndfile itself, as other programs write them: `samples` (channels interleaved,
// full scale +-1.0) in the container and encoding `sfFormat` (SF_FORMAT_WAV | SF_FORMAT_PCM_24, ...).
bool WriteSoundFile(const std::string& path, const std::vector<double>& samples, int channels, int rate,
                    int sfFormat);
// What libsndfile reads from a file (channels interleaved, full scale +-1.0); empty when it reads none.
std::vector<double> ReadSoundFile(const std::string& path, int* channels = nullptr);

} // namespace testsupport
