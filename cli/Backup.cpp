#include "Backup.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <openssl/evp.h>
#include <sstream>

namespace cli {
namespace {

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::JoinPath;

constexpr size_t kChunk = 1 << 20;

struct Digest {
    Digest() : ctx(EVP_MD_CTX_new()) { EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr); }
    ~Digest() { EVP_MD_CTX_free(ctx); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    void Update(const void* data, size_t size) { EVP_DigestUpdate(ctx, data, size); }
    std::string Hex() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        EVP_DigestFinal_ex(ctx, md, &len);
        static const char* digits = "0123456789abcdef";
        std::string hex;
        for (unsigned int i = 0; i < len; ++i) {
            hex += digits[md[i] >> 4];
            hex += digits[md[i] & 15];
        }
        return hex;
    }
    EVP_MD_CTX* ctx;
};

// Copies one file, hashing what it reads; the copy is flushed to its medium before this returns.
bool CopyFile(const std::string& from, const std::string& to, std::string* hash, uint64_t* bytes,
              std::string* error) {
    File in, out;
    if (!in.Open(from, Access::Read, Disposition::OpenExisting)) {
        *error = "cannot read " + from;
        return false;
    }
    if (!out.Open(to, Access::ReadWrite, Disposition::CreateNew)) {
        *error = "cannot create " + to;
        return false;
    }
    std::vector<uint8_t> buf(kChunk);
    Digest digest;
    uint64_t total = 0;
    for (;;) {
        const int64_t n = in.Read(buf.data(), buf.size());
        if (n < 0) {
            *error = "read error in " + from;
            break;
        }
        if (n == 0) {
            if (!out.Sync() || !out.Close()) {
                *error = "write error in " + to;
                break;
            }
            *hash = digest.Hex();
            *bytes += total;
            return true;
        }
        digest.Update(buf.data(), static_cast<size_t>(n));
        if (out.Write(buf.data(), static_cast<size_t>(n)) != n) {
            *error = "write error in " + to;
            break;
        }
        total += static_cast<uint64_t>(n);
    }
    out.Close();
    platform::DeleteFile(to);
    return false;
}

struct Tree {
    std::vector<std::string> folders; // relative, parents first
    std::vector<std::string> files;   // relative
};

void Walk(const std::string& root, const std::string& rel, Tree* tree) {
    const std::string here = rel.empty() ? root : JoinPath(root, rel);
    auto entries = platform::FindFiles(here, "*");
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& e : entries) {
        const std::string child = rel.empty() ? e.name : rel + "/" + e.name;
        if (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
            tree->folders.push_back(child);
            Walk(root, child, tree);
        } else {
            tree->files.push_back(child);
        }
    }
}

using Manifest = std::map<std::string, std::string>; // relative path -> hash or attributes

Manifest ReadPairs(const std::string& path, bool hashFirst) {
    Manifest m;
    File f;
    if (!f.Open(path, Access::Read, Disposition::OpenExisting))
        return m;
    std::string text;
    std::vector<char> buf(65536);
    int64_t n;
    while ((n = f.Read(buf.data(), buf.size())) > 0)
        text.append(buf.data(), static_cast<size_t>(n));
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto sep = line.find(hashFirst ? "  " : " ");
        if (sep == std::string::npos)
            continue;
        m[line.substr(sep + (hashFirst ? 2 : 1))] = line.substr(0, sep);
    }
    return m;
}

bool WritePairs(const std::string& path, const Manifest& m, bool hashFirst) {
    std::string text;
    for (const auto& [rel, value] : m)
        text += value + (hashFirst ? "  " : " ") + rel + "\n";
    const std::string tmp = path + ".tmp";
    platform::DeleteFile(tmp);
    File f;
    if (!f.Open(tmp, Access::ReadWrite, Disposition::CreateNew))
        return false;
    const bool ok =
        f.Write(text.data(), text.size()) == static_cast<int64_t>(text.size()) && f.Sync() && f.Close();
    if (!ok) {
        f.Close();
        platform::DeleteFile(tmp);
        return false;
    }
    return platform::RenameReplace(tmp, path);
}

std::string SongOf(const std::string& rel) {
    return rel.substr(0, rel.find('/'));
}

bool NameIsSafe(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\n') == std::string::npos;
}

// Copies the folder tree `from` to `to` (which must not exist). Hashes of the copied files are added
// to `hashes` under `key`/relative path. Attributes: with `record`, the source's are taken and added to
// `attributes`; without, those recorded in `attributes` are applied. Read-only goes on last.
bool CopyTree(const std::string& from, const std::string& to, const std::string& key, Manifest* hashes,
              Manifest* attributes, bool record, BackupReport* report) {
    Tree tree;
    Walk(from, "", &tree);
    if (!platform::CreateDirectory(to)) {
        report->problems.push_back("cannot create folder " + to);
        return false;
    }
    for (const auto& rel : tree.folders) {
        if (!platform::CreateDirectory(JoinPath(to, rel))) {
            report->problems.push_back("cannot create folder " + JoinPath(to, rel));
            return false;
        }
    }
    for (const auto& rel : tree.files) {
        if (rel.find('\n') != std::string::npos) {
            report->problems.push_back("skipped a file whose name holds a line break in " + key);
            continue;
        }
        std::string hash, error;
        if (!CopyFile(JoinPath(from, rel), JoinPath(to, rel), &hash, &report->bytes, &error)) {
            report->problems.push_back(error);
            return false;
        }
        ++report->files;
        if (hashes)
            (*hashes)[key + "/" + rel] = hash;
    }
    platform::SyncDirectory(to);

    std::vector<std::string> all = tree.files;
    all.insert(all.end(), tree.folders.rbegin(), tree.folders.rend());
    all.push_back("");
    for (const auto& rel : all) {
        const std::string name = rel.empty() ? key : key + "/" + rel;
        uint32_t attr = 0;
        if (record) {
            attr = platform::GetFileAttributes(rel.empty() ? from : JoinPath(from, rel));
            (*attributes)[name] = platform::Format("%02x", attr);
        } else {
            const auto it = attributes->find(name);
            if (it == attributes->end())
                continue;
            attr = static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 16));
        }
        const uint32_t kept = attr & (platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN |
                                      platform::FILE_ATTRIBUTE_SYSTEM | platform::FILE_ATTRIBUTE_ARCHIVE);
        if (kept != 0)
            platform::SetFileAttributes(rel.empty() ? to : JoinPath(to, rel), kept);
    }
    return true;
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        platform::SetFileAttributes(it->path().string(), 0);
    platform::SetFileAttributes(path, 0);
    std::filesystem::remove_all(path, ec);
}

} // namespace

std::string HashFile(const std::string& path) {
    File f;
    if (!f.Open(path, Access::Read, Disposition::OpenExisting))
        return {};
    std::vector<uint8_t> buf(kChunk);
    Digest digest;
    for (;;) {
        const int64_t n = f.Read(buf.data(), buf.size());
        if (n < 0)
            return {};
        if (n == 0)
            return digest.Hex();
        digest.Update(buf.data(), static_cast<size_t>(n));
    }
}

BackupReport BackupSongs(const std::string& card, const std::string& dest,
                         const std::vector<std::string>& songs) {
    BackupReport report;
    if (!platform::IsDirectory(dest) && !platform::CreateDirectory(dest)) {
        report.problems.push_back("cannot create the backup folder " + dest);
        return report;
    }
    Manifest hashes = ReadPairs(JoinPath(dest, kManifestName), true);
    Manifest attributes = ReadPairs(JoinPath(dest, kAttributesName), false);
    for (const auto& song : songs) {
        if (!NameIsSafe(song) || !platform::IsDirectory(JoinPath(card, song))) {
            report.problems.push_back("no song folder " + song + " on the card");
            continue;
        }
        if (platform::PathExists(JoinPath(dest, song))) {
            report.problems.push_back("the backup already holds " + song + "; use another backup folder");
            continue;
        }
        Manifest songHashes, songAttributes;
        if (!CopyTree(JoinPath(card, song), JoinPath(dest, song), song, &songHashes, &songAttributes, true,
                      &report))
            continue;
        hashes.insert(songHashes.begin(), songHashes.end());
        attributes.insert(songAttributes.begin(), songAttributes.end());
        // The manifest is rewritten after every song, so an interrupted backup still describes what it holds.
        if (!WritePairs(JoinPath(dest, kManifestName), hashes, true) ||
            !WritePairs(JoinPath(dest, kAttributesName), attributes, false))
            report.problems.push_back("cannot write the manifest in " + dest);
    }
    return report;
}

std::vector<std::string> SongsInBackup(const std::string& dest) {
    std::vector<std::string> songs;
    for (const auto& [rel, value] : ReadPairs(JoinPath(dest, kAttributesName), false)) {
        const std::string song = SongOf(rel);
        if (songs.empty() || songs.back() != song)
            songs.push_back(song);
    }
    songs.erase(std::unique(songs.begin(), songs.end()), songs.end());
    return songs;
}

BackupReport VerifyBackup(const std::string& dest) {
    BackupReport report;
    const Manifest hashes = ReadPairs(JoinPath(dest, kManifestName), true);
    if (hashes.empty()) {
        report.problems.push_back("no manifest in " + dest);
        return report;
    }
    for (const auto& [rel, hash] : hashes) {
        const std::string path = JoinPath(dest, rel);
        const std::string now = HashFile(path);
        if (now.empty())
            report.problems.push_back("missing or unreadable: " + rel);
        else if (now != hash)
            report.problems.push_back("changed: " + rel);
        else
            ++report.files;
    }
    return report;
}

BackupReport RestoreSongs(const std::string& dest, const std::string& card,
                          const std::vector<std::string>& songs, bool overwrite) {
    BackupReport report;
    const Manifest hashes = ReadPairs(JoinPath(dest, kManifestName), true);
    Manifest attributes = ReadPairs(JoinPath(dest, kAttributesName), false);
    for (const auto& song : songs) {
        if (!NameIsSafe(song) || !platform::IsDirectory(JoinPath(dest, song))) {
            report.problems.push_back("the backup holds no song " + song);
            continue;
        }
        const std::string target = JoinPath(card, song);
        const bool exists = platform::PathExists(target);
        if (exists && !overwrite) {
            report.problems.push_back("song " + song +
                                      " exists on the card; not replaced (use --yes to replace it)");
            continue;
        }
        // The copy is written beside the song under a hidden name and checked before it replaces anything.
        const std::string staging = JoinPath(card, "." + song + ".pelmora-restore");
        const std::string old = JoinPath(card, "." + song + ".pelmora-old");
        RemoveTree(staging);
        if (!CopyTree(JoinPath(dest, song), staging, song, nullptr, &attributes, false, &report)) {
            RemoveTree(staging);
            continue;
        }
        platform::SetFileAttributes(staging,
                                    platform::GetFileAttributes(staging) | platform::FILE_ATTRIBUTE_HIDDEN);
        bool intact = true;
        for (const auto& [rel, hash] : hashes) {
            if (SongOf(rel) != song)
                continue;
            if (HashFile(JoinPath(staging, rel.substr(song.size() + 1))) != hash) {
                report.problems.push_back("restored copy differs from the backup: " + rel);
                intact = false;
            }
        }
        if (!intact) {
            RemoveTree(staging);
            continue;
        }
        RemoveTree(old);
        if (exists && !platform::RenameReplace(target, old)) {
            report.problems.push_back("cannot move the existing song " + song + " aside");
            RemoveTree(staging);
            continue;
        }
        if (!platform::RenameReplace(staging, target)) {
            report.problems.push_back("cannot put " + song + " in place");
            if (exists)
                platform::RenameReplace(old, target);
            RemoveTree(staging);
            continue;
        }
        // The song folder's own attributes as recorded (the staging folder carried "hidden").
        const auto it = attributes.find(song);
        const uint32_t attr =
            it == attributes.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 16));
        platform::SetFileAttributes(target, attr & ~platform::FILE_ATTRIBUTE_DIRECTORY);
        RemoveTree(old);
        platform::SyncDirectory(card);
    }
    return report;
}

} // namespace cli
