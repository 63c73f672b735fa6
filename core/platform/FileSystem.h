#pragma once
// File-system services: attributes, listings with a wildcard, existence tests, folders, free space,
// local time and path helpers.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// DOS attribute bits, as the card's file system keeps them.
constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// On vfat/exfat the real DOS attributes; elsewhere read-only = no write permission bit, hidden = the
// name starts with ".", directory from stat. INVALID_FILE_ATTRIBUTES when the path does not exist.
uint32_t GetFileAttributes(const std::string& path);
// Sets read-only / hidden / archive / system where the file system keeps them (the DOS bits on
// vfat; the write permission bits elsewhere, where only read-only can be kept). False on failure.
bool SetFileAttributes(const std::string& path, uint32_t attributes);

struct FindEntry {
    std::string name;
    uint32_t attributes = 0;
    uint64_t size = 0;
    bool link = false; // a symbolic link: the attributes and size are its target's
};

// Entries of `folder` whose names match `pattern` (* and ?, case-insensitive like the card's file
// system), without "." and "..", in directory order. Empty when the folder cannot be read.
std::vector<FindEntry> FindFiles(const std::string& folder, const std::string& pattern);
bool WildcardMatch(const std::string& pattern, const std::string& name);
// Every entry of `folder` as FindFiles gives them; false when the folder cannot be read (which an
// empty listing cannot tell apart from an empty folder).
bool ListFolder(const std::string& folder, std::vector<FindEntry>* entries);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Fails when the folder exists.
bool CreateDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);
bool DeleteFile(const std::string& path);
// Replaces `to` by `from` in one step (both in the same folder), then makes the rename durable.
bool RenameReplace(const std::string& from, const std::string& to);
// Renames `from` to `to` only while nothing is at `to`, then makes the rename durable.
bool RenameNoReplace(const std::string& from, const std::string& to);
enum class ExchangeResult {
    Exchanged,
    Unsupported, // the file system or the kernel cannot swap two names; nothing was changed
    Failed,
};
// Swaps what the two names stand for in one step, so that neither name is ever missing, then makes
// the swap durable.
ExchangeResult ExchangeNames(const std::string& a, const std::string& b);
// fsync of a folder, so that created, renamed or removed entries are on the medium.
bool SyncDirectory(const std::string& path);
// Removes a file, or a folder with everything in it, read-only entries included. Links are removed,
// never followed. True when nothing is left at `path` (also when nothing was there).
bool RemoveTree(const std::string& path);

// Bytes available to the caller on the file system holding `path`.
bool GetDiskFreeSpace(const std::string& path, uint64_t* freeBytes);

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime GetLocalTime();

// "a" + "/" + "b", without doubling a separator that `a` already ends with.
std::string JoinPath(const std::string& a, const std::string& b);
// Text after the last "." of the path (empty when there is none).
std::string Extension(const std::string& path);
// Last component of a path.
std::string BaseName(const std::string& path);
std::string DirName(const std::string& path);

} // namespace platform
