#pragma once
// What the "PC to ZT" page's song combo holds and how it changes: the card's songs, songs this run
// created, a proposed name not made yet, and the "---:(New Song)" entry offered while the list is
// open. The page mirrors this model into its combo box, so the rules are tested without a window.

#include "card/SongName.h"

#include <string>
#include <vector>

namespace card {

// The item data of an entry; the numbers are the ones the page always stored with its entries.
enum class SongEntryKind { OnCard = 0, Created = 1, Pending = 2, NewSong = 3 };

struct SongEntry {
    std::string text;
    SongEntryKind kind = SongEntryKind::OnCard;
};

class CSongComboModel {
public:
    const std::vector<SongEntry>& Entries() const { return m_entries; }
    int Count() const { return static_cast<int>(m_entries.size()); }
    // The selected position, -1 for none.
    int Selection() const { return m_selection; }
    std::string SelectedText() const;

    // The card's songs (kind OnCard) in the combo's sorted order; nothing selected.
    void Fill(const std::vector<std::string>& songs);
    // Selects a position; out of range selects nothing. Returns the selection.
    int Select(int index);
    // Adds an entry where a sorted combo puts it (case-insensitive) and returns its position.
    int AddSorted(const std::string& text, SongEntryKind kind);
    // The first entry with exactly this text, -1 for none.
    int Find(const std::string& text) const;

    // The list opens: pending names and "---:(New Song)" go, and "---:(New Song)" is offered again at
    // the end while there is a drive and fewer than 99 entries.
    void DropDown(bool haveDrive);
    // The list closes on the selected entry: "---:(New Song)" turns into a proposed name
    // ("Song%02d", or "Song%02d-%02d" where that name is taken), selected; otherwise an unchosen
    // "---:(New Song)" is taken away.
    void CloseUp();
    // The selection changed (by the user, or by the main window through the page). Choosing a proposed
    // name once marks it; choosing it again while marked removes it and selects the entry before it.
    // True when the selection names a song to share with the other pages.
    bool OnSelectionChanged();
    // Removes the proposed names (an export to a name not on the card does this); returns the entries left.
    int RemovePending();

private:
    void Erase(int index);
    void Insert(int index, SongEntry entry);

    std::vector<SongEntry> m_entries;
    int m_selection = -1;
    bool m_pendingMarked = false;
};

} // namespace card
