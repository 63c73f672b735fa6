#pragma once
// What the "PC to ZT" page shows of a PC folder: one row per WAV file with its format and size, and
// the track each file stands for.

#include "card/CardRules.h"

#include <string>
#include <vector>

namespace card {

struct PcWaveRow {
    std::string name;     // the file name
    std::string rate;     // "%.2fkHz"
    std::string bits;     // "%dbit"
    std::string channels; // "%d"
    std::string size;     // "%dKB" of the file size / 1024 + 1
    int track = 0;        // 1..16 when the name is exactly trNN or TRNN, else 0
};

// A row for one file of the folder; a value that cannot be read shows as 0.
PcWaveRow DescribePcWaveFile(const std::string& pcFolder, const std::string& name);

// The rows of the folder's "*.wav" files, in the order of ListPcWaveFiles (tr2.wav before tr10.wav).
std::vector<PcWaveRow> ListPcWaveRows(const std::string& pcFolder);

// Tracks that the rows offer (a file named after the track).
std::array<bool, kTrackCount> TracksOffered(const std::vector<PcWaveRow>& rows);

} // namespace card
