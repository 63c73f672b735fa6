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

// Appends a drive (a card's folder) after those listed; adding never selects anything.
void AddDriveEntry(QComboBox* combo, const std::string& drive);
// Selects entry `index`, or nothing when there is no such entry.
void SelectEntry(QComboBox* combo, int index);
// Replaces the songs with those on `drive`, sorted, none selected; an empty drive leaves them as they are.
void FillSongs(QComboBox* combo, const std::string& drive);

} // namespace gui
