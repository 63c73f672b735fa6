#include "wave/TrackRenderer.h"

#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>

namespace wave {
namespace {

// Largest sample count whose bytes still fit a WAV file's 32-bit sizes behind the header.
constexpr uint64_t kMaxSamples = (0xFFFFFFFFull - kAudioOffset) / 2;

} // namespace

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
std::string FindForeignSource(const RenderRequest& request, const std::vector<Stretch>& stretches) {
    std::set<std::string> checked;
    for (const auto& s : stretches) {
        if (s.kind != StretchKind::Audio)
            continue;
        if (!IsPlainSourceName(s.sourceName) || !checked.insert(s.sourceName).second)
            continue;
        std::string path = platform::JoinPath(request.songFolder, s.sourceName);
        if (IsForeignFormat(path))
            return path;
    }
    return {};
}

// One stretch taken from its entry's source; false with *result naming the failure.
bool CopyStretch(CWaveFile& out, CSourceCache& sources, const RenderRequest& request, const Stretch& s,
                 uint32_t destOffset, RenderResult* result) {
    const std::string source = platform::JoinPath(request.songFolder, s.sourceName);
    const uint64_t sourceOffset = 2 * s.sourceOffset;
    // A card file must never make us read elsewhere on the PC: such a name is never opened.
    const bool plain = IsPlainSourceName(s.sourceName);
    CWaveSource* held = nullptr;
    uint16_t code = 0;
    if (plain && sourceOffset > 0xFFFFFFFFull) {
        code = CWaveFile::ERR_SOURCE_SHORT;
    } else if (!plain || (held = sources.Get(source)) == nullptr) {
        code = CWaveFile::ERR_SOURCE_OPEN;
    } else if (!out.CopyFrom(*held, static_cast<uint32_t>(2 * s.length), static_cast<uint32_t>(sourceOffset),
                             destOffset)) {
        code = out.GetLastError();
    } else {
        return true;
    }
    *result = code == CWaveFile::ERR_WRITE ? OutputFailed(request)
                                           : Failed(RenderStatus::SourceFailed, source, code);
    return false;
}

// Writes the stretches in order until one fails or the job is cancelled; the result counts the samples.
RenderResult WriteStretches(CWaveFile& out, const RenderRequest& request,
                            const std::vector<Stretch>& stretches) {
    RenderResult result;
    result.status = RenderStatus::Complete;
    CSourceCache sources;
    uint64_t written = 0;
    for (const auto& s : stretches) {
        if (platform::IsCancelled(request.cancel))
            break;
        const auto destOffset = static_cast<uint32_t>(2 * written);
        if (s.kind != StretchKind::Audio) {
            if (!out.WriteSilence(static_cast<uint32_t>(2 * s.length), destOffset)) {
                result = OutputFailed(request);
                break;
            }
        } else if (!CopyStretch(out, sources, request, s, destOffset, &result)) {
            break;
        }
        if (platform::IsCancelled(request.cancel))
            break;
        written += s.length;
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
    const std::vector<Stretch> stretches = BuildStretches(entries, from, to);
    if (std::string foreign = FindForeignSource(request, stretches); !foreign.empty())
        return Failed(RenderStatus::FormatMismatch, foreign, 0);

    CWaveFile out;
    if (!out.Create(request.outputPath, 1, 16, rate))
        return OutputFailed(request);
    out.SetNotify(request.notify, 0);
    out.SetCancelFlag(request.cancel);
    if (request.progress)
        request.progress->SetRange(0, static_cast<int64_t>(2 * (to - from)));

    RenderResult result = WriteStretches(out, request, stretches);
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
