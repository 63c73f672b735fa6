#include "wave/TrackRenderer.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
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

// The last few sources used, held open with their layout known: a song may name thousands of files,
// while the stretches of a track mostly alternate between a few.
class CSourceCache {
public:
    // The source opened, or nullptr when it cannot be.
    CWaveSource* Get(const std::string& path);

private:
    static constexpr size_t kHeld = 4;
    std::vector<std::unique_ptr<CWaveSource>> m_held; // most recently used first
};

CWaveSource* CSourceCache::Get(const std::string& path) {
    const auto hit = std::find_if(m_held.begin(), m_held.end(),
                                  [&](const auto& held) { return held->GetFileName() == path; });
    if (hit != m_held.end()) {
        std::rotate(m_held.begin(), hit, hit + 1);
        return m_held.front().get();
    }
    if (m_held.size() == kHeld)
        m_held.pop_back();
    auto source = std::make_unique<CWaveSource>();
    if (!source->Open(path)) {
        // The same file held under another name (a card that ignores case, a link) refuses a second
        // open: let go of the others and try once more.
        if (source->LastError() != EBUSY || m_held.empty())
            return nullptr;
        m_held.clear();
        if (!source->Open(path))
            return nullptr;
    }
    m_held.insert(m_held.begin(), std::move(source));
    return m_held.front().get();
}

RenderResult Failed(RenderStatus status, const std::string& path, uint16_t code) {
    RenderResult result;
    result.status = status;
    result.path = path;
    result.code = code;
    return result;
}

RenderResult OutputFailed(const RenderRequest& request) {
    return Failed(RenderStatus::WriteFailed, request.outputPath, CWaveFile::ERR_WRITE);
}

// The first source that is not mono 16-bit PCM (a 24-bit or stereo source would be copied as noise),
// or "" when there is none.
std::string FindForeignSource(const RenderRequest& request, const std::vector<TrackEntry>& entries,
                              const std::vector<TimelineRun>& runs) {
    std::set<std::string> checked;
    for (const auto& run : runs) {
        if (run.entry < 0)
            continue;
        const std::string& name = entries[run.entry].sourceName;
        if (!IsPlainSourceName(name) || !checked.insert(name).second)
            continue;
        std::string path = platform::JoinPath(request.songFolder, name);
        if (IsForeignFormat(path))
            return path;
    }
    return {};
}

// One stretch taken from its entry's source; false with *result naming the failure.
bool CopyRun(CWaveFile& out, CSourceCache& sources, const RenderRequest& request, const TrackEntry& e,
             const TimelineRun& run, uint32_t destOffset, RenderResult* result) {
    const std::string source = platform::JoinPath(request.songFolder, e.sourceName);
    const uint64_t sourceOffset = 2 * (static_cast<uint64_t>(e.sourceIn) + (run.start - e.destIn));
    // A card file must never make us read elsewhere on the PC: such a name is never opened.
    const bool plain = IsPlainSourceName(e.sourceName);
    CWaveSource* held = nullptr;
    uint16_t code = 0;
    if (plain && sourceOffset > 0xFFFFFFFFull) {
        code = CWaveFile::ERR_SOURCE_SHORT;
    } else if (!plain || (held = sources.Get(source)) == nullptr) {
        code = CWaveFile::ERR_SOURCE_OPEN;
    } else if (!out.CopyFrom(*held, static_cast<uint32_t>(2 * run.length),
                             static_cast<uint32_t>(sourceOffset), destOffset)) {
        code = out.GetLastError();
    } else {
        return true;
    }
    *result = code == CWaveFile::ERR_WRITE ? OutputFailed(request)
                                           : Failed(RenderStatus::SourceFailed, source, code);
    return false;
}

// Writes the runs in order until one fails or the job is cancelled; the result counts the samples.
RenderResult WriteRuns(CWaveFile& out, const RenderRequest& request, const std::vector<TrackEntry>& entries,
                       const std::vector<TimelineRun>& runs) {
    RenderResult result;
    result.status = RenderStatus::Complete;
    CSourceCache sources;
    uint64_t written = 0;
    for (const auto& run : runs) {
        if (platform::IsCancelled(request.cancel))
            break;
        const auto destOffset = static_cast<uint32_t>(2 * written);
        if (run.entry < 0) {
            if (!out.WriteSilence(static_cast<uint32_t>(2 * run.length), destOffset)) {
                result = OutputFailed(request);
                break;
            }
        } else if (!CopyRun(out, sources, request, entries[run.entry], run, destOffset, &result)) {
            break;
        }
        if (platform::IsCancelled(request.cancel))
            break;
        written += run.length;
    }
    result.samples = written;
    return result;
}

} // namespace

RenderResult RenderTrack(const RenderRequest& request) {
    if (!request.adl || !request.order)
        return {};
    const std::vector<TrackEntry> entries = GetTrackEntries(*request.adl, *request.order, request.track);
    const uint32_t end = GetTrackEnd(entries);
    const bool ab = request.mode == RenderMode::AB;
    const uint64_t from = ab ? request.locateA : 0;
    const uint64_t to = ab ? request.locateB : end;
    if (end == 0 || to <= from)
        return {};
    const uint32_t rate = adl::SampleRateOfCode(request.adl->GetSampleRateCode());
    if (rate == 0)
        return Failed(RenderStatus::UnknownRate, {}, 0);
    if (to - from > kMaxSamples)
        return OutputFailed(request);
    const std::vector<TimelineRun> runs = BuildTimeline(entries, from, to);
    if (std::string foreign = FindForeignSource(request, entries, runs); !foreign.empty())
        return Failed(RenderStatus::FormatMismatch, foreign, 0);

    CWaveFile out;
    if (!out.Create(request.outputPath, 1, 16, rate))
        return OutputFailed(request);
    out.SetNotify(request.notify, 0);
    out.SetCancelFlag(request.cancel);
    if (request.progress)
        request.progress->SetRange(0, static_cast<int64_t>(2 * (to - from)));

    RenderResult result = WriteRuns(out, request, entries, runs);
    const uint64_t samples = result.samples;
    const bool closed = out.Close() != 0;
    if (platform::IsCancelled(request.cancel)) {
        platform::DeleteFile(request.outputPath);
        result.status = RenderStatus::Cancelled;
    } else if (!closed && result.status == RenderStatus::Complete) {
        result = OutputFailed(request);
    }
    result.samples = samples;
    return result;
}

} // namespace wave
