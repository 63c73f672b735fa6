#pragma once
// What the "ZT to PC" page shows of a song before an import: its rate, its bit depth and the tracks
// that hold audio.

#include "card/CardRules.h"

#include <array>
#include <string>

namespace card {

struct SongSummary {
    bool readable = false;                       // false: the ADL cannot be opened; nothing below is known
    std::string rate;                            // "48000", "44100", "22050" or empty
    std::string bits;                            // "%2d" or "?"
    std::array<bool, kTrackCount> tracksInUse{}; // TR1 first
};

SongSummary ReadSongSummary(const std::string& card, const std::string& song);

} // namespace card
