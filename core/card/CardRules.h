#pragma once
// The card rules every page and the command line apply the same way: what a song is, where its files
// are, what a song tells about itself, and the tests made before writing to a card.

#include "adl/AdlFile.h"
#include "wave/Timeline.h"

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace card {

constexpr int kTrackCount = 16;
constexpr int kMaxAudioFiles = 5000;

// Visible folders in the card's root, alphabetical ignoring case, without this program's own temporary
// folders. Empty when the card cannot be read.
std::vector<std::string> ListSongs(const std::string& card);

std::string SongFolderPath(const std::string& card, const std::string& song);
std::string AdlPath(const std::string& card, const std::string& song);
std::string AudioFilePath(const std::string& card, const std::string& song, const std::string& name);
std::string MixFolderPath(const std::string& card, const std::string& song);
// tr01.wav .. tr16.wav in a PC folder.
std::string TrackFilePath(const std::string& pcFolder, int track);

// The track a PC file stands for: 1..16 when the name before its last "." is exactly "tr%02d" or
// "TR%02d" of that track (so Tr03.wav matches nothing), else 0.
int TrackOfPcFileName(const std::string& fileName);
// Names of the "*.wav" files of a PC folder (the extension in any case; folders left out), in the
// natural order of platform::NaturalLess: tr2.wav before tr10.wav. Empty when the folder cannot be read.
std::vector<std::string> ListPcWaveFiles(const std::string& pcFolder);
// Tracks for which the PC folder's "*.wav" listing holds a matching file.
std::array<bool, kTrackCount> FindPcTrackFiles(const std::string& pcFolder);

// "48000", "44100", "22050" for the song's sample-rate code; empty for None and unknown codes.
std::string SampleRateText(adl::SampleRateCode sampleRateCode);

// Bits per sample of the first WAV file the song folder lists; 0 when there is none or it cannot be read.
int GetSongBitDepth(const std::string& card, const std::string& song);
// The depth as the pages show it ("%2d"), "?" when unknown.
std::string BitDepthText(int bits);

// Per track 1..16 (index 0..15): whether at least one sample of the track comes from an audio file.
std::array<bool, kTrackCount> GetTracksInUse(const adl::CAdlFile& adl);
// The song's timeline read from its ADL file (opened read-only); false when the file cannot be read.
bool ReadSongTimeline(const std::string& card, const std::string& song, wave::SongTimeline* timeline);

// What the user is told when the card's folder (a card pulled out) or the song's folder is not there;
// empty when both are.
std::string SongMissingText(const std::string& card, const std::string& song);

// Protected only when the ADL file's attributes are exactly read-only.
bool IsSongProtected(const std::string& card, const std::string& song);
// Creates and removes a test folder under one of this program's own names.
bool IsCardWritable(const std::string& card);
bool GetCardFreeSpace(const std::string& card, uint64_t* freeBytes);
// The first "zt5%04d.wav" (1..5000) neither present in the song folder nor in `taken` (names promised
// to files still on their way in); empty when all are taken.
std::string NextAudioFileName(const std::string& songFolder, const std::set<std::string>& taken = {});

} // namespace card
