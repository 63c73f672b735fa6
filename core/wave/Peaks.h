#pragma once
// The outline of an audio file for drawing: the smallest and largest sample of every block of
// kPeakBlock samples, read once from the file's "data" chunk (mono 16-bit, as card files are).

#include "platform/Progress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wave {

constexpr uint32_t kPeakBlock = 256;

struct Peaks {
    uint64_t samples = 0;        // samples in the file's audio
    std::vector<int16_t> minMax; // per block: its smallest, then its largest sample

    uint64_t Blocks() const { return minMax.size() / 2; }
    // The smallest and largest sample of the blocks touching samples [from, to); false (0, 0) when none.
    bool Range(uint64_t from, uint64_t to, int16_t* low, int16_t* high) const;
};

enum class PeaksStatus { Complete, Cancelled, Unreadable };

// Reads the audio of `path` into *peaks. `progress` (when set) advances by the bytes read, from
// `progressBase`; the cancel flag is polled between reads.
PeaksStatus ComputePeaks(const std::string& path, Peaks* peaks, platform::IProgressBar* progress = nullptr,
                         int64_t progressBase = 0, const platform::CancelFlag* cancel = nullptr);

// The bytes of audio ComputePeaks reads from the file; 0 when it has no readable "data" chunk.
uint64_t AudioBytes(const std::string& path);

} // namespace wave
