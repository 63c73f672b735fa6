// Templates and the builder: every control is made at its converted position with its id, kind,
// text and styles; sorted combos, the menu, the string table and the icon.

#include "NoWindowLeft.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace res;

class ResourcesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { VERIFY_NO_WINDOW_LEFT(); }
    void everyControlIsBuiltWhereTheTemplateSays_data();
    void everyControlIsBuiltWhereTheTemplateSays();
    void trackBoxesFollowTheirOddNumbering();
    void pagesFitTheirTabControl();
    void sortedCombosInsertInOrder();
    void menuStringAndIcon();
};

void ResourcesTest::everyControlIsBuiltWhereTheTemplateSays_data() {
    QTest::addColumn<int>("id");
    for (int id :
         {IDD_ABOUTBOX, IDD_MAIN, IDD_ZT_TO_PC, IDD_PC_TO_ZT, IDD_CD_WRITER, IDD_PROGRESS, IDD_DRIVE_MEDIUM})
        QTest::addRow("%d", id) << id;
}

void ResourcesTest::everyControlIsBuiltWhereTheTemplateSays() {
    QFETCH(int, id);
    const DialogTemplate* t = FindDialogTemplate(id);
    QVERIFY(t);
    QWidget host;
    QVERIFY(BuildDialog(id, &host));
    const DialogUnits units(host.font());
    QCOMPARE(host.size(), QSize(units.X(t->cx), units.Y(t->cy)));
    QCOMPARE(host.font().pointSize(), t->pointSize);

    for (const ControlTemplate& c : t->controls) {
        if (c.id == IDC_STATIC)
            continue;
        QWidget* w = FindControl(&host, c.id);
        QVERIFY2(w, qPrintable(QString("control %1").arg(c.id)));
        QCOMPARE(ControlId(w), c.id);
        const QRect expected = units.Rect(c.x, c.y, c.cx, c.cy);
        QCOMPARE(w->pos(), expected.topLeft());
        if (c.kind != Kind::ComboBox)
            QCOMPARE(w->size(), expected.size());
        else
            QVERIFY(w->height() <= expected.height()); // closed box, list below
        QCOMPARE(w->isEnabled(), !(c.style & S_DISABLED));
        const QString text = QString::fromUtf8(c.text);
        switch (c.kind) {
        case Kind::Static: {
            auto* label = qobject_cast<QLabel*>(w);
            QVERIFY(label);
            QCOMPARE(label->text(), text);
            QCOMPARE(bool(label->alignment() & Qt::AlignRight), bool(c.style & S_RIGHT));
            break;
        }
        case Kind::PushButton:
            QVERIFY(qobject_cast<QPushButton*>(w));
            QCOMPARE(qobject_cast<QPushButton*>(w)->text(), text);
            QCOMPARE(qobject_cast<QPushButton*>(w)->isDefault(), bool(c.style & S_DEFAULT));
            break;
        case Kind::CheckBox:
            QCOMPARE(qobject_cast<QCheckBox*>(w)->text(), text);
            break;
        case Kind::RadioButton:
            QCOMPARE(qobject_cast<QRadioButton*>(w)->text(), text);
            break;
        case Kind::ComboBox:
            QVERIFY(qobject_cast<QComboBox*>(w));
            QCOMPARE(qobject_cast<QComboBox*>(w)->isEditable(), bool(c.style & S_DROPDOWN));
            break;
        case Kind::ListView:
        case Kind::TreeView:
            QVERIFY(qobject_cast<QTreeWidget*>(w));
            break;
        case Kind::TabControl:
            QVERIFY(qobject_cast<QTabWidget*>(w));
            break;
        case Kind::ProgressBar:
            QVERIFY(qobject_cast<QProgressBar*>(w));
            break;
        case Kind::Icon:
        case Kind::GroupBox:
            break;
        }
    }
}

void ResourcesTest::trackBoxesFollowTheirOddNumbering() {
    for (int page : {IDD_ZT_TO_PC, IDD_PC_TO_ZT}) {
        QWidget host;
        BuildDialog(page, &host);
        for (int i = 0; i < 16; ++i) {
            auto* box = Control<QCheckBox>(&host, IDC_TRACK[i]);
            QVERIFY(box);
            QCOMPARE(box->text(), QString("TR%1").arg(i + 1));
        }
        QCOMPARE(Control<QCheckBox>(&host, 1068)->text(), QString("TR13"));
    }
    // The two radio buttons of a page form one group: checking one unchecks the other.
    QWidget host;
    BuildDialog(IDD_ZT_TO_PC, &host);
    auto* all = Control<QRadioButton>(&host, IDC_MODE_ALL);
    auto* ab = Control<QRadioButton>(&host, IDC_MODE_AB);
    all->setChecked(true);
    ab->setChecked(true);
    QVERIFY(!all->isChecked());
}

void ResourcesTest::pagesFitTheirTabControl() {
    // Pages sit at (2, 25) pixels inside the tab control and must not run past it.
    QWidget main, page;
    BuildDialog(IDD_MAIN, &main);
    BuildDialog(IDD_CD_WRITER, &page);
    QWidget* tab = FindControl(&main, IDC_TAB);
    QVERIFY(2 + page.width() <= tab->width());
    QVERIFY(25 + page.height() <= tab->height());
}

void ResourcesTest::sortedCombosInsertInOrder() {
    QWidget host;
    BuildDialog(IDD_ZT_TO_PC, &host);
    auto* sorted = Control<QComboBox>(&host, IDC_DRIVE);
    QCOMPARE(AddString(sorted, "/media/b"), 0);
    QCOMPARE(AddString(sorted, "/media/A"), 0);
    QCOMPARE(AddString(sorted, "/media/c"), 2);
    QCOMPARE(sorted->currentIndex(), -1); // adding selects nothing
    QCOMPARE(sorted->itemText(1), QString("/media/b"));

    QWidget cd;
    BuildDialog(IDD_CD_WRITER, &cd);
    auto* unsorted = Control<QComboBox>(&cd, IDC_CD_DRIVE);
    AddString(unsorted, "ZZ Writer");
    QCOMPARE(AddString(unsorted, "AA Writer"), 1);
}

void ResourcesTest::menuStringAndIcon() {
    QMenuBar bar;
    BuildMenu(IDR_MENU, &bar);
    QCOMPARE(bar.actions().size(), 2);
    QCOMPARE(bar.actions()[0]->text(), QString("Tool(&T)"));
    QCOMPARE(bar.actions()[1]->text(), QString("Help(&H)"));
    QCOMPARE(FindCommand(&bar, ID_TOOL_DRIVEMEDIUM)->text(), QString("Drive/Medium(&D)"));
    QCOMPARE(FindCommand(&bar, ID_HELP_ABOUT)->text(), QString("About Pelmora(&A)"));
    QCOMPARE(QString::fromStdString(LoadString(IDS_ABOUTBOX)),
             QString::fromUtf8("バージョン情報 Pelmora(&A)..."));
    QVERIFY(LoadString(9999).empty());
    QVERIFY(!AppIcon().pixmap(32, 32).isNull());
}

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
