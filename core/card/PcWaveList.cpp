#include "card/PcWaveList.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

namespace card {

PcWaveRow DescribePcWaveFile(const std::string& pcFolder, const std::string& name) {
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    uint64_t size = 0;
    wave::CWaveFile file;
    if (file.Open(platform::JoinPath(pcFolder, name), 1)) {
        if (!file.GetFormat(&channels, &bits, &rate))
            channels = bits = 0, rate = 0;
        size = file.GetRiffSize();
        file.Close();
    }
    PcWaveRow row;
    row.name = name;
    row.rate = platform::Format("%.2fkHz", rate / 1000.0);
    row.bits = platform::Format("%dbit", bits);
    row.channels = platform::Format("%d", channels);
    row.size = platform::Format("%lluKB", static_cast<unsigned long long>(size) / 1024 + 1);
    row.track = TrackOfPcFileName(name);
    return row;
}

std::vector<PcWaveRow> ListPcWaveRows(const std::string& pcFolder) {
    std::vector<PcWaveRow> rows;
    for (const std::string& name : ListPcWaveFiles(pcFolder))
        rows.push_back(DescribePcWaveFile(pcFolder, name));
    return rows;
}

std::array<bool, kTrackCount> TracksOffered(const std::vector<PcWaveRow>& rows) {
    std::array<bool, kTrackCount> offered{};
    for (const PcWaveRow& row : rows)
        if (row.track > 0)
            offered[static_cast<size_t>(row.track - 1)] = true;
    return offered;
}

} // namespace card
