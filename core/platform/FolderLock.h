#pragma once
// A lock on a folder that other programs (and other locks in this one) respect: shared for readers,
// exclusive for a writer. It never waits: when another holder is in the way, Lock fails at once. The
// lock stays with the folder it was taken on, so a caller that must work on what a path names now
// asks StillNames after locking (a folder replaced by a rename is another folder). On a file system
// that keeps no locks the lock is granted and holds nothing.

#include <string>
#include <sys/types.h>

namespace platform {

enum class LockMode { Shared, Exclusive };

enum class LockResult {
    Locked,
    InUse,   // another holder is in the way
    Missing, // no folder at the path
    Failed,  // the folder cannot be opened
};

class CFolderLock {
public:
    CFolderLock() = default;
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    LockResult Lock(const std::string& path, LockMode mode);
    // Changes the mode of the lock held. The system drops the old lock before it takes the new one, so
    // an exclusive lock turned shared stays held, while a failed change to exclusive (false: another
    // holder is in the way) may leave no lock at all.
    bool Change(LockMode mode);
    void Unlock();
    bool IsHeld() const { return m_fd >= 0; }
    // True when the path names the very folder this lock holds.
    bool StillNames(const std::string& path) const;

private:
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace platform
