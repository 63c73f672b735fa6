#pragma once
// The folder tree of the main window: root "Computer"; below it the user's home and standard folders,
// then one item per drive (mounted file system); folders read from disk only when their item is
// expanded, again at every expansion. Every item carries its full path.

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

namespace gui {

class CDirectoryTree : public QTreeWidget {
public:
    // Mount points to list as drives; the default lists the machine's mounted file systems.
    using DriveSource = std::function<std::vector<std::string>()>;
    // A folder listed before the drives: its text and its path.
    struct Place {
        std::string text;
        std::string path;
    };
    using PlaceSource = std::function<std::vector<Place>()>;

    explicit CDirectoryTree(QWidget* parent = nullptr);

    void SetDriveSource(DriveSource source) { m_driveSource = std::move(source); }
    // The default lists the home folder, then Music and Desktop where they exist.
    void SetPlaceSource(PlaceSource source) { m_placeSource = std::move(source); }
    static std::vector<Place> StandardPlaces();

    // Builds the tree from scratch; false when no drive can be listed.
    bool Initialize();
    // Lists the drives again: items of drives that have gone are removed, new ones inserted in order;
    // those that stay keep their folders as they are opened.
    void RefreshDrives();
    // Opens the tree down to an existing folder and selects it; with `scroll` it also becomes the
    // first visible item. False when the path is no existing folder or is not found in the tree.
    bool SelectPath(const std::string& path, bool scroll);
    // The file-system path of an item: a drive gives its mount path, the root the empty string.
    std::string GetItemPath(const QTreeWidgetItem* item) const;
    // The item of a place or a drive whose path is `path`; null when none is.
    QTreeWidgetItem* TopItem(const std::string& path) const;

    QTreeWidgetItem* RootItem() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }

protected:
    bool PopulateItem(QTreeWidgetItem* item, const std::string& path = {});
    static bool HasSubfolders(const std::string& path);
    void GetItemIcons(const std::string& path, QIcon* normal, QIcon* open) const;

private:
    void OnItemExpanding(QTreeWidgetItem* item);
    QTreeWidgetItem* MakeItem(const QString& text, const std::string& path, const QString& placeholder) const;
    bool RebuildChildren(QTreeWidgetItem* item, const std::string& folder);
    static void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);

    DriveSource m_driveSource;
    PlaceSource m_placeSource;
    int m_placeCount = 0;
    bool m_populating = false;
};

} // namespace gui
