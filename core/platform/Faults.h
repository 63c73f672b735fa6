#pragma once
// Fault injection for tests: make the Nth read, write or open of platform::File fail, or every
// write from the Nth on (a card that filled up), or end the process just before its Nth change to a
// file or folder (a kill or a pulled card, for a job run in a child process). Counting starts when a
// plan is armed.

#include <cerrno>
#include <cstdint>

namespace platform::faults {

struct Plan {
    int64_t failOpenAt = 0; // 1-based call number; 0 = never
    int64_t failReadAt = 0;
    int64_t failWriteAt = 0;
    bool writesStayFailed = false; // every write from failWriteAt on fails (a full card)
    int error = EIO;               // errno reported for the injected failure
    int64_t exitAtChange = 0;      // _exit(kKilledExit) before the Nth create, write, truncate, rename,
                                   // remove or attribute change of the file layer; 0 = never
    bool noExchange = false;       // ExchangeNames answers as a file system that cannot swap two names
};

// The exit status of a process ended by exitAtChange.
constexpr int kKilledExit = 86;

void Arm(const Plan& plan);
void Disarm();

// Calls counted since the last Arm, while a plan is armed (even one that plans no failure).
int64_t OpenCount();
int64_t ReadCount();
int64_t WriteCount();
int64_t ChangeCount();

// Used by the file layer: true when this call must fail; *error receives the errno to report.
bool NextOpenFails(int* error);
bool NextReadFails(int* error);
bool NextWriteFails(int* error);
// Called by the file layer just before it changes a file or a folder; ends the process at the planned change.
void BeforeChange();
bool ExchangeRefused();

// Arms a plan for the lifetime of the object.
class ScopedPlan {
public:
    explicit ScopedPlan(const Plan& plan) { Arm(plan); }
    ~ScopedPlan() { Disarm(); }
    ScopedPlan(const ScopedPlan&) = delete;
    ScopedPlan& operator=(const ScopedPlan&) = delete;
};

} // namespace platform::faults
