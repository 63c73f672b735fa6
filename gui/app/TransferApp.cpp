#include "app/TransferApp.h"

#include "app/MainDlg.h"

namespace gui {

bool CTransferApp::InitInstance() {
    // Qt's controls and application object are ready once QApplication exists (made by main).
    m_uiThreadScope = std::make_unique<platform::CThreadScope>();
    {
        CMainDlg dialog;
        dialog.DoModal();
    }
    return false;
}

int CTransferApp::ExitInstance() {
    m_uiThreadScope.reset();
    return 0;
}

} // namespace gui
