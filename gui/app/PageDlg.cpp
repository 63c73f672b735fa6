#include "app/PageDlg.h"

#include "card/DriveCombo.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

namespace gui {

CPageDlg::CPageDlg(int templateId) : m_templateId(templateId) {}

bool CPageDlg::Create(QWidget* parent) {
    if (m_created)
        return true;
    setParent(parent);
    if (!res::BuildDialog(m_templateId, this, [this](const res::ControlTemplate& c, QWidget* owner) {
            return MakeControl(c, owner);
        }))
        return false;
    m_created = true;
    return OnInitDialog();
}

void CPageDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Buttons here are not auto-default, so Enter on a focused one arrives here unhandled.
        if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
            button && isAncestorOf(button) && button->isEnabled())
            button->click();
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CBasicPage::SetSharedSelection(int* pDriveIndex, int* pSongIndex) {
    m_pDriveIndex = pDriveIndex;
    m_pSongIndex = pSongIndex;
}

QWidget* CBasicPage::MakeControl(const res::ControlTemplate& control, QWidget* parent) {
    return control.id == res::IDC_DRIVE ? new CDriveCombo(parent) : nullptr;
}

void CBasicPage::ResetDrives() {
    if (auto* combo = res::Control<QComboBox>(this, res::IDC_DRIVE))
        combo->clear();
}

void CBasicPage::AddDrive(const std::string& drive) {
    if (auto* combo = res::Control<QComboBox>(this, res::IDC_DRIVE))
        AddDriveEntry(combo, drive);
}

int CBasicPage::SelectDrive(int index) {
    auto* combo = res::Control<QComboBox>(this, res::IDC_DRIVE);
    int selected = -1;
    if (combo) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        selected = combo->currentIndex();
    }
    if (m_pDriveIndex)
        *m_pDriveIndex = selected;
    return selected;
}

int CBasicPage::SelectSong(int index) {
    auto* combo = res::Control<QComboBox>(this, res::IDC_SONG);
    int selected = -1;
    if (combo) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        selected = combo->currentIndex();
    }
    if (m_pSongIndex)
        *m_pSongIndex = selected;
    return selected;
}

void CBasicPage::SetFolder(const std::string& path) {
    m_folder = path;
}

std::string CBasicPage::GetCdDriveName() const {
    const auto* combo = res::Control<QComboBox>(this, res::IDC_CD_DRIVE);
    return combo ? combo->currentText().toStdString() : std::string();
}

int CBasicPage::GetCdDriveIndex() const {
    const auto* combo = res::Control<QComboBox>(this, res::IDC_CD_DRIVE);
    return combo ? combo->currentIndex() : -1;
}

} // namespace gui
