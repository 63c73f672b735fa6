// An import clicked through in a real X window: the program's main window on an X server (Xvfb in the
// test command), driven by real pointer events from xdotool, and the files it writes read back.

#include "NoWindowLeft.h"
#include "ScratchHome.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "app/DirectoryTree.h"
#include "app/MainDlg.h"
#include "app/QtMessageBox.h"
#include "card/CardRules.h"
#include "card/RecorderDrives.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QApplication>
#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using adl::EditType;
using adl::SampleRateCode;

namespace {

// Moves the X pointer onto the widget's centre and clicks there; the events reach the program through
// the X server like a user's.
void XClick(QWidget* widget) {
    const QPoint at = widget->mapToGlobal(widget->rect().center());
    QProcess::startDetached(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(at.x()),
                                                        QString::number(at.y()), "click", "1"});
}

} // namespace

class XImportTest : public QObject {
    Q_OBJECT

private slots:
    void importClickedThrough();
};

void XImportTest::importClickedThrough() {
    QTemporaryDir dir;
    QVERIFY(UseScratchHome(dir));
    const std::string root = dir.path().toStdString(), card = root + "/card", pc = root + "/pc";
    for (const std::string& folder : {card, card + "/Song01", pc})
        QVERIFY(platform::CreateDirectory(folder));
    QVERIFY(testsupport::WriteCardWav(card + "/Song01/zt50001.wav", 1, 4000));
    QVERIFY(testsupport::WriteCardWav(card + "/Song01/zt50002.wav", 2, 3000));
    QVERIFY(testsupport::WriteText(
        card::AdlPath(card, "Song01"),
        testsupport::AdlText(SampleRateCode::Hz48000, {{1, EditType::Cut, "zt50001.wav", 1, 0, 0, 4000},
                                                       {2, EditType::Cut, "zt50002.wav", 2, 0, 0, 3000}})));
    card::SetExtraCardFolders({card});

    {
        gui::CMainDlg main;
        main.Tree()->SetDriveSource([root] { return std::vector<std::string>{root}; });
        main.OnInitDialog();
        main.move(0, 0);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(main.Tree()->SelectPath(pc, true));
        QWidget* page = main.Page(0);
        auto* tr2 = res::Control<QCheckBox>(page, res::IDC_TRACK[1]);
        QVERIFY(tr2->isChecked());
        XClick(tr2);
        QTRY_VERIFY_WITH_TIMEOUT(!tr2->isChecked(), 10000);
        XClick(res::Control<QPushButton>(page, res::IDC_IMPORT));
        QTRY_VERIFY_WITH_TIMEOUT(platform::PathExists(card::TrackFilePath(pc, 1)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            QApplication::activeModalWidget() == &main || !QApplication::activeModalWidget(), 10000);
    }
    QCOMPARE(testsupport::CardAudio(card::TrackFilePath(pc, 1)), testsupport::Marks(1, 4000));
    QVERIFY(!platform::PathExists(card::TrackFilePath(pc, 2)));
    card::SetExtraCardFolders({});
    VERIFY_NO_WINDOW_LEFT();
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::puts("SKIP: no X display (the test command runs this under xvfb-run when Xvfb is installed)");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    XImportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "XImportTest.moc"
