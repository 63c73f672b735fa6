#pragma once
// The program's one top-level window: the folder tree on the left, the three tab pages on the right,
// and the drive and song positions that the pages share.

#include "app/PageDlg.h"

#include <QDialog>
#include <QIcon>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTabWidget;
class QTreeWidgetItem;

namespace gui {

class CDirectoryTree;
class CDriveWatcher;

class CMainDlg : public QDialog {
public:
    // Makes the page object for template 129, 130 or 131.
    using PageFactory = std::function<std::unique_ptr<CPageDlg>(int templateId)>;
    // Runs the Drive/Medium dialog for the named CD recorder (at that position of the CD drive combo).
    using DriveMediumRunner = std::function<void(const std::string& driveName, int driveIndex)>;

    explicit CMainDlg(QWidget* parent = nullptr, PageFactory pageFactory = {},
                      DriveMediumRunner driveMedium = {});
    ~CMainDlg() override;

    // Runs OnInitDialog, then the window modally.
    int DoModal();
    // Opening: tree, desktop folder, tabs, pages, shared selection, drives, menu state.
    bool OnInitDialog();

    CDirectoryTree* Tree() const { return m_tree; }
    QTabWidget* TabControl() const { return m_tab; }
    CPageDlg* Page(int index) const;
    CDriveWatcher* DriveWatcher() const { return m_watcher; }
    // The recorder drives the pages list, in their order.
    const std::vector<std::string>& RecorderDrives() const { return m_drives; }

    // The folder selected at start: the desktop, or the home folder where there is none.
    static std::string DesktopFolder();

    int m_nDriveIndex = 0;
    int m_nSongIndex = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LayOut(QWidget* client);
    void FindRecorderDrives();
    // The drive list again after a mount change: every page's combo rebuilt around the drive that was
    // selected; waits while a job runs.
    void OnMountsChanged();
    void RefreshRecorderDrives();
    void EnableDriveMedium();
    void EnableSafeRemoval();
    void OnSafeRemoval();
    void OnSelchangeTab();
    void OnSelchangedTree(QTreeWidgetItem* item);
    void OnDriveMedium();
    void OnSongView();
    void OnAbout();

    QIcon m_hIcon;
    std::unique_ptr<CPageDlg> m_page1;
    std::unique_ptr<CPageDlg> m_page2;
    std::unique_ptr<CPageDlg> m_page3;
    QTabWidget* m_tab = nullptr;
    CDirectoryTree* m_tree = nullptr;
    DriveMediumRunner m_driveMedium;
    CDriveWatcher* m_watcher = nullptr;
    std::vector<std::string> m_drives;
    bool m_refreshPending = false;
    bool m_removing = false;
};

// The pages the program ships with; page classes of their own replace the plain ones here.
std::unique_ptr<CPageDlg> CreateDefaultPage(int templateId);
// The Drive/Medium dialog the program ships with.
void RunDefaultDriveMedium(const std::string& driveName, int driveIndex);

} // namespace gui
