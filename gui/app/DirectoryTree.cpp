#include "app/DirectoryTree.h"

#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>
#include <set>
#include <vector>

namespace gui {
namespace {

constexpr int kPathRole = Qt::UserRole;

bool IsSubfolder(const platform::FindEntry& e) {
    return (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) && e.name != "." && e.name != "..";
}

// The drive's text as it is shown, with the separator that joins it to a folder name below it.
std::string WithSeparator(const std::string& text) {
    return !text.empty() && text.back() == '/' ? text : text + "/";
}

// Drives are mount points and places are folders; they may nest ("/", "/home", the home folder): the
// longest one holding the path wins.
QTreeWidgetItem* DriveHolding(QTreeWidgetItem* root, const std::string& path, size_t* driveLength) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        const std::string drive = root->child(i)->data(0, kPathRole).toString().toStdString();
        const bool holds = path == drive || path.rfind(WithSeparator(drive), 0) == 0;
        if (holds && (!item || drive.size() > *driveLength)) {
            item = root->child(i);
            *driveLength = drive.size();
        }
    }
    return item;
}

// The folder names of path after its first `from` characters.
std::vector<std::string> Components(const std::string& path, size_t from) {
    std::vector<std::string> components;
    size_t start = from;
    while (start < path.size()) {
        const size_t slash = path.find('/', start);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

} // namespace

std::vector<CDirectoryTree::Place> CDirectoryTree::StandardPlaces() {
    std::vector<Place> places;
    const auto add = [&places](QStandardPaths::StandardLocation location) {
        const QString path = QStandardPaths::writableLocation(location);
        if (path.isEmpty() || !QDir(path).exists())
            return;
        const std::string clean = QDir::cleanPath(path).toStdString();
        // Where there is no folder of its own, a location falls back to the home folder.
        if (std::none_of(places.begin(), places.end(), [&](const Place& p) { return p.path == clean; }))
            places.push_back({QStandardPaths::displayName(location).toStdString(), clean});
    };
    add(QStandardPaths::HomeLocation);
    add(QStandardPaths::MusicLocation);
    add(QStandardPaths::DesktopLocation);
    return places;
}

CDirectoryTree::CDirectoryTree(QWidget* parent) : QTreeWidget(parent) {
    m_driveSource = [] {
        std::vector<std::string> paths;
        for (const auto& m : platform::ListMounts())
            paths.push_back(m.path);
        return paths;
    };
    m_placeSource = StandardPlaces;
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Long paths scroll sideways instead of being cut.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemExpanded, this, &CDirectoryTree::OnItemExpanding);
}

bool CDirectoryTree::Initialize() {
    clear();
    const std::vector<std::string> drives = m_driveSource ? m_driveSource() : std::vector<std::string>();
    if (drives.empty())
        return false;

    QFileIconProvider icons;
    QIcon computer = icons.icon(QAbstractFileIconProvider::Computer);
    if (computer.isNull())
        computer = style()->standardIcon(QStyle::SP_ComputerIcon);
    auto* root = new QTreeWidgetItem(QStringList(QStringLiteral("Computer")));
    root->setIcon(0, computer);
    addTopLevelItem(root);

    m_placeCount = 0;
    for (const Place& place : m_placeSource ? m_placeSource() : std::vector<Place>()) {
        if (!platform::IsDirectory(place.path))
            continue;
        root->addChild(MakeItem(QString::fromStdString(place.text), place.path, QString()));
        ++m_placeCount;
    }
    for (const std::string& drive : drives)
        root->addChild(MakeItem(QString::fromStdString(drive), drive, QString()));
    // The drive list is fixed from here on: expanding the root reads nothing.
    m_populating = true;
    expandItem(root);
    m_populating = false;
    return true;
}

QTreeWidgetItem* CDirectoryTree::MakeItem(const QString& text, const std::string& path,
                                          const QString& placeholder) const {
    QIcon normal, open;
    GetItemIcons(path, &normal, &open);
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setIcon(0, normal);
    item->setData(0, kPathRole, QString::fromStdString(path));
    if (HasSubfolders(path))
        item->addChild(new QTreeWidgetItem(QStringList(placeholder)));
    return item;
}

void CDirectoryTree::RefreshDrives() {
    QTreeWidgetItem* root = RootItem();
    if (!root || !m_driveSource)
        return;
    const std::vector<std::string> drives = m_driveSource();
    for (int i = root->childCount() - 1; i >= m_placeCount; --i) {
        const std::string path = GetItemPath(root->child(i));
        if (std::find(drives.begin(), drives.end(), path) == drives.end())
            delete root->takeChild(i);
    }
    // The drives that stay are in the source's order already: the new ones go in between.
    for (int i = 0; i < int(drives.size()); ++i) {
        QTreeWidgetItem* at = root->child(m_placeCount + i);
        if (!at || GetItemPath(at) != drives[i])
            root->insertChild(m_placeCount + i,
                              MakeItem(QString::fromStdString(drives[i]), drives[i], QString()));
    }
}

QTreeWidgetItem* CDirectoryTree::TopItem(const std::string& path) const {
    QTreeWidgetItem* root = RootItem();
    for (int i = 0; root && i < root->childCount(); ++i)
        if (GetItemPath(root->child(i)) == path)
            return root->child(i);
    return nullptr;
}

void CDirectoryTree::GetItemIcons(const std::string& path, QIcon* normal, QIcon* open) const {
    static QFileIconProvider provider;
    const QFileInfo info(QString::fromStdString(path));
    QIcon icon = provider.icon(info);
    if (icon.isNull())
        icon = style()->standardIcon(info.isRoot() ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon);
    *normal = icon;
    *open = icon;
}

bool CDirectoryTree::HasSubfolders(const std::string& path) {
    // Hidden folders count here although they are not listed: the button then opens onto nothing.
    for (const auto& e : platform::FindFiles(path, "*"))
        if (IsSubfolder(e))
            return true;
    return false;
}

void CDirectoryTree::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    const QString text = child->text(0);
    int at = 0;
    while (at < parent->childCount()) {
        const QString other = parent->child(at)->text(0);
        const int c = QString::compare(other, text, Qt::CaseInsensitive);
        if (c > 0 || (c == 0 && other.compare(text) > 0))
            break;
        ++at;
    }
    parent->insertChild(at, child);
}

bool CDirectoryTree::PopulateItem(QTreeWidgetItem* item, const std::string& path) {
    if (!item || item == RootItem())
        return false;
    const std::string folder = path.empty() ? GetItemPath(item) : path;

    // Rebuilding deletes the selected item when it lies below: the selection is put back on the
    // same folder afterwards instead of jumping to whatever neighbour the view picks.
    QTreeWidgetItem* current = currentItem();
    QTreeWidgetItem* selectedChild = current;
    while (selectedChild && selectedChild->parent() != item)
        selectedChild = selectedChild->parent();
    const QString reselect = selectedChild ? selectedChild->text(0) : QString();
    const bool restoreSelection = selectedChild != nullptr;
    const std::string selectedPath = restoreSelection ? GetItemPath(current) : std::string();
    const bool ok = RebuildChildren(item, folder);
    if (restoreSelection) {
        QTreeWidgetItem* again = nullptr;
        for (int i = 0; i < item->childCount() && !again; ++i)
            if (item->child(i)->text(0) == reselect)
                again = item->child(i);
        QTreeWidgetItem* target = again ? again : item;
        // Nobody needs to hear of a selection that still names the same folder.
        QSignalBlocker quiet(this);
        if (GetItemPath(target) != selectedPath)
            quiet.unblock();
        setCurrentItem(target);
    }
    return ok;
}

bool CDirectoryTree::RebuildChildren(QTreeWidgetItem* item, const std::string& folder) {
    const QSignalBlocker quiet(this);
    qDeleteAll(item->takeChildren());

    const std::vector<platform::FindEntry> entries = platform::FindFiles(folder, "*");
    if (entries.empty() && !platform::IsDirectory(folder))
        return false;
    // /proc, /sys, /dev, /run and the like are the system's views, not folders to work in.
    const std::vector<std::string> views = platform::ListSystemViewMounts();
    const std::set<std::string> systemViews(views.begin(), views.end());
    for (const auto& e : entries) {
        if (!IsSubfolder(e) || (e.attributes & platform::FILE_ATTRIBUTE_HIDDEN))
            continue;
        const std::string full = platform::JoinPath(folder, e.name);
        if (systemViews.count(full))
            continue;
        const QString name = QString::fromStdString(e.name);
        InsertSorted(item, MakeItem(name, full, name));
    }
    return true;
}

void CDirectoryTree::OnItemExpanding(QTreeWidgetItem* item) {
    if (m_populating)
        return;
    PopulateItem(item);
}

std::string CDirectoryTree::GetItemPath(const QTreeWidgetItem* item) const {
    if (!item || !item->parent())
        return {};
    return item->data(0, kPathRole).toString().toStdString();
}

bool CDirectoryTree::SelectPath(const std::string& path, bool scroll) {
    if (!platform::IsDirectory(path))
        return false;
    QTreeWidgetItem* root = RootItem();
    if (!root)
        return false;

    size_t driveLength = 0;
    QTreeWidgetItem* item = DriveHolding(root, path, &driveLength);
    if (!item)
        return false;
    for (const std::string& component : Components(path, driveLength)) {
        PopulateItem(item);
        m_populating = true;
        expandItem(item);
        m_populating = false;
        if (item->childCount() == 0)
            return false;
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (item->child(i)->text(0).toStdString() == component)
                next = item->child(i);
        if (!next)
            return false;
        item = next;
    }
    setCurrentItem(item);
    if (scroll)
        scrollToItem(item, QAbstractItemView::PositionAtTop);
    return true;
}

} // namespace gui
