#pragma once
// The job parameters the bad-input tests use again and again.

#include "card/ExportJob.h"
#include "card/ImportJob.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace badinput {

inline card::ImportParams ImportAll(const std::string& card, const std::string& song, const std::string& pc,
                                    std::initializer_list<int> tracks = {1}) {
    card::ImportParams p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    for (int t : tracks)
        p.tracks[static_cast<size_t>(t - 1)] = true;
    return p;
}

inline card::ExportParams ExportParams(const std::string& card, const std::string& song,
                                       const std::string& pc, std::initializer_list<int> tracks = {1}) {
    card::ExportParams p;
    p.card = card;
    p.song = song;
    p.pcFolder = pc;
    for (int t : tracks)
        p.tracks[static_cast<size_t>(t - 1)] = true;
    return p;
}

} // namespace badinput
