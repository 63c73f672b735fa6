#include "wave/TrackRenderer.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <map>
#include <queue>
#include <set>

namespace wave {
namespace {

// Largest sample count whose bytes still fit a WAV file's 32-bit sizes behind the header.
constexpr uint64_t kMaxSamples = (0xFFFFFFFFull - kAudioOffset) / 2;

} // namespace

std::vector<int> BuildEntryOrder(const adl::CAdlFile& adl) {
    std::map<uint16_t, int> byNumber;
    for (int i = 0; i < adl.GetEventCount(); ++i) {
        const uint16_t number = adl.GetEventEntryNumber(i);
        if (number > 0)
            byNumber[number] = i; // the last listed wins
    }
    std::vector<int> order;
    order.reserve(byNumber.size());
    for (const auto& [number, index] : byNumber)
        order.push_back(index);
    return order;
}

std::vector<TrackEntry> GetTrackEntries(const adl::CAdlFile& adl, const std::vector<int>& order, int track) {
    std::vector<TrackEntry> entries;
    if (track < 1 || track > 16)
        return entries;
    for (int index : order) {
        if (adl.GetEventDestChannel(index) != track)
            continue;
        TrackEntry e;
        e.index = index;
        e.sourceIn = adl.GetEventSourceIn(index).GetSamples();
        e.destIn = adl.GetEventDestIn(index).GetSamples();
        e.destOut = adl.GetEventDestOut(index).GetSamples();
        e.silence = adl.GetEventEditType(index) == adl::EditType::Silence;
        e.sourceName = adl.GetEventSourceName(index);
        if (e.destOut > e.destIn)
            entries.push_back(std::move(e));
    }
    return entries;
}

uint32_t GetTrackEnd(const std::vector<TrackEntry>& entries) {
    uint32_t end = 0;
    for (const auto& e : entries) {
        if (e.silence) {
            if (e.destIn <= end && end <= e.destOut)
                end = e.destIn;
        } else if (e.destOut >= end) {
            end = e.destOut;
        }
    }
    return end;
}

std::vector<TimelineRun> BuildTimeline(const std::vector<TrackEntry>& entries, uint64_t from, uint64_t to) {
    std::vector<TimelineRun> runs;
    if (to <= from)
        return runs;
    std::vector<uint64_t> cuts{from, to};
    for (const auto& e : entries) {
        if (e.destIn > from && e.destIn < to)
            cuts.push_back(e.destIn);
        if (e.destOut > from && e.destOut < to)
            cuts.push_back(e.destOut);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

    std::vector<int> byStart(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        byStart[i] = static_cast<int>(i);
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](int a, int b) { return entries[a].destIn < entries[b].destIn; });

    // Entries that have started, topmost (latest in entry order) first; ended ones drop out lazily.
    std::priority_queue<int> active;
    size_t next = 0;
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        const uint64_t p = cuts[k];
        while (next < byStart.size() && entries[byStart[next]].destIn <= p)
            active.push(byStart[next++]);
        while (!active.empty() && entries[active.top()].destOut <= p)
            active.pop();
        int top = active.empty() ? -1 : active.top();
        if (top >= 0 && entries[top].silence)
            top = -1;
        const uint64_t length = cuts[k + 1] - p;
        if (!runs.empty() && runs.back().entry == top)
            runs.back().length += length;
        else
            runs.push_back({p, length, top});
    }
    return runs;
}

bool IsPlainSourceName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

namespace {

// True when the source opens and its format says it is anything but mono 16-bit PCM. Sources that
// cannot be read are left to the copy, which reports them.
bool IsForeignFormat(const std::string& path) {
    CWaveFile source;
    if (!source.Open(path, 1))
        return false;
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    if (!source.GetFormatTag(&tag) || !source.GetFormat(&channels, &bits, &rate))
        return false;
    return tag != 1 || channels != 1 || bits != 16;
}

} // namespace

RenderResult RenderTrack(const RenderRequest& request) {
    RenderResult result;
    if (!request.adl || !request.order)
        return result;
    const std::vector<TrackEntry> entries = GetTrackEntries(*request.adl, *request.order, request.track);
    const uint32_t end = GetTrackEnd(entries);
    if (end == 0)
        return result;
    const uint64_t from = request.mode == RenderMode::AB ? request.locateA : 0;
    const uint64_t to = request.mode == RenderMode::AB ? request.locateB : end;
    if (to <= from)
        return result;
    const uint32_t rate = adl::SampleRateOfCode(request.adl->GetSampleRateCode());
    if (rate == 0) {
        result.status = RenderStatus::UnknownRate;
        return result;
    }
    if (to - from > kMaxSamples) {
        result.status = RenderStatus::WriteFailed;
        result.path = request.outputPath;
        result.code = CWaveFile::ERR_WRITE;
        return result;
    }
    const std::vector<TimelineRun> runs = BuildTimeline(entries, from, to);

    // A 24-bit or stereo source would be copied as noise.
    std::set<std::string> checked;
    for (const auto& run : runs) {
        if (run.entry < 0)
            continue;
        const std::string& name = entries[run.entry].sourceName;
        if (!IsPlainSourceName(name) || !checked.insert(name).second)
            continue;
        const std::string path = platform::JoinPath(request.songFolder, name);
        if (IsForeignFormat(path)) {
            result.status = RenderStatus::FormatMismatch;
            result.path = path;
            return result;
        }
    }

    CWaveFile out;
    if (!out.Create(request.outputPath, 1, 16, rate)) {
        result.status = RenderStatus::WriteFailed;
        result.path = request.outputPath;
        result.code = CWaveFile::ERR_WRITE;
        return result;
    }
    out.SetNotify(request.notify, 0);
    out.SetCancelFlag(request.cancel);
    if (request.progress)
        request.progress->SetRange(0, static_cast<int64_t>(2 * (to - from)));

    result.status = RenderStatus::Complete;
    uint64_t written = 0;
    for (const auto& run : runs) {
        if (platform::IsCancelled(request.cancel))
            break;
        const auto bytes = static_cast<uint32_t>(2 * run.length);
        const auto destOffset = static_cast<uint32_t>(2 * written);
        int ok = 0;
        if (run.entry < 0) {
            ok = out.WriteSilence(bytes, destOffset);
        } else {
            const TrackEntry& e = entries[run.entry];
            const std::string source = platform::JoinPath(request.songFolder, e.sourceName);
            const uint64_t sourceOffset = 2 * (static_cast<uint64_t>(e.sourceIn) + (run.start - e.destIn));
            if (!IsPlainSourceName(e.sourceName)) {
                // A card file must never make us read elsewhere on the PC.
                result.code = CWaveFile::ERR_SOURCE_OPEN;
            } else if (sourceOffset > 0xFFFFFFFFull) {
                result.code = CWaveFile::ERR_SOURCE_SHORT;
            } else {
                ok = out.CopyFrom(source, bytes, static_cast<uint32_t>(sourceOffset), destOffset);
                if (!ok)
                    result.code = out.GetLastError();
            }
            if (!ok && result.code != CWaveFile::ERR_WRITE) {
                result.status = RenderStatus::SourceFailed;
                result.path = source;
                break;
            }
        }
        if (!ok) {
            result.status = RenderStatus::WriteFailed;
            result.path = request.outputPath;
            result.code = CWaveFile::ERR_WRITE;
            break;
        }
        if (platform::IsCancelled(request.cancel))
            break;
        written += run.length;
    }
    result.samples = written;
    const bool closed = out.Close() != 0;
    if (platform::IsCancelled(request.cancel)) {
        platform::DeleteFile(request.outputPath);
        result.status = RenderStatus::Cancelled;
    } else if (!closed && result.status == RenderStatus::Complete) {
        result.status = RenderStatus::WriteFailed;
        result.path = request.outputPath;
        result.code = CWaveFile::ERR_WRITE;
    }
    return result;
}

} // namespace wave
