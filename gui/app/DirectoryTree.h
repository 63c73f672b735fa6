#pragma once
// The folder tree of the main window: root "Computer", one item per drive (mounted file system),
// folders read from disk only when their item is expanded, again at every expansion.

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

namespace gui {

class CDirectoryTree : public QTreeWidget {
public:
    // Mount points to list as drives; the default lists the machine's mounted file systems.
    using DriveSource = std::function<std::vector<std::string>()>;

    explicit CDirectoryTree(QWidget* parent = nullptr);

    void SetDriveSource(DriveSource source) { m_driveSource = std::move(source); }

    // Builds the tree from scratch; false when no drive can be listed.
    bool Initialize();
    // Opens the tree down to an existing folder and selects it; with `scroll` it also becomes the
    // first visible item. False when the path is no existing folder or is not found in the tree.
    bool SelectPath(const std::string& path, bool scroll);
    // The file-system path of an item: a drive gives its mount path, the root the empty string.
    std::string GetItemPath(const QTreeWidgetItem* item) const;

    QTreeWidgetItem* RootItem() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }

protected:
    bool PopulateItem(QTreeWidgetItem* item, const std::string& path = {});
    static bool HasSubfolders(const std::string& path);
    void GetItemIcons(const std::string& path, QIcon* normal, QIcon* open) const;

private:
    void OnItemExpanding(QTreeWidgetItem* item);
    bool RebuildChildren(QTreeWidgetItem* item, const std::string& folder);
    static void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);

    DriveSource m_driveSource;
    bool m_populating = false;
};

} // namespace gui
