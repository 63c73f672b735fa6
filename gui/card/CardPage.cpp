#include "card/CardPage.h"

#include "card/DriveCombo.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

namespace gui {

void CCardPage::SetSharedSelection(int* pDriveIndex, int* pSongIndex) {
    m_pDriveIndex = pDriveIndex;
    m_pSongIndex = pSongIndex;
}

void CCardPage::ResetDrives() {
    ResetDriveEntries(m_driveCombo, &m_shownDrive);
}

void CCardPage::AddDrive(const std::string& drive) {
    AddDriveEntry(m_driveCombo, drive);
}

int CCardPage::SelectDrive(int index) {
    switch (SelectDriveEntry(m_driveCombo, index, &m_shownDrive)) {
    case DriveChange::Kept:
        break; // the song and the ticked tracks stay
    case DriveChange::Gone:
        ClearSongList();
        break;
    case DriveChange::Changed:
        FillSongList();
        break;
    }
    ShareDrive();
    return m_driveCombo->currentIndex();
}

QWidget* CCardPage::MakeControl(const res::ControlTemplate& control, QWidget* parent) {
    return control.id == res::IDC_DRIVE ? new CDriveCombo(parent) : nullptr;
}

void CCardPage::BindDriveCombo() {
    m_driveCombo = res::Control<QComboBox>(this, res::IDC_DRIVE);
}

std::string CCardPage::CurrentDrive() const {
    return m_driveCombo->currentText().toStdString();
}

bool CCardPage::AnyDriveChosen() const {
    return (m_pDriveIndex ? *m_pDriveIndex : m_driveCombo->currentIndex()) != -1;
}

void CCardPage::ShareDrive() {
    if (m_pDriveIndex)
        *m_pDriveIndex = m_driveCombo->currentIndex();
}

void CCardPage::ShareSong(int index) {
    if (m_pSongIndex)
        *m_pSongIndex = index;
}

} // namespace gui
