#pragma once
// Making a new song on the card: its folder, its "2mix" folder and a fresh ADL file at the rate of
// the PC's track files.

#include "card/CardRules.h"
#include "platform/MessageBox.h"

#include <array>
#include <cstdint>
#include <string>

namespace card {

// Sample-rate code of a new song (1 = 48000, 2 = 44100, 3 = 22050 Hz), 0 for a rate a song cannot have.
uint16_t SampleRateCodeOfRate(uint32_t rate);

// Writes the ADL file of a new song named `song` at sample-rate code 1, 2 or 3, dated `date`
// ("%d-%02d-%02d"). False when the file exists or cannot be written completely.
bool WriteNewSongAdl(const std::string& adlPath, const std::string& song, uint16_t sampleRateCode,
                     const std::string& date);

// Creates the song at songPath (card folder + song name) with the rate of the lowest-numbered ticked
// track's file in pcFolder. Tells the user and returns false when it cannot; nothing is left on the
// card then, except when the song folder already existed.
bool CreateNewSong(const std::string& songPath, const std::string& pcFolder,
                   const std::array<bool, kTrackCount>& tracks, platform::IMessageBox* box);

} // namespace card
