#include "platform/OwnNames.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace platform {

bool IsOwnName(const std::string& name) {
    return BaseName(name).rfind(kOwnNamePrefix, 0) == 0;
}

std::string NewOwnName(const std::string& kind, const std::string& tail) {
    static std::atomic<unsigned> count{0};
    return Format("%s%s-%ld-%u%s%s", kOwnNamePrefix, kind.c_str(), static_cast<long>(::getpid()), ++count,
                  tail.empty() ? "" : "-", tail.c_str());
}

std::string OwnNameFor(const std::string& kind, const std::string& name) {
    return std::string(kOwnNamePrefix) + kind + "-" + name;
}

std::string OwnNameKind(const std::string& name) {
    const std::string base = BaseName(name);
    if (!IsOwnName(base))
        return {};
    const size_t start = sizeof kOwnNamePrefix - 1;
    const size_t dash = base.find('-', start);
    return base.substr(start, dash == std::string::npos ? std::string::npos : dash - start);
}

bool IsOwnNameOfEndedProcess(const std::string& name) {
    const std::string kind = OwnNameKind(name);
    if (kind.empty())
        return false;
    const std::string base = BaseName(name);
    const char* digits = base.c_str() + sizeof kOwnNamePrefix - 1 + kind.size();
    if (*digits != '-')
        return false;
    char* end = nullptr;
    const long pid = std::strtol(digits + 1, &end, 10);
    if (end == digits + 1 || *end != '-' || pid <= 0 || pid == static_cast<long>(::getpid()))
        return false;
    // Signal 0 only asks whether the process exists; EPERM means it does, as another user's.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace platform
