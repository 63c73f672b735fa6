#pragma once
// What a long job is handed: two text lines, a progress bar and a cancel flag, plus a way to grey
// the Cancel button. The GUI marshals these calls to its UI thread; the command line prints them.

#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

// Written once (0 -> 1) by whoever cancels, read by the job at every checkpoint.
using CancelFlag = std::atomic<int>;

inline bool IsCancelled(const CancelFlag* flag) {
    return flag && flag->load(std::memory_order_relaxed) != 0;
}

class ITextLine {
public:
    virtual ~ITextLine() = default;
    virtual void SetText(const std::string& text) = 0;
};

class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual void SetRange(int64_t low, int64_t high) = 0;
    virtual void SetPos(int64_t pos) = 0;
};

class ICancelControl {
public:
    virtual ~ICancelControl() = default;
    virtual void EnableCancel(int enable) = 0;
};

// Does the whole operation synchronously on a worker thread and returns normally in every case.
class CProgressJob {
public:
    virtual ~CProgressJob() = default;
    virtual void RunJob(ITextLine* pProgressText, ITextLine* pStatusText, IProgressBar* pProgress,
                        CancelFlag* pCancel) = 0;
};

// Each thread that talks to a recorder backend holds one of these for its lifetime.
class CThreadScope {
public:
    CThreadScope() = default;
    CThreadScope(const CThreadScope&) = delete;
    CThreadScope& operator=(const CThreadScope&) = delete;
};

} // namespace platform
