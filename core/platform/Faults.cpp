#include "platform/Faults.h"

#include <atomic>
#include <unistd.h>

namespace platform::faults {
namespace {

std::atomic<int64_t> g_failOpenAt{0}, g_failReadAt{0}, g_failWriteAt{0};
std::atomic<bool> g_writesStayFailed{false};
std::atomic<int> g_error{EIO};
std::atomic<int64_t> g_opens{0}, g_reads{0}, g_writes{0};
std::atomic<int64_t> g_exitAtChange{0}, g_changes{0};
std::atomic<bool> g_noExchange{false};
// Nothing is counted while no plan is armed, so the file layer's hot paths pay one relaxed load.
std::atomic<bool> g_armed{false};

bool Hit(std::atomic<int64_t>& counter, const std::atomic<int64_t>& at, bool stays, int* error) {
    if (!g_armed.load(std::memory_order_relaxed))
        return false;
    const int64_t n = ++counter;
    const int64_t target = at.load();
    if (target == 0 || n < target || (n > target && !stays))
        return false;
    if (error)
        *error = g_error.load();
    return true;
}

} // namespace

void Arm(const Plan& plan) {
    g_opens = 0;
    g_reads = 0;
    g_writes = 0;
    g_changes = 0;
    g_exitAtChange = plan.exitAtChange;
    g_noExchange = plan.noExchange;
    g_failOpenAt = plan.failOpenAt;
    g_failReadAt = plan.failReadAt;
    g_failWriteAt = plan.failWriteAt;
    g_writesStayFailed = plan.writesStayFailed;
    g_error = plan.error;
    g_armed = true;
}

void Disarm() {
    Arm(Plan{});
    g_armed = false;
}

int64_t OpenCount() {
    return g_opens.load();
}
int64_t ReadCount() {
    return g_reads.load();
}
int64_t WriteCount() {
    return g_writes.load();
}
int64_t ChangeCount() {
    return g_changes.load();
}

bool NextOpenFails(int* error) {
    return Hit(g_opens, g_failOpenAt, false, error);
}
bool NextReadFails(int* error) {
    return Hit(g_reads, g_failReadAt, false, error);
}
bool NextWriteFails(int* error) {
    return Hit(g_writes, g_failWriteAt, g_writesStayFailed.load(), error);
}

void BeforeChange() {
    if (!g_armed.load(std::memory_order_relaxed))
        return;
    const int64_t n = ++g_changes;
    if (n == g_exitAtChange.load())
        ::_exit(kKilledExit); // as a kill would: no flush, no destructors
}

bool ExchangeRefused() {
    return g_armed.load(std::memory_order_relaxed) && g_noExchange.load();
}

} // namespace platform::faults
