#include "app/DirectoryTree.h"

#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyle>

#include <vector>

namespace gui {
namespace {

bool IsSubfolder(const platform::FindEntry& e) {
    return (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) && e.name != "." && e.name != "..";
}

// The drive's text as it is shown, with the separator that joins it to a folder name below it.
std::string WithSeparator(const std::string& text) {
    return !text.empty() && text.back() == '/' ? text : text + "/";
}

// Drives are mount points and may nest ("/" and "/home"): the longest one holding the path wins.
QTreeWidgetItem* DriveHolding(QTreeWidgetItem* root, const std::string& path, size_t* driveLength) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        const std::string drive = root->child(i)->text(0).toStdString();
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

CDirectoryTree::CDirectoryTree(QWidget* parent) : QTreeWidget(parent) {
    m_driveSource = [] {
        std::vector<std::string> paths;
        for (const auto& m : platform::ListMounts())
            paths.push_back(m.path);
        return paths;
    };
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

    for (const std::string& drive : drives) {
        QIcon normal, open;
        GetItemIcons(drive, &normal, &open);
        auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(drive)));
        item->setIcon(0, normal);
        root->addChild(item);
        if (HasSubfolders(drive))
            item->addChild(new QTreeWidgetItem(QStringList(QString())));
    }
    // The drive list is fixed from here on: expanding the root reads nothing.
    m_populating = true;
    expandItem(root);
    m_populating = false;
    return true;
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
    for (const auto& e : entries) {
        if (!IsSubfolder(e) || (e.attributes & platform::FILE_ATTRIBUTE_HIDDEN))
            continue;
        const std::string full = platform::JoinPath(folder, e.name);
        QIcon normal, open;
        GetItemIcons(full, &normal, &open);
        const QString name = QString::fromStdString(e.name);
        auto* child = new QTreeWidgetItem(QStringList(name));
        child->setIcon(0, normal);
        InsertSorted(item, child);
        if (HasSubfolders(full))
            child->addChild(new QTreeWidgetItem(QStringList(name)));
    }
    return true;
}

void CDirectoryTree::OnItemExpanding(QTreeWidgetItem* item) {
    if (m_populating)
        return;
    PopulateItem(item);
}

std::string CDirectoryTree::GetItemPath(const QTreeWidgetItem* item) const {
    std::string path;
    bool first = true;
    for (; item && item->parent(); item = item->parent()) {
        std::string text = item->text(0).toStdString();
        if (!first)
            text = WithSeparator(text);
        path.insert(0, text);
        first = false;
    }
    return path;
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
