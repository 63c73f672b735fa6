#pragma once
// The application object: prepares the UI thread, runs the main window modally, cleans up.

#include "platform/Progress.h"

#include <memory>

namespace gui {

class CTransferApp {
public:
    // Start-up and the whole run of the main window; false, so the process ends afterwards.
    bool InitInstance();
    int ExitInstance();

private:
    std::unique_ptr<platform::CThreadScope> m_uiThreadScope;
};

} // namespace gui
