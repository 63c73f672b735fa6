#include "cdwriter/TrackList.h"

#include "cdwriter/DiscMaster.h"
#include "cdwriter/TrackInfo.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <utility>

namespace cdwriter {

namespace {

constexpr const char* kNoTrackSelected = "Please select audio tracks first !";

} // namespace

std::string CTrackListModel::NumberText(int row) {
    return platform::Format("%d", row + 1);
}

uint64_t CTrackListModel::DiscSectors() const {
    uint64_t sectors = 0;
    for (const TrackRow& row : m_rows)
        sectors += row.sectors;
    if (!m_rows.empty())
        sectors += static_cast<uint64_t>(kGapSectors) * (m_rows.size() - 1);
    return sectors;
}

void CTrackListModel::SetSelection(const std::vector<bool>& selected) {
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i].selected = i < selected.size() && selected[i];
}

std::vector<bool> CTrackListModel::Selection() const {
    std::vector<bool> selected;
    for (const TrackRow& row : m_rows)
        selected.push_back(row.selected);
    return selected;
}

std::string CTrackListModel::Add(const AddRequest& request, const FreeSpaceQuery& freeSpace) {
    if (!request.cdDriveChosen)
        return "Please select cd drive first.";
    if (request.files.empty())
        return "Please select wave files first.";
    uint32_t freeBytes = 0;
    std::string failure;
    if (!freeSpace || !freeSpace(&freeBytes, &failure))
        return failure;
    // The disc is counted in audio sectors, which carry 2352 bytes each, against the free sectors the
    // medium reports in blocks of 2048.
    const uint64_t freeSectors = freeBytes / 2048u;
    for (const std::string& name : request.files) {
        const std::string path = platform::JoinPath(request.sourceFolder, name);
        WaveTrackSizes sizes;
        if (!ReadWaveTrackSizes(path, &sizes))
            return CDiscMaster::ErrorText(CDiscMaster::DM_ERR_FILE_OPEN); // gone since it was listed
        TrackRow row{name, path, TrackTimeText(sizes.dataSize), TrackSectors(sizes.dataSize), false};
        const uint64_t gap = m_rows.empty() ? 0 : kGapSectors;
        if (DiscSectors() + gap + row.sectors > freeSectors)
            return "Total write size are too large.";
        if (Count() >= kMaxTracks)
            return "Track over flow.";
        m_rows.push_back(std::move(row));
    }
    return {};
}

std::string CTrackListModel::Remove() {
    if (std::none_of(m_rows.begin(), m_rows.end(), [](const TrackRow& r) { return r.selected; }))
        return kNoTrackSelected;
    // Each row takes away what it counted when it was added, whatever became of its file since.
    m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), [](const TrackRow& r) { return r.selected; }),
                 m_rows.end());
    return {};
}

std::string CTrackListModel::Up() {
    const auto first =
        std::find_if(m_rows.begin(), m_rows.end(), [](const TrackRow& r) { return r.selected; });
    if (first == m_rows.end())
        return kNoTrackSelected;
    if (first == m_rows.begin())
        return "Cannot move the track up further.";
    for (size_t i = 1; i < m_rows.size(); ++i)
        if (m_rows[i].selected && !m_rows[i - 1].selected)
            std::swap(m_rows[i], m_rows[i - 1]);
    return {};
}

std::string CTrackListModel::Down() {
    const auto last =
        std::find_if(m_rows.rbegin(), m_rows.rend(), [](const TrackRow& r) { return r.selected; });
    if (last == m_rows.rend())
        return kNoTrackSelected;
    if (last == m_rows.rbegin())
        return "Cannot move the track down further.";
    for (size_t i = m_rows.size() - 1; i-- > 0;)
        if (m_rows[i].selected && !m_rows[i + 1].selected)
            std::swap(m_rows[i], m_rows[i + 1]);
    return {};
}

} // namespace cdwriter
