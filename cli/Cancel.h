#pragma once
// Ctrl-C asks the running job to stop at its next checkpoint instead of killing it half-way, so a
// partly written file is cleaned up exactly as the Cancel button does in the window.

#include "platform/Progress.h"

namespace cli {

// The flag that Ctrl-C sets while a job runs; a second Ctrl-C ends the program at once.
platform::CancelFlag* InstallCancelOnInterrupt();

} // namespace cli
