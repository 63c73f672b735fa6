#pragma once
// Test songs: ADL text written directly (tabs, CR LF, the section order the reader wants), the time
// codes in it, and the entry line the export adds for a track.

#include "adl/AdlCodes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Ev {
    uint16_t number = 0;
    adl::EditType type = adl::EditType::Cut; // Cut, Silence or Aux
    std::string source;
    int channel = 1;
    uint32_t sourceIn = 0, destIn = 0, destOut = 0;
};

// The 25 fps time code of a position at the song's rate.
std::string Tc(uint32_t samples, adl::SampleRateCode rate);

// A whole ADL file; SampleRateCode::None writes no sample-rate line.
std::string AdlText(adl::SampleRateCode rate, const std::vector<Ev>& events, uint32_t locateA = 0,
                    uint32_t locateB = 0);

// The line the export adds for a track: a Cut of zt5<fileNumber>.wav from 0 to `length`.
std::string EntryLine(int number, int fileNumber, int track, uint32_t length, adl::SampleRateCode rate);

} // namespace testsupport
