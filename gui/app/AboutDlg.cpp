#include "app/AboutDlg.h"

#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QPushButton>

namespace gui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    res::BuildDialog(res::IDD_ABOUTBOX, this);
    if (auto* ok = res::Control<QPushButton>(this, res::IDOK))
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace gui
