#include "app/MainDlg.h"

#include "app/AboutDlg.h"
#include "app/DirectoryTree.h"
#include "app/DriveWatcher.h"
#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "card/PcToZtDlg.h"
#include "card/RecorderDrives.h"
#include "card/ZtToPcDlg.h"
#include "cdwriter/CdWriterDlg.h"
#include "cdwriter/DriveMediumDlg.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace gui {

std::unique_ptr<CPageDlg> CreateDefaultPage(int templateId) {
    switch (templateId) {
    case res::IDD_ZT_TO_PC:
        return std::make_unique<CZtToPcDlg>();
    case res::IDD_PC_TO_ZT:
        return std::make_unique<CPcToZtDlg>();
    case res::IDD_CD_WRITER:
        return std::make_unique<CCdWriterDlg>();
    default:
        return std::make_unique<CBasicPage>(templateId);
    }
}

void RunDefaultDriveMedium(const std::string& driveName, int driveIndex) {
    auto dialog = std::make_unique<CDriveMediumDlg>();
    dialog->SetDriveName(driveName, driveIndex);
    dialog->DoModal();
}

CMainDlg::CMainDlg(QWidget* parent, PageFactory pageFactory, DriveMediumRunner driveMedium)
    : QDialog(parent), m_hIcon(res::AppIcon()),
      m_driveMedium(driveMedium ? std::move(driveMedium) : DriveMediumRunner(RunDefaultDriveMedium)) {
    if (!pageFactory)
        pageFactory = CreateDefaultPage;
    // The page objects exist from the start; their windows are made in OnInitDialog.
    m_page1 = pageFactory(res::IDD_ZT_TO_PC);
    m_page2 = pageFactory(res::IDD_PC_TO_ZT);
    m_page3 = pageFactory(res::IDD_CD_WRITER);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menuBar = new QMenuBar(this);
    res::BuildMenu(res::IDR_MENU, menuBar);
    layout->setMenuBar(menuBar);

    auto* client = new QWidget(this);
    res::BuildDialog(res::IDD_MAIN, client,
                     [this](const res::ControlTemplate& c, QWidget* owner) -> QWidget* {
                         if (c.id == res::IDC_TREE)
                             return m_tree = new CDirectoryTree(owner);
                         if (c.id == res::IDC_TAB)
                             return m_tab = new QTabWidget(owner);
                         return nullptr;
                     });
    LayOut(client);
    layout->addWidget(client);
    setWindowTitle(client->windowTitle());
    setFont(client->font());
    resize(client->width(), client->height() + menuBar->sizeHint().height());

    m_watcher = new CDriveWatcher(this);
    m_tree->SetDriveSource([this] { return m_watcher->MountPoints(); });
    connect(m_watcher, &CDriveWatcher::mountsChanged, this, &CMainDlg::OnMountsChanged);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnSelchangedTree(current); });
    connect(res::FindCommand(this, res::ID_TOOL_DRIVEMEDIUM), &QAction::triggered, this,
            &CMainDlg::OnDriveMedium);
    QAction* safeRemoval = res::FindCommand(this, res::ID_TOOL_SAFEREMOVAL);
    connect(safeRemoval, &QAction::triggered, this, &CMainDlg::OnSafeRemoval);
    // The selected drive is the pages' to change: the command is judged when the menu opens.
    if (auto* toolMenu = qobject_cast<QMenu*>(safeRemoval->parent()))
        connect(toolMenu, &QMenu::aboutToShow, this, &CMainDlg::EnableSafeRemoval);
    connect(res::FindCommand(this, res::ID_TOOL_SONGVIEW), &QAction::triggered, this, &CMainDlg::OnSongView);
    connect(res::FindCommand(this, res::ID_HELP_ABOUT), &QAction::triggered, this, &CMainDlg::OnAbout);
}

void CMainDlg::LayOut(QWidget* client) {
    // The template's places become the default size; the tree pane and the tab control then follow
    // the window, while the pages keep their own size at their place in the tab control.
    const QRect tree = m_tree->geometry();
    const QRect tab = m_tab->geometry();
    const QSize size = client->size();
    client->setMinimumSize(0, 0);
    client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto* splitter = new QSplitter(Qt::Horizontal, client);
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(std::max(1, tab.left() - tree.right() - 1));
    splitter->addWidget(m_tree);
    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, tab.top(), size.width() - tab.right() - 1,
                                    size.height() - tab.bottom() - 1);
    rightLayout->addWidget(m_tab);
    m_tab->setMinimumSize(tab.size());
    m_tree->setMinimumWidth(tree.width() / 2);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({tree.width(), size.width() - tab.left()});
    auto* clientLayout = new QHBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(splitter);
    client->resize(size);
}

CMainDlg::~CMainDlg() {
    // The pages go first, in order, before the window that holds them.
    m_page1.reset();
    m_page2.reset();
    m_page3.reset();
}

CPageDlg* CMainDlg::Page(int index) const {
    switch (index) {
    case 0:
        return m_page1.get();
    case 1:
        return m_page2.get();
    case 2:
        return m_page3.get();
    default:
        return nullptr;
    }
}

std::string CMainDlg::DesktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QDir(desktop).exists())
        return QDir::cleanPath(desktop).toStdString();
    return QDir::cleanPath(QDir::homePath()).toStdString();
}

int CMainDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CMainDlg::OnInitDialog() {
    // Window systems here give applications no system menu, so the About entry of string 101 has
    // nowhere to go; Help > About opens the same box.
    setWindowIcon(m_hIcon);

    if (!m_tree->Initialize()) {
        platform::Tell(AppMessageBox(), "Initialize error !");
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return true;
    }

    const std::string desktop = DesktopFolder();
    m_tree->SelectPath(desktop, true);
    m_page1->SetFolder(desktop);

    m_tab->addTab(new QWidget, QStringLiteral("ZT to PC"));
    m_tab->addTab(new QWidget, QStringLiteral("PC to ZT"));
    m_tab->addTab(new QWidget, QStringLiteral("CD Writer"));
    // Only a change of tab by the user (or by code afterwards) switches pages, not the insertion.
    connect(m_tab, &QTabWidget::currentChanged, this, &CMainDlg::OnSelchangeTab, Qt::UniqueConnection);

    CPageDlg* pages[3] = {m_page1.get(), m_page2.get(), m_page3.get()};
    for (int i = 0; i < 3; ++i) {
        pages[i]->Create(m_tab);
        pages[i]->move(2, 25);
        pages[i]->raise();
        pages[i]->setVisible(i == 0);
    }
    for (CPageDlg* page : pages)
        page->SetSharedSelection(&m_nDriveIndex, &m_nSongIndex);

    FindRecorderDrives();
    m_page1->SelectSong(0);

    // Decided once, when the CD writer page has listed its recorders (which may be after the window
    // opens: the recorder scan runs in the background); grey until then.
    if (QAction* driveMedium = res::FindCommand(this, res::ID_TOOL_DRIVEMEDIUM))
        driveMedium->setEnabled(false);
    m_page3->WhenCdDrivesListed([this] { EnableDriveMedium(); });
    EnableSafeRemoval();
    return true;
}

void CMainDlg::EnableDriveMedium() {
    if (QAction* driveMedium = res::FindCommand(this, res::ID_TOOL_DRIVEMEDIUM))
        driveMedium->setEnabled(!m_page3->GetCdDriveName().empty());
}

void CMainDlg::FindRecorderDrives() {
    m_page1->ResetDrives();
    // The machine's removable drives in order, then the card folders named on the command line.
    m_drives = m_watcher->RecorderDrives();
    for (const std::string& drive : m_drives) {
        m_page1->AddDrive(drive);
        m_page2->AddDrive(drive);
        m_page3->AddDrive(drive);
    }
    m_page1->SelectDrive(0);
    m_page2->SelectDrive(0);
    m_page3->SelectDrive(0);
}

void CMainDlg::OnMountsChanged() {
    if (!m_page1->IsCreated())
        return; // the window has not opened yet: it lists the drives when it does
    if (CProgressDlg::AnyRunning()) {
        // The job works on the drive it was given; the pages learn of the change once it has ended.
        if (!m_refreshPending)
            CProgressDlg::AfterJobs(this, [this] {
                m_refreshPending = false;
                RefreshRecorderDrives();
            });
        m_refreshPending = true;
        return;
    }
    RefreshRecorderDrives();
}

void CMainDlg::RefreshRecorderDrives() {
    m_tree->RefreshDrives();
    std::vector<std::string> drives = m_watcher->RecorderDrives();
    if (drives == m_drives)
        return;
    const bool hadSelection = m_nDriveIndex >= 0 && m_nDriveIndex < int(m_drives.size());
    const std::string selected = hadSelection ? m_drives[m_nDriveIndex] : std::string();
    const auto kept = std::find(drives.begin(), drives.end(), selected);
    const bool keep = hadSelection && kept != drives.end();
    const int index = keep ? int(kept - drives.begin()) : 0;
    m_drives = std::move(drives);
    for (int i = 0; i < 3; ++i) {
        CPageDlg* page = Page(i);
        page->ResetDrives();
        for (const std::string& drive : m_drives)
            page->AddDrive(drive);
        // Selecting the drive it showed again, a page keeps its song and ticked tracks.
        page->SelectDrive(index);
    }
    if (!keep)
        for (int i = 0; i < 3; ++i)
            Page(i)->SelectSong(0);
    EnableSafeRemoval();
}

void CMainDlg::EnableSafeRemoval() {
    const bool card = m_nDriveIndex >= 0 && m_nDriveIndex < int(m_drives.size()) &&
                      m_watcher->IsRemovable(m_drives[m_nDriveIndex]);
    if (QAction* safeRemoval = res::FindCommand(this, res::ID_TOOL_SAFEREMOVAL))
        safeRemoval->setEnabled(card && !m_removing && !CProgressDlg::AnyRunning());
}

void CMainDlg::OnSafeRemoval() {
    if (m_removing || m_nDriveIndex < 0 || m_nDriveIndex >= int(m_drives.size()))
        return;
    const std::string drive = m_drives[m_nDriveIndex];
    m_removing = true;
    EnableSafeRemoval();
    m_watcher->SafelyRemove(drive, [this, drive](card::Removal result, const std::string& detail) {
        m_removing = false;
        EnableSafeRemoval();
        platform::Tell(AppMessageBox(), card::RemovalText(result, drive, detail));
    });
}

void CMainDlg::OnSelchangeTab() {
    m_page1->hide();
    m_page2->hide();
    m_page3->hide();
    const int selection = m_tab->currentIndex();
    const std::string path = m_tree->GetItemPath(m_tree->currentItem());
    CPageDlg* page = Page(selection);
    if (!page)
        return;
    page->SetFolder(path);
    page->SelectDrive(m_nDriveIndex);
    page->SelectSong(m_nSongIndex);
    page->show();
}

void CMainDlg::OnSelchangedTree(QTreeWidgetItem* item) {
    if (!item)
        return;
    const std::string path = m_tree->GetItemPath(item);
    if (CPageDlg* page = Page(m_tab->currentIndex()))
        page->SetFolder(path);
}

void CMainDlg::OnDriveMedium() {
    m_driveMedium(m_page3->GetCdDriveName(), m_page3->GetCdDriveIndex());
}

// The song view belongs to the "ZT to PC" page, whose tracks it ticks: that page is shown first.
void CMainDlg::OnSongView() {
    m_tab->setCurrentIndex(0);
    if (auto* page = dynamic_cast<CZtToPcDlg*>(m_page1.get()))
        page->OnSongView();
}

void CMainDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses the push button that has the focus; anywhere else it is the dialog's OK.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace gui
