#pragma once
// What is heard on each track of a song: the stretches where a region's audio, a Silence entry or
// nothing lies on top. The renderer writes exactly these stretches, and the song view and the
// command line draw them, so a picture of a song can never disagree with what import writes.

#include "adl/AdlFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wave {

constexpr int kTimelineTracks = 16;

// Indices of the song's entries in ascending entry number, one per number greater than 0; of several
// entries with the same number, the one listed last.
std::vector<int> BuildEntryOrder(const adl::CAdlFile& adl);

struct TrackEntry {
    int index = 0; // event index in the song
    uint16_t number = 0;
    uint32_t sourceIn = 0;
    uint32_t destIn = 0;
    uint32_t destOut = 0;
    bool silence = false; // any other edit type copies from its source file
    std::string sourceName;
};

// The track's entries in entry order. Entries that cover nothing (out not after in) are left out, and
// tracks outside 1..16 have none.
std::vector<TrackEntry> GetTrackEntries(const adl::CAdlFile& adl, const std::vector<int>& order, int track);

// The end of the track for a whole-track render: the last entry reaching past the end so far moves it
// out, a Silence over the end moves it back to where the Silence starts. 0 = nothing to render.
uint32_t GetTrackEnd(const std::vector<TrackEntry>& entries);

enum class StretchKind : uint8_t {
    Nothing, // no entry covers it: silence
    Audio,   // a region's audio, from its source file
    Silence, // a Silence entry lies on top
};

// A stretch of a track with one entry on top (or none). Adjacent positions under the same entry make
// one stretch; so do adjacent positions under no entry.
struct Stretch {
    uint64_t start = 0; // position on the track, in samples
    uint64_t length = 0;
    StretchKind kind = StretchKind::Nothing;
    int entry = -1;            // position in the track's entry list; -1 for Nothing
    int eventIndex = -1;       // the entry's event index in the song; -1 for Nothing
    uint16_t number = 0;       // the entry number; 0 for Nothing
    std::string sourceName;    // Audio only
    uint64_t sourceOffset = 0; // Audio only: the source sample heard at `start`
    uint64_t End() const { return start + length; }
};

// The stretches covering [from, to) in order, without gaps.
std::vector<Stretch> BuildStretches(const std::vector<TrackEntry>& entries, uint64_t from, uint64_t to);

struct TrackTimeline {
    uint32_t end = 0;               // the length of the track's whole-track render
    std::vector<Stretch> stretches; // covering [0, end)
    bool InUse() const;             // at least one stretch of audio
};

struct SongTimeline {
    std::array<TrackTimeline, kTimelineTracks> tracks; // tracks 1..16
    uint32_t length = 0;                               // the longest track's end
    uint32_t sampleRate = 0;                           // 0 when the song's rate code is unknown
    bool hasLocate[2] = {false, false};                // locate points A and B
    uint32_t locate[2] = {0, 0};
    uint8_t frameKind = adl::CTimeCode::FPS_25; // the song's time-code format
    uint8_t rateKind = adl::CTimeCode::RATE_44100;
    std::vector<std::string> sources; // the audio files heard, in order of first appearance

    // The position as the song's time-code text; the sample count when the format has no text.
    std::string TimeCodeText(uint64_t samples) const;
    // The position of a source name in `sources`; -1 when it is not heard.
    int SourceIndex(const std::string& name) const;
};

// Every track's whole-track stretches, with the song's facts around them.
SongTimeline BuildSongTimeline(const adl::CAdlFile& adl);

// A colour (0xRRGGBB) per source file, by its position in SongTimeline::sources: neighbours differ
// clearly, and the picture and the window colour a file alike.
uint32_t SourceColour(int sourceIndex);

} // namespace wave

namespace wave {

// The distance in samples between two marks of a time ruler: the smallest of the round steps (a
// hundredth of a second up to an hour) at least `minPixels` wide at `samplesPerPixel`.
uint64_t RulerStep(double samplesPerPixel, uint32_t sampleRate, double minPixels);

} // namespace wave
