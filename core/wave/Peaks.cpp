#include "wave/Peaks.h"

#include "platform/File.h"
#include "wave/Riff.h"

#include <algorithm>
#include <limits>

namespace wave {

bool Peaks::Range(uint64_t from, uint64_t to, int16_t* low, int16_t* high) const {
    *low = 0;
    *high = 0;
    const uint64_t first = from / kPeakBlock;
    const uint64_t last = std::min<uint64_t>((to + kPeakBlock - 1) / kPeakBlock, Blocks());
    if (to <= from || first >= last)
        return false;
    int16_t lo = std::numeric_limits<int16_t>::max(), hi = std::numeric_limits<int16_t>::min();
    for (uint64_t b = first; b < last; ++b) {
        lo = std::min(lo, minMax[2 * b]);
        hi = std::max(hi, minMax[2 * b + 1]);
    }
    *low = lo;
    *high = hi;
    return true;
}

namespace {

// Opens the file and stands it at its audio; the audio's size in bytes, or false.
bool OpenAudio(const std::string& path, platform::File& file, uint64_t* bytes) {
    if (!file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting))
        return false;
    ChunkInfo riff, data;
    riff.formType = kWaveId;
    data.id = kDataId;
    if (!Descend(file, &riff, nullptr, FindKind::Riff) || !Descend(file, &data, &riff, FindKind::Chunk))
        return false;
    // A data size that claims more than the file holds (an interrupted recording) counts what is there.
    const int64_t size = file.Size();
    const uint64_t there = size > data.dataOffset ? static_cast<uint64_t>(size - data.dataOffset) : 0;
    *bytes = std::min<uint64_t>(data.size, there) & ~uint64_t{1};
    return file.Seek(data.dataOffset, platform::Whence::Begin) == data.dataOffset;
}

// The smallest and largest of `count` samples, in a loop the compiler turns into vector code.
void MinMax(const int16_t* samples, size_t count, int16_t* lo, int16_t* hi) {
    int16_t low = *lo, high = *hi;
    for (size_t k = 0; k < count; ++k) {
        low = samples[k] < low ? samples[k] : low;
        high = samples[k] > high ? samples[k] : high;
    }
    *lo = low;
    *hi = high;
}

// The same for one whole block: a loop of a fixed length, which the compiler unrolls into vector code
// with no remainder to handle, so a block costs little more than its loads.
void MinMaxBlock(const int16_t* samples, int16_t* pair) {
    int16_t low = std::numeric_limits<int16_t>::max(), high = std::numeric_limits<int16_t>::min();
    for (size_t k = 0; k < kPeakBlock; ++k) {
        low = samples[k] < low ? samples[k] : low;
        high = samples[k] > high ? samples[k] : high;
    }
    pair[0] = low;
    pair[1] = high;
}

// Folds whole samples into the blocks; `filled` counts the samples already in the last block.
void Fold(const int16_t* samples, size_t count, Peaks* peaks, uint32_t* filled) {
    for (size_t i = 0; i < count;) {
        if (*filled == 0 && count - i >= kPeakBlock) {
            // Whole blocks straight into their place.
            const size_t blocks = (count - i) / kPeakBlock, at = peaks->minMax.size();
            peaks->minMax.resize(at + 2 * blocks);
            for (size_t b = 0; b < blocks; ++b)
                MinMaxBlock(samples + i + b * kPeakBlock, &peaks->minMax[at + 2 * b]);
            i += blocks * kPeakBlock;
            continue;
        }
        if (*filled == 0) {
            peaks->minMax.push_back(std::numeric_limits<int16_t>::max());
            peaks->minMax.push_back(std::numeric_limits<int16_t>::min());
        }
        const size_t n = std::min<size_t>(count - i, kPeakBlock - *filled);
        int16_t* pair = &peaks->minMax[peaks->minMax.size() - 2];
        MinMax(samples + i, n, &pair[0], &pair[1]);
        i += n;
        *filled = static_cast<uint32_t>((*filled + n) % kPeakBlock);
    }
}

} // namespace

PeaksStatus ComputePeaks(const std::string& path, Peaks* peaks, platform::IProgressBar* progress,
                         int64_t progressBase, const platform::CancelFlag* cancel) {
    *peaks = {};
    platform::File file;
    uint64_t bytes = 0;
    if (!OpenAudio(path, file, &bytes))
        return PeaksStatus::Unreadable;
    peaks->minMax.reserve(2 * (bytes / 2 / kPeakBlock + 1));
    constexpr size_t kBuffer = 128 << 10; // read and folded while it is still in the processor's cache
    std::vector<int16_t> buffer(kBuffer / 2);
    uint64_t done = 0;
    uint32_t filled = 0;
    while (done < bytes) {
        if (platform::IsCancelled(cancel))
            return PeaksStatus::Cancelled;
        const auto want = static_cast<size_t>(std::min<uint64_t>(kBuffer, bytes - done));
        const int64_t got = file.Read(buffer.data(), want);
        if (got <= 0 || static_cast<size_t>(got) % 2 != 0)
            return PeaksStatus::Unreadable;
        Fold(buffer.data(), static_cast<size_t>(got) / 2, peaks, &filled);
        done += static_cast<uint64_t>(got);
        if (progress)
            progress->SetPos(progressBase + static_cast<int64_t>(done));
    }
    peaks->samples = bytes / 2;
    return PeaksStatus::Complete;
}

uint64_t AudioBytes(const std::string& path) {
    platform::File file;
    uint64_t bytes = 0;
    return OpenAudio(path, file, &bytes) ? bytes : 0;
}

} // namespace wave
