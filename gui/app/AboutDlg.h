#pragma once
// The About box: icon, program name and version, OK.

#include <QDialog>

namespace gui {

class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace gui
