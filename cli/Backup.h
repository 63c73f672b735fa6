#pragma once
// Verbatim copies of song folders with a SHA-256 manifest, so a card's songs can be checked and put
// back after the card or the recorder fails. MANIFEST.sha256 uses the sha256sum format, so the
// backup can also be checked without this program; ATTRIBUTES keeps the card's DOS attributes.

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

constexpr const char* kManifestName = "MANIFEST.sha256";
constexpr const char* kAttributesName = "ATTRIBUTES";

struct BackupReport {
    int files = 0;
    uint64_t bytes = 0;
    std::vector<std::string> problems; // one line each, for the user
};

// Lower-case hex SHA-256 of a file; empty when it cannot be read.
std::string HashFile(const std::string& path);

// Copies card/<song> for every song into dest/<song>, and records them in dest's manifest.
// A song already in the backup folder is refused (the backup is never changed under its manifest).
BackupReport BackupSongs(const std::string& card, const std::string& dest,
                         const std::vector<std::string>& songs);

// Re-hashes every file of the manifest; a problem for each file missing or different.
BackupReport VerifyBackup(const std::string& dest);

// Songs recorded in a backup folder's manifest, sorted.
std::vector<std::string> SongsInBackup(const std::string& dest);

// Puts dest/<song> back onto the card as card/<song>. An existing song is replaced only when
// `overwrite` is set; the copy is written beside it, verified, and only then swapped in.
BackupReport RestoreSongs(const std::string& dest, const std::string& card,
                          const std::vector<std::string>& songs, bool overwrite);

} // namespace cli
