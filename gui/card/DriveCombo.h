#pragma once
// Combo box steps the transfer pages share: drives listed in the order found, a selection that
// tells no entry from a missing one, and a song list filled from the card rules.

#include <QComboBox>
#include <string>

namespace gui {

// A drive combo: a card's folder is longer than the box, and its end (the card's own name) is what
// tells cards apart, so the box shows the path cut at the left and the open list shows it whole.
class CDriveCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Empties a drive combo for a new list, keeping in `shown` the drive it showed.
void ResetDriveEntries(QComboBox* combo, QString* shown);
// What selecting a drive means for the page's song list.
enum class DriveChange {
    Kept,    // the drive shown before the combo's last reset: the list was rebuilt around it
    Gone,    // a drive was shown before the last reset and now none is listed: its songs go too
    Changed, // any other drive, or a selection without a rebuild: the songs are read from it
};
// Selects entry `index`, or nothing when there is no such entry, and says what that means; `shown`
// is cleared.
DriveChange SelectDriveEntry(QComboBox* combo, int index, QString* shown);
// Appends a drive (a card's folder) after those listed; adding never selects anything.
void AddDriveEntry(QComboBox* combo, const std::string& drive);
// Selects entry `index`, or nothing when there is no such entry.
void SelectEntry(QComboBox* combo, int index);
// Replaces the songs with those on `drive`, sorted, none selected; an empty drive leaves them as they are.
void FillSongs(QComboBox* combo, const std::string& drive);

} // namespace gui
