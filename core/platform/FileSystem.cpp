#include "platform/FileSystem.h"

#include "platform/Faults.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/msdos_fs.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

bool OnFatFileSystem(const std::string& path) {
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0)
        return false;
    return fs.f_type == kMsdosMagic || fs.f_type == kExfatMagic;
}

// The DOS attribute byte through the FAT driver; false when the driver does not offer it.
bool FatAttributes(const std::string& path, bool directory, uint32_t* attributes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    uint32_t value = 0;
    const bool ok = ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0;
    ::close(fd);
    if (ok)
        *attributes = value;
    return ok;
}

// renameat2's flags, as the kernel defines them; called through syscall() so that a C library without
// the wrapper still reaches them.
constexpr unsigned kRenameNoReplace = 1u << 0;
constexpr unsigned kRenameExchange = 1u << 1;

int Renameat2(const std::string& from, const std::string& to, unsigned flags) {
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags));
#else
    errno = ENOSYS;
    return -1;
#endif
}

bool FlagUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

void SyncFoldersOf(const std::string& a, const std::string& b) {
    SyncDirectory(DirName(a));
    if (DirName(b) != DirName(a))
        SyncDirectory(DirName(b));
}

bool SetFatAttributes(const std::string& path, bool directory, uint32_t attributes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    uint32_t value = attributes;
    const bool ok = ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) == 0;
    ::close(fd);
    return ok;
}

} // namespace

uint32_t GetFileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    const bool directory = S_ISDIR(st.st_mode);
    if (OnFatFileSystem(path)) {
        uint32_t attributes = 0;
        if (FatAttributes(path, directory, &attributes))
            return attributes;
    }
    uint32_t attributes = 0;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    const std::string name = BaseName(path);
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (directory)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes;
}

bool SetFileAttributes(const std::string& path, uint32_t attributes) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    const bool directory = S_ISDIR(st.st_mode);
    faults::BeforeChange();
    if (OnFatFileSystem(path) && SetFatAttributes(path, directory, attributes & ~FILE_ATTRIBUTE_DIRECTORY))
        return true;
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0;
}

namespace {

bool ListMatching(const std::string& folder, const std::string& pattern, std::vector<FindEntry>* entries) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return false;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!WildcardMatch(pattern, name))
            continue;
        const std::string full = JoinPath(dir, name);
        FindEntry entry;
        entry.name = name;
        entry.attributes = GetFileAttributes(full);
        if (entry.attributes == INVALID_FILE_ATTRIBUTES)
            continue; // vanished or a dangling link
        struct stat st {};
        if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            entry.size = static_cast<uint64_t>(st.st_size);
        entry.link = ::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        entries->push_back(std::move(entry));
    }
    ::closedir(d);
    return true;
}

} // namespace

std::vector<FindEntry> FindFiles(const std::string& folder, const std::string& pattern) {
    std::vector<FindEntry> entries;
    ListMatching(folder, pattern, &entries);
    return entries;
}

bool ListFolder(const std::string& folder, std::vector<FindEntry>* entries) {
    entries->clear();
    return ListMatching(folder, "*", entries);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CreateDirectory(const std::string& path) {
    if (path.empty())
        return false;
    faults::BeforeChange();
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveDirectory(const std::string& path) {
    if (path.empty())
        return false;
    faults::BeforeChange();
    return ::rmdir(path.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
    if (path.empty() || IsDirectory(path))
        return false;
    faults::BeforeChange();
    return ::unlink(path.c_str()) == 0;
}

bool RemoveTree(const std::string& path) {
    struct stat st {};
    if (path.empty())
        return false;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    // A link's target is never touched; a read-only entry is made writable so it can go.
    if (!S_ISLNK(st.st_mode))
        SetFileAttributes(path, 0);
    if (!S_ISDIR(st.st_mode)) {
        faults::BeforeChange();
        return ::unlink(path.c_str()) == 0;
    }
    if (DIR* d = ::opendir(path.c_str())) {
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        }
        ::closedir(d);
        for (const auto& name : names)
            RemoveTree(JoinPath(path, name));
    }
    faults::BeforeChange();
    return ::rmdir(path.c_str()) == 0;
}

bool RenameReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty())
        return false;
    faults::BeforeChange();
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    SyncFoldersOf(from, to);
    return true;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty())
        return false;
    faults::BeforeChange();
    if (Renameat2(from, to, kRenameNoReplace) != 0) {
        if (!FlagUnsupported(errno))
            return false;
        // Without the flag: a test, then a plain rename (which still refuses a folder that holds anything).
        struct stat st {};
        if (::lstat(to.c_str(), &st) == 0) {
            errno = EEXIST;
            return false;
        }
        if (errno != ENOENT || ::rename(from.c_str(), to.c_str()) != 0)
            return false;
    }
    SyncFoldersOf(from, to);
    return true;
}

ExchangeResult ExchangeNames(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return ExchangeResult::Failed;
    if (faults::ExchangeRefused())
        return ExchangeResult::Unsupported;
    faults::BeforeChange();
    if (Renameat2(a, b, kRenameExchange) != 0)
        return FlagUnsupported(errno) ? ExchangeResult::Unsupported : ExchangeResult::Failed;
    SyncFoldersOf(a, b);
    return ExchangeResult::Exchanged;
}

bool SyncDirectory(const std::string& path) {
    const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a folder
    ::close(fd);
    return ok;
}

bool GetDiskFreeSpace(const std::string& path, uint64_t* freeBytes) {
    struct statvfs vfs {};
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0)
        return false;
    *freeBytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return true;
}

LocalTime GetLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (a.back() == '/')
        return a + b;
    return a + "/" + b;
}

std::string Extension(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos)
        return {};
    return path.substr(dot + 1);
}

std::string BaseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string DirName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return p.substr(0, slash);
}

std::string Format(const char* format, ...) {
    // Measured first, then written: the arguments are walked twice, each walk from its own va_start.
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        va_start(args, format);
        std::vsnprintf(text.data(), text.size(), format, args);
        va_end(args);
        text.resize(static_cast<size_t>(n));
    }
    return text;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    return ::strcasecmp(a.c_str(), b.c_str());
}

} // namespace platform
