#include "card/SongCombo.h"

#include "card/SongName.h"
#include "platform/Text.h"

#include <utility>

namespace card {

std::string CSongComboModel::SelectedText() const {
    return m_selection >= 0 ? m_entries[static_cast<size_t>(m_selection)].text : std::string();
}

void CSongComboModel::Fill(const std::vector<std::string>& songs) {
    m_entries.clear();
    m_selection = -1;
    for (const std::string& song : songs)
        AddSorted(song, SongEntryKind::OnCard);
}

int CSongComboModel::Select(int index) {
    m_selection = index >= 0 && index < Count() ? index : -1;
    return m_selection;
}

int CSongComboModel::AddSorted(const std::string& text, SongEntryKind kind) {
    int at = 0;
    while (at < Count() && platform::CompareNoCase(m_entries[static_cast<size_t>(at)].text, text) <= 0)
        ++at;
    Insert(at, {text, kind});
    return at;
}

int CSongComboModel::Find(const std::string& text) const {
    for (int i = 0; i < Count(); ++i)
        if (m_entries[static_cast<size_t>(i)].text == text)
            return i;
    return -1;
}

void CSongComboModel::DropDown(bool haveDrive) {
    for (int i = 0; i < Count();) {
        const SongEntryKind kind = m_entries[static_cast<size_t>(i)].kind;
        if (kind == SongEntryKind::Pending || kind == SongEntryKind::NewSong)
            Erase(i);
        else
            ++i;
    }
    if (haveDrive && CanOfferNewSong(Count()))
        Insert(Count(), {kNewSongEntry, SongEntryKind::NewSong});
}

void CSongComboModel::CloseUp() {
    if (m_selection < 0)
        return;
    if (SelectedText() != kNewSongEntry) {
        if (!m_entries.empty() && m_entries.back().kind == SongEntryKind::NewSong)
            Erase(Count() - 1);
        return;
    }
    std::vector<std::string> texts;
    for (const SongEntry& entry : m_entries)
        texts.push_back(entry.text);
    const std::string name = ProposeNewSongName(texts);
    Erase(Find(kNewSongEntry));
    m_pendingMarked = false;
    Insert(Count(), {name, SongEntryKind::Pending});
    m_selection = Count() - 1;
}

bool CSongComboModel::OnSelectionChanged() {
    if (m_selection < 0)
        return false;
    if (m_entries[static_cast<size_t>(m_selection)].kind == SongEntryKind::Pending) {
        if (m_pendingMarked) {
            m_pendingMarked = false;
            const int before = m_selection - 1;
            Erase(m_selection);
            Select(before);
        } else {
            m_pendingMarked = true;
        }
    }
    return m_selection < 0 || m_entries[static_cast<size_t>(m_selection)].kind != SongEntryKind::Pending;
}

int CSongComboModel::RemovePending() {
    for (int i = 0; i < Count();) {
        if (m_entries[static_cast<size_t>(i)].kind == SongEntryKind::Pending)
            Erase(i);
        else
            ++i;
    }
    return Count();
}

void CSongComboModel::Erase(int index) {
    m_entries.erase(m_entries.begin() + index);
    // The selection stays on its entry, and goes when its entry goes.
    if (m_selection == index)
        m_selection = -1;
    else if (m_selection > index)
        --m_selection;
}

void CSongComboModel::Insert(int index, SongEntry entry) {
    m_entries.insert(m_entries.begin() + index, std::move(entry));
    if (m_selection >= index)
        ++m_selection;
}

} // namespace card
