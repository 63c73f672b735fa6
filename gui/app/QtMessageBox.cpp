#include "app/QtMessageBox.h"

#include "app/UiThread.h"
#include "res/Templates.h"

#include <QApplication>
#include <QMessageBox>
#include <atomic>

namespace gui {

CQtMessageBox::CQtMessageBox() {
    // Boxes are always shown from the UI thread, whichever thread made the service.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

platform::MbResult CQtMessageBox::Show(const std::string& text, platform::MbButtons buttons) {
    platform::MbResult result = platform::MbResult::Cancel;
    RunOnUiThread(this, [&] {
        const bool ask = buttons == platform::MbButtons::OkCancel;
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(res::kAppTitle), QString::fromStdString(text),
                        ask ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(ask ? QMessageBox::Cancel : QMessageBox::Ok);
        result = box.exec() == QMessageBox::Ok ? platform::MbResult::Ok : platform::MbResult::Cancel;
    });
    return result;
}

namespace {
std::atomic<platform::IMessageBox*> g_installed{nullptr};
} // namespace

platform::IMessageBox* AppMessageBox() {
    if (platform::IMessageBox* box = g_installed.load())
        return box;
    static CQtMessageBox qtBox;
    return &qtBox;
}

platform::IMessageBox* SetAppMessageBox(platform::IMessageBox* box) {
    return g_installed.exchange(box);
}

} // namespace gui
