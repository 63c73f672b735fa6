#include "platform/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

int FlockOperation(LockMode mode) {
    return (mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
}

int Flock(int fd, int operation) {
    int r;
    do {
        r = ::flock(fd, operation);
    } while (r != 0 && errno == EINTR);
    return r;
}

} // namespace

CFolderLock::~CFolderLock() {
    Unlock();
}

LockResult CFolderLock::Lock(const std::string& path, LockMode mode) {
    Unlock();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? LockResult::Missing : LockResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return LockResult::Failed;
    }
    // A file system that keeps no locks (some network and FUSE mounts) gives a lock that holds nothing:
    // the program still works there, as it did before it locked anything.
    if (Flock(fd, FlockOperation(mode)) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return LockResult::InUse;
    }
    m_fd = fd;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return LockResult::Locked;
}

bool CFolderLock::Change(LockMode mode) {
    return m_fd >= 0 && Flock(m_fd, FlockOperation(mode)) == 0;
}

void CFolderLock::Unlock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing the only descriptor releases the lock
    m_fd = -1;
}

bool CFolderLock::StillNames(const std::string& path) const {
    struct stat st {};
    return m_fd >= 0 && ::stat(path.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
}

} // namespace platform
