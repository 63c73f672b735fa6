#include "card/DriveCombo.h"

#include "card/CardRules.h"

#include <QComboBox>

namespace gui {

void AddDriveEntry(QComboBox* combo, const std::string& drive) {
    const bool keepEmpty = combo->currentIndex() < 0;
    const QString text = QString::fromStdString(drive);
    combo->addItem(text);
    // A card's folder is longer than the box; the whole path shows in the open list and the tip.
    combo->setItemData(combo->count() - 1, text, Qt::ToolTipRole);
    if (keepEmpty)
        combo->setCurrentIndex(-1);
}

void SelectEntry(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void FillSongs(QComboBox* combo, const std::string& drive) {
    if (drive.empty())
        return;
    combo->clear();
    for (const std::string& song : card::ListSongs(drive))
        combo->addItem(QString::fromStdString(song));
    combo->setCurrentIndex(-1);
}

} // namespace gui
