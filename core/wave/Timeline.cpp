#include "wave/Timeline.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>

namespace wave {

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
    if (track < 1 || track > kTimelineTracks)
        return entries;
    for (int index : order) {
        if (adl.GetEventDestChannel(index) != track)
            continue;
        TrackEntry e;
        e.index = index;
        e.number = adl.GetEventEntryNumber(index);
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

namespace {

// Every position where the entry on top may change, inside [from, to], sorted and unique.
std::vector<uint64_t> CutPoints(const std::vector<TrackEntry>& entries, uint64_t from, uint64_t to) {
    std::vector<uint64_t> cuts{from, to};
    for (const auto& e : entries) {
        if (e.destIn > from && e.destIn < to)
            cuts.push_back(e.destIn);
        if (e.destOut > from && e.destOut < to)
            cuts.push_back(e.destOut);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

Stretch StretchOf(const std::vector<TrackEntry>& entries, int top, uint64_t start, uint64_t length) {
    Stretch s;
    s.start = start;
    s.length = length;
    if (top < 0)
        return s;
    const TrackEntry& e = entries[top];
    s.entry = top;
    s.eventIndex = e.index;
    s.number = e.number;
    s.kind = e.silence ? StretchKind::Silence : StretchKind::Audio;
    if (!e.silence) {
        s.sourceName = e.sourceName;
        s.sourceOffset = e.sourceIn + (start - e.destIn);
    }
    return s;
}

} // namespace

std::vector<Stretch> BuildStretches(const std::vector<TrackEntry>& entries, uint64_t from, uint64_t to) {
    std::vector<Stretch> stretches;
    if (to <= from)
        return stretches;
    const std::vector<uint64_t> cuts = CutPoints(entries, from, to);
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
        const int top = active.empty() ? -1 : active.top();
        const uint64_t length = cuts[k + 1] - p;
        if (!stretches.empty() && stretches.back().entry == top)
            stretches.back().length += length;
        else
            stretches.push_back(StretchOf(entries, top, p, length));
    }
    return stretches;
}

bool TrackTimeline::InUse() const {
    return std::any_of(stretches.begin(), stretches.end(),
                       [](const Stretch& s) { return s.kind == StretchKind::Audio; });
}

std::string SongTimeline::TimeCodeText(uint64_t samples) const {
    adl::CTimeCode tc;
    tc.Set(static_cast<uint32_t>(std::min<uint64_t>(samples, UINT32_MAX)), frameKind, rateKind);
    std::string text = tc.Format();
    return text.empty() ? std::to_string(samples) : text;
}

int SongTimeline::SourceIndex(const std::string& name) const {
    const auto it = std::find(sources.begin(), sources.end(), name);
    return it == sources.end() ? -1 : static_cast<int>(it - sources.begin());
}

SongTimeline BuildSongTimeline(const adl::CAdlFile& adl) {
    SongTimeline song;
    song.sampleRate = adl::SampleRateOfCode(adl.GetSampleRateCode());
    const adl::CTimeCode start = adl.GetDestStart();
    song.frameKind = start.GetFrameKind();
    const uint8_t rateKind = adl::TimeCodeRateKind(adl.GetSampleRateCode());
    song.rateKind = rateKind != 0 ? rateKind : start.GetRateKind();
    for (uint16_t n = 1; n <= 2; ++n) {
        song.hasLocate[n - 1] = adl.GetLocateCount() >= n;
        if (song.hasLocate[n - 1])
            song.locate[n - 1] = adl.GetLocateTime(n).GetSamples();
    }
    const std::vector<int> order = BuildEntryOrder(adl);
    for (int track = 1; track <= kTimelineTracks; ++track) {
        const std::vector<TrackEntry> entries = GetTrackEntries(adl, order, track);
        TrackTimeline& t = song.tracks[track - 1];
        t.end = GetTrackEnd(entries);
        t.stretches = BuildStretches(entries, 0, t.end);
        song.length = std::max(song.length, t.end);
        for (const Stretch& s : t.stretches) {
            if (s.kind == StretchKind::Audio && song.SourceIndex(s.sourceName) < 0)
                song.sources.push_back(s.sourceName);
        }
    }
    return song;
}

uint32_t SourceColour(int sourceIndex) {
    // Hues a golden angle apart, in three steps of lightness, so that neighbours never look alike.
    const double hue = std::fmod(std::max(sourceIndex, 0) * 137.508, 360.0) / 60.0;
    const double value = 0.9 - 0.12 * (std::max(sourceIndex, 0) / 7 % 3);
    const double saturation = 0.5;
    const double chroma = value * saturation;
    const double x = chroma * (1.0 - std::fabs(std::fmod(hue, 2.0) - 1.0));
    const double m = value - chroma;
    double rgb[3] = {m, m, m};
    const int sector = static_cast<int>(hue) % 6;
    static constexpr int kBig[6] = {0, 1, 1, 2, 2, 0};
    static constexpr int kSmall[6] = {1, 0, 2, 1, 0, 2};
    rgb[kBig[sector]] += chroma;
    rgb[kSmall[sector]] += x;
    uint32_t colour = 0;
    for (double c : rgb)
        colour = (colour << 8) | static_cast<uint32_t>(std::lround(c * 255.0));
    return colour;
}

} // namespace wave

namespace wave {

uint64_t RulerStep(double samplesPerPixel, uint32_t sampleRate, double minPixels) {
    static constexpr double kSeconds[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,    2,    5,    10,   15,
                                          30,   60,   120,  300, 600, 900, 1800, 3600, 7200, 18000};
    const uint32_t rate = sampleRate != 0 ? sampleRate : 44100;
    for (double seconds : kSeconds) {
        const double samples = seconds * rate;
        if (samples >= minPixels * samplesPerPixel)
            return static_cast<uint64_t>(samples);
    }
    return static_cast<uint64_t>(kSeconds[std::size(kSeconds) - 1] * rate);
}

} // namespace wave
