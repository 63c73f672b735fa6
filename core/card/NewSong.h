#pragma once
// Making a new song on the card: its folder, its "2mix" folder and a fresh ADL file at the rate of
// the PC's track files.

#include "adl/AdlCodes.h"
#include "card/CardRules.h"
#include "platform/MessageBox.h"

#include <array>
#include <cstdint>
#include <string>

namespace card {

// Writes the ADL file of a new song named `song` at a known sample rate, dated `date` ("%d-%02d-%02d").
// False when the rate is unknown, or the file exists or cannot be written completely.
bool WriteNewSongAdl(const std::string& adlPath, const std::string& song, adl::SampleRateCode sampleRateCode,
                     const std::string& date);

// Creates the song at songPath (card folder + song name) with the rate of the lowest-numbered ticked
// track's file in pcFolder. Tells the user and returns false when it cannot; nothing is left on the
// card then, except when the song folder already existed.
bool CreateNewSong(const std::string& songPath, const std::string& pcFolder,
                   const std::array<bool, kTrackCount>& tracks, platform::IMessageBox* box);
// Creates the song at songPath at a known rate (that of files converted into it). The same tells and
// the same guarantees.
bool CreateSong(const std::string& songPath, adl::SampleRateCode code, platform::IMessageBox* box);

} // namespace card
