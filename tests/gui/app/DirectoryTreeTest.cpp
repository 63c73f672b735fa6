// The folder tree over folders that stand in for drives: placeholders, lazy and repeated reading,
// hidden folders, sorting, item paths and selecting a path.

#include "app/DirectoryTree.h"
#include "NoWindowLeft.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using gui::CDirectoryTree;

namespace {

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

QStringList Texts(QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

} // namespace

class DirectoryTreeTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void drivesAndPlaceholders();
    void noDriveMeansNoTree();
    void expandingListsVisibleFoldersSortedAndRereads();
    void itemPaths();
    void selectPath();
    void nestedDrivesPickTheLongest();
    void placesComeFirstAndShareTheirFolders();
    void systemViewsAreNotOffered();
    void refreshedDrivesKeepWhatStays();

private:
    void Mk(const QString& relative) { QVERIFY(QDir().mkpath(m_dir->filePath(relative))); }
    std::string P(const QString& relative) const { return m_dir->filePath(relative).toStdString(); }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CDirectoryTree> m_tree;
};

void DirectoryTreeTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    Mk("d1/Music/Live");
    Mk("d1/b");
    Mk("d1/Audio");
    Mk("d1/c");
    Mk("d1/.cache");
    Mk("d1/onlyhidden/.secret");
    Mk("d2");
    m_tree = std::make_unique<CDirectoryTree>();
    m_tree->SetPlaceSource({}); // drives only; placesComeFirst covers the places
    m_tree->SetDriveSource([this] { return std::vector<std::string>{P("d1"), P("d2"), P("missing")}; });
    QVERIFY(m_tree->Initialize());
}

void DirectoryTreeTest::cleanup() {
    m_tree.reset();
    m_dir.reset();
    VERIFY_NO_WINDOW_LEFT();
}

void DirectoryTreeTest::drivesAndPlaceholders() {
    QTreeWidgetItem* root = m_tree->RootItem();
    QCOMPARE(m_tree->topLevelItemCount(), 1);
    QCOMPARE(root->text(0), QString("Computer"));
    QVERIFY(root->isExpanded());
    QCOMPARE(Texts(root), QStringList({QString::fromStdString(P("d1")), QString::fromStdString(P("d2")),
                                       QString::fromStdString(P("missing"))}));
    // A drive with folders gets an expand button (an empty placeholder); an empty one or one that
    // cannot be listed gets none.
    QCOMPARE(root->child(0)->childCount(), 1);
    QCOMPARE(root->child(0)->child(0)->text(0), QString());
    QCOMPARE(root->child(1)->childCount(), 0);
    QCOMPARE(root->child(2)->childCount(), 0);
    // Re-initialising starts over rather than adding a second root.
    QVERIFY(m_tree->Initialize());
    QCOMPARE(m_tree->topLevelItemCount(), 1);
}

void DirectoryTreeTest::noDriveMeansNoTree() {
    m_tree->SetDriveSource([] { return std::vector<std::string>(); });
    QVERIFY(!m_tree->Initialize());
}

void DirectoryTreeTest::expandingListsVisibleFoldersSortedAndRereads() {
    QTreeWidgetItem* drive = m_tree->RootItem()->child(0);
    m_tree->expandItem(drive);
    QCOMPARE(Texts(drive), QStringList({"Audio", "b", "c", "Music", "onlyhidden"}));
    // Placeholders carry the folder's own name; folders without subfolders get none.
    QCOMPARE(Texts(Child(drive, "Music")), QStringList({"Music"}));
    QCOMPARE(Child(drive, "Audio")->childCount(), 0);
    // Hidden subfolders give the button but expanding shows nothing.
    QTreeWidgetItem* onlyHidden = Child(drive, "onlyhidden");
    QCOMPARE(onlyHidden->childCount(), 1);
    m_tree->expandItem(onlyHidden);
    QCOMPARE(onlyHidden->childCount(), 0);

    // Collapsing keeps the children; expanding again reads the folder again.
    m_tree->collapseItem(drive);
    Mk("d1/a-new");
    QVERIFY(QDir(m_dir->filePath("d1/c")).removeRecursively());
    QCOMPARE(drive->childCount(), 5);
    m_tree->expandItem(drive);
    QCOMPARE(Texts(drive), QStringList({"a-new", "Audio", "b", "Music", "onlyhidden"}));

    // A folder that vanished is shown without children.
    QTreeWidgetItem* music = Child(drive, "Music");
    QVERIFY(QDir(m_dir->filePath("d1/Music")).removeRecursively());
    m_tree->expandItem(music);
    QCOMPARE(music->childCount(), 0);
}

void DirectoryTreeTest::itemPaths() {
    QTreeWidgetItem* root = m_tree->RootItem();
    QTreeWidgetItem* drive = root->child(0);
    QCOMPARE(m_tree->GetItemPath(root), std::string());
    QCOMPARE(m_tree->GetItemPath(nullptr), std::string());
    QCOMPARE(m_tree->GetItemPath(drive), P("d1"));
    m_tree->expandItem(drive);
    QTreeWidgetItem* music = Child(drive, "Music");
    m_tree->expandItem(music);
    QCOMPARE(m_tree->GetItemPath(Child(music, "Live")), P("d1/Music/Live"));

    // A drive text that already ends with the separator does not get a second one.
    CDirectoryTree system;
    system.SetPlaceSource({});
    system.SetDriveSource([] { return std::vector<std::string>{"/"}; });
    QVERIFY(system.Initialize());
    QTreeWidgetItem* slash = system.RootItem()->child(0);
    QCOMPARE(system.GetItemPath(slash), std::string("/"));
    system.expandItem(slash);
    QCOMPARE(system.GetItemPath(Child(slash, "tmp")), std::string("/tmp"));
}

void DirectoryTreeTest::selectPath() {
    QVERIFY(m_tree->SelectPath(P("d1/Music/Live"), true));
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d1/Music/Live"));
    QVERIFY(m_tree->currentItem()->parent()->isExpanded());
    QVERIFY(m_tree->SelectPath(P("d2"), false));
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d2"));
    QVERIFY(m_tree->SelectPath(P("d1/Audio/"), false));
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d1/Audio"));

    // A failed search re-reads folders on its way but leaves the same folder selected.
    QVERIFY(!m_tree->SelectPath(P("d1/music/Live"), true)); // letter case differs
    QVERIFY(!m_tree->SelectPath(P("d1/nothing"), true));
    QVERIFY(!m_tree->SelectPath(P("d1/.cache"), true)); // exists, but hidden folders are not listed
    QVERIFY(!m_tree->SelectPath(QDir::rootPath().toStdString() + "proc-not-there", true));
    QVERIFY(!m_tree->SelectPath("/", true)); // no drive holds it
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d1/Audio"));

    // Re-reading a folder by expanding it keeps the selection on the same folder, or on the
    // expanded one when the selected folder has gone.
    QVERIFY(m_tree->SelectPath(P("d1/Music/Live"), false));
    QTreeWidgetItem* drive = m_tree->RootItem()->child(0);
    m_tree->collapseItem(drive);
    m_tree->expandItem(drive);
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d1/Music"));
    QVERIFY(QDir(m_dir->filePath("d1/Music")).removeRecursively());
    m_tree->collapseItem(drive);
    m_tree->expandItem(drive);
    QCOMPARE(m_tree->currentItem(), drive);
}

void DirectoryTreeTest::nestedDrivesPickTheLongest() {
    Mk("outer/inner/deep");
    Mk("outer/innerx/deep");
    CDirectoryTree tree;
    tree.SetDriveSource([this] { return std::vector<std::string>{P("outer"), P("outer/inner")}; });
    QVERIFY(tree.Initialize());
    QVERIFY(tree.SelectPath(P("outer/inner/deep"), false));
    QCOMPARE(tree.currentItem()->parent()->text(0), QString::fromStdString(P("outer/inner")));
    // "inner" is not a prefix of "innerx": that one is reached through the outer drive.
    QVERIFY(tree.SelectPath(P("outer/innerx/deep"), false));
    QCOMPARE(tree.currentItem()->parent()->parent()->text(0), QString::fromStdString(P("outer")));
}

void DirectoryTreeTest::placesComeFirstAndShareTheirFolders() {
    CDirectoryTree tree;
    tree.SetPlaceSource([this] {
        return std::vector<CDirectoryTree::Place>{
            {"Home", P("d1")}, {"Music", P("d1/Music")}, {"Gone", P("no")}};
    });
    tree.SetDriveSource([this] { return std::vector<std::string>{P("d1"), P("d2")}; });
    QVERIFY(tree.Initialize());
    QTreeWidgetItem* root = tree.RootItem();
    QCOMPARE(Texts(root), QStringList({"Home", "Music", QString::fromStdString(P("d1")),
                                       QString::fromStdString(P("d2"))}));
    // One folder, whichever way it is reached: through its place, its home, or the drive.
    QCOMPARE(tree.GetItemPath(Child(root, "Music")), P("d1/Music"));
    tree.expandItem(root->child(2));
    QCOMPARE(tree.GetItemPath(Child(root->child(2), "Music")), P("d1/Music"));
    QVERIFY(tree.SelectPath(P("d1/Music/Live"), false));
    QCOMPARE(tree.currentItem()->parent(), Child(root, "Music"));
    QCOMPARE(tree.GetItemPath(tree.currentItem()), P("d1/Music/Live"));
    QVERIFY(tree.SelectPath(P("d1/Music"), false));
    QCOMPARE(tree.currentItem(), Child(root, "Music"));
}

void DirectoryTreeTest::systemViewsAreNotOffered() {
    CDirectoryTree tree;
    tree.SetPlaceSource({});
    tree.SetDriveSource([] { return std::vector<std::string>{"/"}; });
    QVERIFY(tree.Initialize());
    QTreeWidgetItem* slash = tree.RootItem()->child(0);
    tree.expandItem(slash);
    for (const char* view : {"proc", "sys", "dev"})
        QVERIFY2(!Child(slash, view), view);
    QVERIFY(Child(slash, "tmp") || !QDir("/tmp").exists());
}

void DirectoryTreeTest::refreshedDrivesKeepWhatStays() {
    Mk("d3");
    std::vector<std::string> drives = {P("d1"), P("d2")};
    m_tree->SetDriveSource([&drives] { return drives; });
    QVERIFY(m_tree->Initialize());
    QVERIFY(m_tree->SelectPath(P("d1/Music"), false));
    QTreeWidgetItem* d1 = m_tree->RootItem()->child(0);
    drives = {P("d1"), P("d3")};
    m_tree->RefreshDrives();
    QCOMPARE(Texts(m_tree->RootItem()),
             QStringList({QString::fromStdString(P("d1")), QString::fromStdString(P("d3"))}));
    QCOMPARE(m_tree->RootItem()->child(0), d1); // the same item, still open on the same folder
    QCOMPARE(m_tree->GetItemPath(m_tree->currentItem()), P("d1/Music"));
}

QTEST_MAIN(DirectoryTreeTest)
#include "DirectoryTreeTest.moc"
