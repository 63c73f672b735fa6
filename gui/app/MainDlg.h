#pragma once
// The program's one top-level window: the folder tree on the left, the three tab pages on the right,
// and the drive and song positions that the pages share.

#include "app/PageDlg.h"

#include <QDialog>
#include <QIcon>
#include <functional>
#include <memory>
#include <string>

class QTabWidget;
class QTreeWidgetItem;

namespace gui {

class CDirectoryTree;

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

    // The folder selected at start: the desktop, or the home folder where there is none.
    static std::string DesktopFolder();

    int m_nDriveIndex = 0;
    int m_nSongIndex = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FindRecorderDrives();
    void EnableDriveMedium();
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
};

// The pages the program ships with; page classes of their own replace the plain ones here.
std::unique_ptr<CPageDlg> CreateDefaultPage(int templateId);
// The Drive/Medium dialog the program ships with.
void RunDefaultDriveMedium(const std::string& driveName, int driveIndex);

} // namespace gui
