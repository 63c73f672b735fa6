#pragma once
// What the CD writer page reads from a WAV file before it lists or adds it: whether it is CD audio,
// the sizes counted against the disc, and the playing time shown for the track. Also the sectors a
// track takes on a disc, which the track list counts and staging writes alike.

#include <cstdint>
#include <string>
#include <vector>

namespace cdwriter {

constexpr uint32_t kCdBytesPerSecond = 176400; // 44.1 kHz, 16-bit, stereo
constexpr uint32_t kSectorBytes = 2352;        // one audio sector, 1/75 s
// A CD track lasts at least 4 seconds; a shorter one is padded with silence up to this.
constexpr uint32_t kMinTrackSectors = 4 * 75;
// Two seconds of silence go before every track but the first.
constexpr uint32_t kGapSectors = 2 * 75;

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

// Sectors of audio in `dataSize` bytes, the last one rounded up.
uint32_t AudioSectors(uint32_t dataSize);
// Sectors the track takes on a disc: its audio, padded with silence to kMinTrackSectors.
uint32_t TrackSectors(uint32_t dataSize);
bool IsShorterThanCdMinimum(uint32_t dataSize);

// The CD audio files of a folder ("*.wav" with 2 channels, 16 bits, 44100 Hz) by name, in the order
// the wave list shows them. Empty when the folder is empty or cannot be read.
std::vector<std::string> ListCdWaveFiles(const std::string& folder);

} // namespace cdwriter
