#pragma once
// Which PC file is copied for a track: tr%02d.wav, or the file of the folder's listing whose name
// stands for that track (TR02.wav, tr02.WAV) where names are case-sensitive. The terminal also takes
// trNN.flac, trNN.aif and trNN.aiff (converted on the way), where no trNN.wav is there.

#include "card/CardRules.h"

#include <array>
#include <string>
#include <vector>

namespace card {

// The path of the PC file for track 1..16; the tr%02d.wav path when no file stands for the track.
std::string PcTrackSourcePath(const std::string& pcFolder, int track);
// The same with the other file types taken too: a WAV file first, then FLAC, then AIFF.
std::string PcTrackSourcePath(const std::string& pcFolder, int track, bool otherTypes);

struct PcTrackSources {
    std::array<bool, kTrackCount> tracks{}; // tracks for which a file is there
    // Files that stand for a track but are left out, each with the file taken for that track instead.
    std::vector<std::pair<std::string, std::string>> unused;
};

// The tracks the PC folder holds files for (FindPcTrackFiles, and with `otherTypes` the FLAC and AIFF
// files too), and the files left out because another one stands for the same track.
PcTrackSources FindPcTrackSources(const std::string& pcFolder, bool otherTypes);

} // namespace card
