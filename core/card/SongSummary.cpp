#include "card/SongSummary.h"

namespace card {

SongSummary ReadSongSummary(const std::string& card, const std::string& song) {
    SongSummary summary;
    if (card.empty() || song.empty())
        return summary;
    adl::CAdlFile adl;
    if (!adl.Open(AdlPath(card, song), true))
        return summary;
    summary.readable = true;
    summary.tracksInUse = GetTracksInUse(adl);
    summary.rate = SampleRateText(adl.GetSampleRateCode());
    adl.Close();
    summary.bits = BitDepthText(GetSongBitDepth(card, song));
    return summary;
}

} // namespace card
