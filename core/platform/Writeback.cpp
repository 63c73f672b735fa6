#include "platform/Writeback.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

CWriteback::CWriteback(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

CWriteback::~CWriteback() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void CWriteback::Start() {
    if (m_fd >= 0)
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE); // only a hint: a failure changes nothing
}

} // namespace platform
