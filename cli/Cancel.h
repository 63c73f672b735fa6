#pragma once
// Ctrl-C asks the running job to stop at its next checkpoint instead of killing it half-way, so a
// partly written file is cleaned up exactly as the Cancel button does in the window.

#include "platform/Progress.h"

namespace cli {

// The flag that Ctrl-C (or SIGTERM) sets while a job runs; a second one ends the program at once.
platform::CancelFlag* InstallCancelOnInterrupt();

// The exit status of a job that ended cancelled: 128 plus the number of the signal that asked for it
// (130 for Ctrl-C), as a shell reports a program the signal ended.
int CancelledExitStatus();

} // namespace cli
