#pragma once
// A page that works on a song of a card: its drive combo follows the window's list of recorder drives
// (rebuilt whenever a card comes or goes), and the drive and song it shows are shared with the other
// pages through the main window's two indices. Each page says how its song list follows the drive.

#include "app/PageDlg.h"

#include <QString>

class QComboBox;

namespace gui {

class CCardPage : public CPageDlg {
public:
    using CPageDlg::CPageDlg;

    void SetSharedSelection(int* pDriveIndex, int* pSongIndex) final;
    void ResetDrives() final;
    void AddDrive(const std::string& drive) final;
    // Selects a drive; the song list is read from it, emptied when no drive is left, or kept (with the
    // ticked tracks) when the list was rebuilt around the drive shown before.
    int SelectDrive(int index) final;

protected:
    // The drive combo (IDC_DRIVE) shows a long card path cut at the left; a page making controls of
    // its own passes the others here.
    QWidget* MakeControl(const res::ControlTemplate& control, QWidget* parent) override;
    // Finds the drive combo; a page calls it first in its OnInitDialog.
    void BindDriveCombo();
    QComboBox* DriveCombo() const { return m_driveCombo; }
    // The card shown, empty for none.
    std::string CurrentDrive() const;
    // Whether a drive is chosen, as the pages share it.
    bool AnyDriveChosen() const;
    // Tells the other pages the drive shown, or the song at `index`.
    void ShareDrive();
    void ShareSong(int index);

    // The songs of the drive now shown.
    virtual void FillSongList() = 0;
    // No drive is left: the songs of the one that went must not stay.
    virtual void ClearSongList() = 0;

private:
    QComboBox* m_driveCombo = nullptr;
    QString m_shownDrive; // the drive shown before the drive list was rebuilt
    int* m_pDriveIndex = nullptr;
    int* m_pSongIndex = nullptr;
};

} // namespace gui
