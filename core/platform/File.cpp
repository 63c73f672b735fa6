#include "platform/File.h"

#include "platform/Faults.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr size_t kReadBufSize = size_t{64} * 1024;
constexpr size_t kWriteBufSize = size_t{256} * 1024;

bool WriteAll(int fd, const uint8_t* data, size_t size, int64_t offset, int* error) {
    while (size > 0) {
        faults::BeforeChange();
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        if (n == 0) {
            *error = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

ssize_t ReadSome(int fd, uint8_t* data, size_t size, int64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

} // namespace

File::~File() {
    if (IsOpen())
        Close();
}

bool File::Fail(int error) {
    m_error = error;
    return false;
}

bool File::Open(const std::string& path, Access access, Disposition disposition) {
    if (IsOpen())
        return Fail(EBUSY);
    m_error = 0;
    int injected = 0;
    if (faults::NextOpenFails(&injected))
        return Fail(injected);
    if (path.empty())
        return Fail(ENOENT);

    int flags = O_CLOEXEC | (access == Access::Read ? O_RDONLY : O_RDWR);
    if (disposition == Disposition::CreateNew)
        flags |= O_CREAT | O_EXCL;
    else if (disposition == Disposition::CreateAlways)
        flags |= O_CREAT | O_TRUNC;
    if (disposition != Disposition::OpenExisting)
        faults::BeforeChange();
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return Fail(errno);

    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        if (disposition == Disposition::CreateNew)
            ::unlink(path.c_str());
        return Fail(err);
    }
    // No sharing: any second open of a held file fails, as the recorder's files must never be
    // written from two places at once.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return Fail(err);
    }

    m_fd = fd;
    m_readOnly = access == Access::Read;
    m_pos = 0;
    m_path = path;
    m_readLen = 0;
    m_writeLen = 0;
    return true;
}

bool File::Close() {
    if (!IsOpen())
        return Fail(EBADF);
    const bool flushed = FlushWrites();
    const int err = m_error;
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_readLen = 0;
    m_writeLen = 0;
    m_readBuf.clear();
    m_readBuf.shrink_to_fit();
    m_writeBuf.clear();
    m_writeBuf.shrink_to_fit();
    m_pos = 0;
    if (!flushed)
        return Fail(err);
    return true;
}

bool File::FlushWrites() {
    if (m_writeLen == 0)
        return true;
    const size_t len = m_writeLen;
    m_writeLen = 0;
    int err = 0;
    if (!WriteAll(m_fd, m_writeBuf.data(), len, m_writeStart, &err))
        return Fail(err);
    return true;
}

bool File::BeginRead() {
    if (!IsOpen())
        return Fail(EBADF);
    int injected = 0;
    if (faults::NextReadFails(&injected))
        return Fail(injected);
    return FlushWrites();
}

int64_t File::Read(void* data, size_t size) {
    if (!BeginRead())
        return -1;
    auto* out = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        // Serve from the buffer when the logical position lies inside it.
        if (m_readLen > 0 && m_pos >= m_readStart && m_pos < m_readStart + static_cast<int64_t>(m_readLen)) {
            const size_t at = static_cast<size_t>(m_pos - m_readStart);
            const size_t n = std::min(size - done, m_readLen - at);
            std::memcpy(out + done, m_readBuf.data() + at, n);
            done += n;
            m_pos += static_cast<int64_t>(n);
            continue;
        }
        const size_t want = size - done;
        if (want >= kReadBufSize) {
            const ssize_t n = ReadSome(m_fd, out + done, want, m_pos);
            if (n < 0) {
                Fail(errno);
                return -1;
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
            m_pos += n;
            continue;
        }
        if (!FillReadBuffer())
            return -1;
        if (m_readLen == 0)
            break;
    }
    return static_cast<int64_t>(done);
}

int64_t File::ReadView(const uint8_t** data, size_t size) {
    if (!BeginRead())
        return -1;
    size = std::min(size, kReadBufSize);
    const bool inside = m_readLen > 0 && m_pos >= m_readStart &&
                        m_pos + static_cast<int64_t>(size) <= m_readStart + static_cast<int64_t>(m_readLen);
    if (!inside && !FillReadBuffer())
        return -1;
    const size_t at = static_cast<size_t>(m_pos - m_readStart);
    const size_t n = std::min(size, m_readLen - at);
    *data = m_readBuf.data() + at;
    m_pos += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
}

bool File::FillReadBuffer() {
    if (m_readBuf.size() < kReadBufSize)
        m_readBuf.resize(kReadBufSize);
    const ssize_t n = ReadSome(m_fd, m_readBuf.data(), kReadBufSize, m_pos);
    if (n < 0) {
        m_readLen = 0;
        return Fail(errno);
    }
    m_readStart = m_pos;
    m_readLen = static_cast<size_t>(n);
    return true;
}

int File::ReadByte(uint8_t* byte) {
    // Fast path for the line reader: one byte from the buffer without the general bookkeeping.
    if (IsOpen() && m_writeLen == 0 && m_readLen > 0 && m_pos >= m_readStart &&
        m_pos < m_readStart + static_cast<int64_t>(m_readLen)) {
        int injected = 0;
        if (faults::NextReadFails(&injected)) {
            Fail(injected);
            return -1;
        }
        *byte = m_readBuf[static_cast<size_t>(m_pos - m_readStart)];
        ++m_pos;
        return 1;
    }
    const int64_t n = Read(byte, 1);
    return n < 0 ? -1 : static_cast<int>(n);
}

int64_t File::Write(const void* data, size_t size) {
    if (!IsOpen()) {
        Fail(EBADF);
        return -1;
    }
    if (m_readOnly) {
        Fail(EBADF);
        return -1;
    }
    int injected = 0;
    if (faults::NextWriteFails(&injected)) {
        Fail(injected);
        return -1;
    }
    DropReadBuffer();
    const bool contiguous = m_writeLen > 0 && m_pos == m_writeStart + static_cast<int64_t>(m_writeLen);
    if ((!contiguous && !FlushWrites()) || !BufferWrite(static_cast<const uint8_t*>(data), size, m_pos))
        return -1;
    m_pos += static_cast<int64_t>(size);
    return static_cast<int64_t>(size);
}

bool File::BufferWrite(const uint8_t* data, size_t size, int64_t pos) {
    constexpr auto kPiece = static_cast<int64_t>(kWriteBufSize);
    while (size > 0) {
        if (m_writeLen == 0) {
            m_writeStart = pos;
            // Whole aligned pieces need no buffer.
            if (pos % kPiece == 0 && size >= kWriteBufSize) {
                const size_t whole = size - size % kWriteBufSize;
                int err = 0;
                if (!WriteAll(m_fd, data, whole, pos, &err))
                    return Fail(err);
                data += whole;
                size -= whole;
                pos += static_cast<int64_t>(whole);
                continue;
            }
        }
        // The buffer ends at the next multiple of its size, so every piece after the first starts aligned.
        const int64_t end = (m_writeStart / kPiece + 1) * kPiece;
        const size_t room = static_cast<size_t>(end - m_writeStart) - m_writeLen;
        if (room == 0) {
            if (!FlushWrites())
                return false;
            continue;
        }
        if (m_writeBuf.size() < kWriteBufSize)
            m_writeBuf.resize(kWriteBufSize);
        const size_t n = std::min(room, size);
        std::memcpy(m_writeBuf.data() + m_writeLen, data, n);
        m_writeLen += n;
        data += n;
        size -= n;
        pos += static_cast<int64_t>(n);
    }
    return true;
}

int64_t File::Seek(int64_t offset, Whence whence) {
    if (!IsOpen()) {
        Fail(EBADF);
        return -1;
    }
    int64_t base = 0;
    if (whence == Whence::Current) {
        base = m_pos;
    } else if (whence == Whence::End) {
        base = Size();
        if (base < 0)
            return -1;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        Fail(EINVAL);
        return -1;
    }
    m_pos = base + offset;
    return m_pos;
}

int64_t File::Size() {
    if (!IsOpen()) {
        Fail(EBADF);
        return -1;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        Fail(errno);
        return -1;
    }
    int64_t size = st.st_size;
    if (m_writeLen > 0)
        size = std::max(size, m_writeStart + static_cast<int64_t>(m_writeLen));
    return size;
}

bool File::SetEndOfFile() {
    if (!IsOpen() || m_readOnly)
        return Fail(EBADF);
    if (!FlushWrites())
        return false;
    DropReadBuffer();
    faults::BeforeChange();
    if (::ftruncate(m_fd, m_pos) != 0)
        return Fail(errno);
    return true;
}

bool File::Flush() {
    if (!IsOpen())
        return Fail(EBADF);
    return FlushWrites();
}

bool File::Sync() {
    if (!Flush())
        return false;
    if (::fsync(m_fd) != 0)
        return Fail(errno);
    return true;
}

} // namespace platform
