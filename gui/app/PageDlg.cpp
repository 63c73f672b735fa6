#include "app/PageDlg.h"

#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QComboBox>

namespace gui {

CPageDlg::CPageDlg(int templateId) : m_templateId(templateId) {}

bool CPageDlg::Create(QWidget* parent) {
    if (m_created)
        return true;
    setParent(parent);
    if (!res::BuildDialog(m_templateId, this))
        return false;
    m_created = true;
    return OnInitDialog();
}

void CBasicPage::SetSharedSelection(int* pDriveIndex, int* pSongIndex) {
    m_pDriveIndex = pDriveIndex;
    m_pSongIndex = pSongIndex;
}

void CBasicPage::ResetDrives() {
    if (auto* combo = res::Control<QComboBox>(this, res::IDC_DRIVE))
        combo->clear();
}

void CBasicPage::AddDrive(const std::string& drive) {
    if (auto* combo = res::Control<QComboBox>(this, res::IDC_DRIVE))
        res::AddString(combo, QString::fromStdString(drive));
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

} // namespace gui
