#pragma once
// What the CD writer page reads from a WAV file before it lists or adds it: whether it is CD audio,
// the sizes counted against the disc, and the playing time shown for the track.

#include <cstdint>
#include <string>

namespace cdwriter {

constexpr uint32_t kCdBytesPerSecond = 176400; // 44.1 kHz, 16-bit, stereo

struct WaveTrackSizes {
    uint64_t fileSize = 0; // RIFF size + 8, the length the header claims
    uint32_t dataSize = 0; // size of the "data" chunk
};

// Opens the file read-only; false when it cannot be opened as a WAV file.
bool ReadWaveTrackSizes(const std::string& path, WaveTrackSizes* sizes);
// Exactly 2 channels, 16 bits and 44100 Hz; false when the format cannot be read.
bool IsCdAudioFile(const std::string& path);
// "%dm%ds", or "%dh%dm%ds" from one hour on, of dataSize / 176400 whole seconds.
std::string TrackTimeText(uint32_t dataSize);

} // namespace cdwriter
