#pragma once
// A hint to the OS: start writing a file's cached changes to the medium now, without waiting, so that
// the Sync that makes the file durable later finds little left to do. Long copies give it every few
// megabytes; the medium then works while the copy goes on.

#include <string>

namespace platform {

class CWriteback {
public:
    // Looks at the file by its path, beside whatever handle is writing it (no lock is taken).
    explicit CWriteback(const std::string& path);
    ~CWriteback();
    CWriteback(const CWriteback&) = delete;
    CWriteback& operator=(const CWriteback&) = delete;

    // Starts writing what is cached so far; does nothing when the file could not be looked at.
    void Start();

private:
    int m_fd = -1;
};

} // namespace platform
