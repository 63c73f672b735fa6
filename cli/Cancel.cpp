#include "Cancel.h"

#include <csignal>
#include <unistd.h>

namespace cli {
namespace {

platform::CancelFlag g_cancel{0};
static_assert(platform::CancelFlag::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnInterrupt(int) {
    if (g_cancel.exchange(1) != 0)
        ::_exit(130);
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

} // namespace cli
