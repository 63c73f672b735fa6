#pragma once
// Which PC file is copied for a track: tr%02d.wav, or the file of the folder's listing whose name
// stands for that track (TR02.wav, tr02.WAV) where names are case-sensitive.

#include <string>

namespace card {

// The path of the PC file for track 1..16; the tr%02d.wav path when no file stands for the track.
std::string PcTrackSourcePath(const std::string& pcFolder, int track);

} // namespace card
