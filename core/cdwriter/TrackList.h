#pragma once
// The CD writer page's audio track list and its rules: what Add, Remove, Up and Down do and say, the
// 99-track limit, the room left on the disc, and the buttons a list enables. The page mirrors the rows
// and their selection into its list view, so the rules are tested without a window.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cdwriter {

struct TrackRow {
    std::string fileName; // as the wave list showed it
    std::string path;
    std::string time;     // TrackTimeText of its audio
    uint32_t sectors = 0; // what the track takes on the disc, counted when it was added
    bool selected = false;
};

// The free space of the chosen recorder's medium in bytes of 2048, as the page's recorder service
// reports it; false with the text to show when it cannot be read.
using FreeSpaceQuery = std::function<bool(uint32_t* freeBytes, std::string* failureText)>;

struct AddRequest {
    bool cdDriveChosen = false;
    std::string sourceFolder;
    std::vector<std::string> files; // the wave list's selected rows, top to bottom
};

class CTrackListModel {
public:
    static constexpr int kMaxTracks = 99;

    const std::vector<TrackRow>& Rows() const { return m_rows; }
    int Count() const { return static_cast<int>(m_rows.size()); }
    // The track number shown in the first column: "%d" of the position + 1.
    static std::string NumberText(int row);
    // Sectors the listed tracks take on the disc, the silence between them included.
    uint64_t DiscSectors() const;
    // Remove and Burn are enabled exactly while the list has rows.
    bool HasRows() const { return !m_rows.empty(); }

    // The selection as the list view shows it (one flag per row; missing flags are false).
    void SetSelection(const std::vector<bool>& selected);
    std::vector<bool> Selection() const;

    // Each returns the message the page shows, empty when there is none.
    // Appends the files in order while they fit on the disc and the list holds fewer than 99 tracks.
    std::string Add(const AddRequest& request, const FreeSpaceQuery& freeSpace);
    std::string Remove();
    // Each selected row moves past the unselected row next to it; a block moves as one.
    std::string Up();
    std::string Down();

private:
    std::vector<TrackRow> m_rows;
};

} // namespace cdwriter
