#include "card/DriveCombo.h"

#include "card/CardRules.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <utility>

namespace gui {

void CDriveCombo::showPopup() {
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
    QComboBox::showPopup();
}

void CDriveCombo::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect text =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideLeft, text.width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ResetDriveEntries(QComboBox* combo, QString* shown) {
    *shown = combo->currentText();
    combo->clear();
}

DriveChange SelectDriveEntry(QComboBox* combo, int index, QString* shown) {
    SelectEntry(combo, index);
    const QString before = std::exchange(*shown, QString());
    if (before.isEmpty())
        return DriveChange::Changed;
    if (combo->currentText() == before)
        return DriveChange::Kept;
    return combo->currentIndex() < 0 ? DriveChange::Gone : DriveChange::Changed;
}

void AddDriveEntry(QComboBox* combo, const std::string& drive) {
    const bool keepEmpty = combo->currentIndex() < 0;
    const QString text = QString::fromStdString(drive);
    combo->addItem(text);
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
