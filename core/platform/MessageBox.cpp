#include "platform/MessageBox.h"

namespace platform {

void Tell(IMessageBox* box, const std::string& text) {
    if (box)
        box->Show(text, MbButtons::Ok);
}

bool Ask(IMessageBox* box, const std::string& text) {
    return box && box->Show(text, MbButtons::OkCancel) == MbResult::Ok;
}

} // namespace platform
