#pragma once
// The message-box service: jobs tell and ask the user through it from any thread. The GUI shows a
// modal box on the UI thread, the command line prints and asks on the terminal, tests script it.

#include <string>

namespace platform {

enum class MbButtons { Ok, OkCancel };
enum class MbResult { Ok, Cancel };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MbResult Show(const std::string& text, MbButtons buttons) = 0;
};

// A message with an OK button. A null service shows nothing.
void Tell(IMessageBox* box, const std::string& text);
// A question with OK and Cancel: only OK counts as yes. A null service answers no.
bool Ask(IMessageBox* box, const std::string& text);

} // namespace platform
