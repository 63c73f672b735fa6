#pragma once
// The GUI's message-box service: a modal box captioned "Pelmora" on the UI thread, asked from any
// thread; a worker waits until the user has answered. Only OK counts as yes.

#include "platform/MessageBox.h"

#include <QObject>

namespace gui {

class CQtMessageBox : public QObject, public platform::IMessageBox {
public:
    CQtMessageBox();
    platform::MbResult Show(const std::string& text, platform::MbButtons buttons) override;
};

// The service that the program's windows and jobs use. Tests install a scripted one.
platform::IMessageBox* AppMessageBox();
// Installs a service (null restores the Qt one) and returns the one it replaces.
platform::IMessageBox* SetAppMessageBox(platform::IMessageBox* box);

} // namespace gui
