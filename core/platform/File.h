#pragma once
// A file handle with the effects the program relies on: open-existing vs create-new, read-only or
// read-write, no sharing (a second open of a held file fails), 64-bit positions, set end of file.
// Reads and writes go through small buffers so that byte-at-a-time callers stay cheap, while Tell()
// always reports the logical position that unbuffered calls would have reached. The write buffer hands
// the OS pieces that end at multiples of its size, so that long sequential writes stay page aligned
// whatever offset they start at.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class Access { Read, ReadWrite };
enum class Disposition { OpenExisting, CreateNew, CreateAlways };
enum class Whence { Begin, Current, End };

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Fails when the file is missing (OpenExisting), exists (CreateNew), is a directory, cannot be
    // opened with the access asked for, or is already held by another File.
    bool Open(const std::string& path, Access access, Disposition disposition);
    // Flushes pending writes and closes; false when a pending write failed (the handle is closed anyway).
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool IsReadOnly() const { return m_readOnly; }
    const std::string& Path() const { return m_path; }

    // Bytes read (0 at the end of the file), or -1 on failure.
    int64_t Read(void* data, size_t size);
    // 1 = one byte read, 0 = end of file, -1 = failure.
    int ReadByte(uint8_t* byte);
    // Read without the copy: *data points at the bytes inside this file's read buffer, valid until the
    // next call on this file. Bytes read (fewer only at the end of the file; size at most 64 KiB), or -1.
    int64_t ReadView(const uint8_t** data, size_t size);
    // Bytes written (always size), or -1 on failure. Writes may be held in a buffer until the next
    // non-contiguous write, a read, Flush or Close; a failure found then is reported by that call.
    int64_t Write(const void* data, size_t size);

    // New position, or -1 (negative targets are refused and leave the position unchanged).
    int64_t Seek(int64_t offset, Whence whence);
    int64_t Tell() const { return m_pos; }
    // Current length including buffered writes, or -1.
    int64_t Size();
    // Truncates or extends the file to the current position.
    bool SetEndOfFile();
    // Hands buffered writes to the OS.
    bool Flush();
    // Flush plus fsync: the bytes are on the medium when this returns true.
    bool Sync();

    // errno of the last failure (0 if none).
    int LastError() const { return m_error; }

private:
    bool FlushWrites();
    // Adds size bytes at pos to the write buffer (pos continues it, or it is empty).
    bool BufferWrite(const uint8_t* data, size_t size, int64_t pos);
    bool FillReadBuffer();
    // What every read checks first: an open file, an injected fault, pending writes handed to the OS.
    bool BeginRead();
    void DropReadBuffer() { m_readLen = 0; }
    bool Fail(int error);

    int m_fd = -1;
    bool m_readOnly = false;
    int m_error = 0;
    int64_t m_pos = 0;
    std::string m_path;

    std::vector<uint8_t> m_readBuf;
    int64_t m_readStart = 0;
    size_t m_readLen = 0;

    std::vector<uint8_t> m_writeBuf;
    int64_t m_writeStart = 0;
    size_t m_writeLen = 0;
};

} // namespace platform
