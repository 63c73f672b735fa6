#pragma once
// The job parameters the bad-input tests use again and again.

#include "card/ExportJob.h"
#include "card/ImportJob.h"

#include <initializer_list>
#include <string>

namespace badinput {

// Import and export parameters: the song on the card, the PC folder and the ticked tracks.
template <typename Params>
Params TransferParams(const std::string& card, const std::string& song, const std::string& pc,
                      std::initializer_list<int> tracks) {
    Params p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    for (int t : tracks)
        p.tracks[static_cast<size_t>(t - 1)] = true;
    return p;
}

inline card::ImportParams ImportAll(const std::string& card, const std::string& song, const std::string& pc,
                                    std::initializer_list<int> tracks = {1}) {
    return TransferParams<card::ImportParams>(card, song, pc, tracks);
}

inline card::ExportParams ExportParams(const std::string& card, const std::string& song,
                                       const std::string& pc, std::initializer_list<int> tracks = {1}) {
    return TransferParams<card::ExportParams>(card, song, pc, tracks);
}

} // namespace badinput
