#include "Cancel.h"

#include "Commands.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace cli {
namespace {

platform::CancelFlag g_cancel{0};
static_assert(platform::CancelFlag::is_always_lock_free, "the flag is set from a signal handler");
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal is kept from a signal handler");

extern "C" void OnInterrupt(int signal) {
    // The signal is kept before the flag is raised: whoever sees the flag finds the signal too.
    if (g_signal.exchange(signal) != 0)
        ::_exit(kExitSignalBase + signal);
    g_cancel.store(1);
    const char text[] = "\nCancelling...\n";
    [[maybe_unused]] auto n = ::write(STDERR_FILENO, text, sizeof text - 1);
}

} // namespace

platform::CancelFlag* InstallCancelOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return &g_cancel;
}

int CancelledExitStatus() {
    const int signal = g_signal.load();
    return signal != 0 ? kExitSignalBase + signal : kExitFailure;
}

} // namespace cli
