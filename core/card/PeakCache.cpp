#include "card/PeakCache.h"

#include "card/CardRules.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace card {
namespace {

constexpr char kMagic[8] = {'P', 'L', 'M', 'P', 'E', 'A', 'K', '1'};
constexpr size_t kEdge = size_t{64} * 1024;
using Digest = std::array<uint8_t, 32>;

Digest Sha256(const void* data, size_t size) {
    Digest d{};
    unsigned int length = 0;
    EVP_Digest(data, size, d.data(), &length, EVP_sha256(), nullptr);
    return d;
}

// The path with every part that exists resolved (links, "..", relative parts); the parts that do
// not exist yet are kept as written.
std::string ResolvedPath(const std::string& path) {
    std::string head = path.empty() ? std::string(".") : path, tail;
    while (true) {
        if (char* real = ::realpath(head.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return tail.empty() ? resolved : platform::JoinPath(resolved, tail);
        }
        const size_t slash = head.find_last_of('/');
        if (slash == std::string::npos || head == "/")
            return path;
        tail = tail.empty() ? head.substr(slash + 1) : platform::JoinPath(head.substr(slash + 1), tail);
        head = slash == 0 ? "/" : head.substr(0, slash);
    }
}

bool IsInside(const std::string& path, const std::string& folder) {
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

bool CreateFolders(const std::string& path) {
    if (platform::IsDirectory(path))
        return true;
    const std::string parent = platform::DirName(path);
    if (parent != path && !parent.empty() && !CreateFolders(parent))
        return false;
    return platform::CreateDirectory(path) || platform::IsDirectory(path);
}

using Key = CPeakCache::FileKey;

bool ReadFileKey(const std::string& audioPath, Key* key) {
    struct stat st {};
    if (::stat(audioPath.c_str(), &st) != 0)
        return false;
    key->path = ResolvedPath(audioPath);
    key->size = static_cast<uint64_t>(st.st_size);
    key->mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    platform::File file;
    if (!file.Open(audioPath, platform::Access::Read, platform::Disposition::OpenExisting))
        return false;
    std::vector<uint8_t> edges(std::min<uint64_t>(key->size, kEdge));
    if (file.Read(edges.data(), edges.size()) != static_cast<int64_t>(edges.size()))
        return false;
    if (key->size > kEdge) {
        const uint64_t from = std::max<uint64_t>(kEdge, key->size - kEdge);
        std::vector<uint8_t> last(key->size - from);
        if (file.Seek(static_cast<int64_t>(from), platform::Whence::Begin) < 0 ||
            file.Read(last.data(), last.size()) != static_cast<int64_t>(last.size()))
            return false;
        edges.insert(edges.end(), last.begin(), last.end());
    }
    key->edges = Sha256(edges.data(), edges.size());
    return true;
}

std::vector<uint8_t> HeaderOf(const Key& key, const wave::Peaks& peaks) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    auto put = [&out](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    const auto pathLength = static_cast<uint32_t>(key.path.size());
    put(&pathLength, sizeof pathLength);
    put(key.path.data(), key.path.size());
    put(&key.size, sizeof key.size);
    put(&key.mtime, sizeof key.mtime);
    put(key.edges.data(), key.edges.size());
    const uint64_t blocks = peaks.Blocks();
    put(&peaks.samples, sizeof peaks.samples);
    put(&blocks, sizeof blocks);
    return out;
}

} // namespace

std::string DefaultPeakCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/')
        return platform::JoinPath(xdg, "pelmora");
    const char* home = std::getenv("HOME");
    return platform::JoinPath(platform::JoinPath(home && home[0] ? home : "/tmp", ".cache"), "pelmora");
}

CPeakCache::CPeakCache(std::string folder, const std::string& card, uint64_t capBytes)
    : m_folder(std::move(folder)), m_cap(capBytes) {
    m_usable = !m_folder.empty() && !IsInside(ResolvedPath(m_folder), ResolvedPath(card));
}

bool CPeakCache::ReadKey(const std::string& audioPath, FileKey* key) {
    return ReadFileKey(audioPath, key);
}

std::string CPeakCache::EntryPath(const std::string& audioPath) const {
    return EntryPathOf(ResolvedPath(audioPath));
}

std::string CPeakCache::EntryPathOf(const std::string& path) const {
    const Digest d = Sha256(path.data(), path.size());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name;
    for (size_t i = 0; i < 16; ++i) {
        name += kHex[d[i] >> 4];
        name += kHex[d[i] & 15];
    }
    return platform::JoinPath(m_folder, name + ".peaks");
}

bool CPeakCache::Find(const std::string& audioPath, wave::Peaks* peaks) const {
    Key key;
    return m_usable && ReadFileKey(audioPath, &key) && Find(key, peaks);
}

bool CPeakCache::Find(const FileKey& key, wave::Peaks* peaks) const {
    if (!m_usable)
        return false;
    const std::string entry = EntryPathOf(key.path);
    platform::File file;
    if (!file.Open(entry, platform::Access::Read, platform::Disposition::OpenExisting))
        return false;
    const std::vector<uint8_t> expected = HeaderOf(key, wave::Peaks{});
    const size_t keyBytes = expected.size() - 16; // all but the sample and block counts
    std::vector<uint8_t> header(expected.size());
    uint64_t counts[2] = {0, 0};
    if (file.Read(header.data(), header.size()) != static_cast<int64_t>(header.size()) ||
        std::memcmp(header.data(), expected.data(), keyBytes) != 0)
        return false;
    std::memcpy(counts, header.data() + keyBytes, sizeof counts);
    if (counts[1] > key.size / 2 / wave::kPeakBlock + 1 || counts[0] > key.size / 2)
        return false;
    wave::Peaks found;
    found.samples = counts[0];
    found.minMax.resize(2 * counts[1]);
    const auto bytes = static_cast<int64_t>(found.minMax.size() * sizeof(int16_t));
    if (file.Read(found.minMax.data(), static_cast<size_t>(bytes)) != bytes)
        return false;
    file.Close();
    ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0); // used now: the last to be trimmed
    *peaks = std::move(found);
    return true;
}

bool CPeakCache::Store(const std::string& audioPath, const wave::Peaks& peaks) {
    Key key;
    return m_usable && ReadFileKey(audioPath, &key) && Store(key, peaks);
}

bool CPeakCache::Store(const FileKey& key, const wave::Peaks& peaks, bool trim) {
    if (!m_usable || !CreateFolders(m_folder))
        return false;
    const std::string entry = EntryPathOf(key.path);
    // A name of this process's own: two windows may keep the same file's peaks at once.
    const std::string part = entry + "." + std::to_string(::getpid()) + ".part";
    const std::vector<uint8_t> header = HeaderOf(key, peaks);
    platform::File file;
    if (!file.Open(part, platform::Access::ReadWrite, platform::Disposition::CreateAlways))
        return false;
    const size_t bytes = peaks.minMax.size() * sizeof(int16_t);
    const bool written = file.Write(header.data(), header.size()) == static_cast<int64_t>(header.size()) &&
                         file.Write(peaks.minMax.data(), bytes) == static_cast<int64_t>(bytes);
    // A cache is worth no wait for the disk: renamed without syncing the folder.
    if (!file.Close() || !written || ::rename(part.c_str(), entry.c_str()) != 0) {
        platform::DeleteFile(part);
        return false;
    }
    if (trim)
        Trim();
    return true;
}

void CPeakCache::Trim() const {
    struct Held {
        std::string path;
        uint64_t size;
        int64_t used;
    };
    std::vector<Held> held;
    uint64_t total = 0;
    for (const auto& e : platform::FindFiles(m_folder, "*.peaks")) {
        struct stat st {};
        const std::string path = platform::JoinPath(m_folder, e.name);
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        held.push_back({path, static_cast<uint64_t>(st.st_size),
                        static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
        total += static_cast<uint64_t>(st.st_size);
    }
    // What a process that ended while writing left behind goes once it is clearly not being written.
    const auto stale = std::chrono::system_clock::now() - std::chrono::minutes(10);
    for (const auto& e : platform::FindFiles(m_folder, "*.part")) {
        struct stat st {};
        const std::string path = platform::JoinPath(m_folder, e.name);
        if (::stat(path.c_str(), &st) == 0 && std::chrono::system_clock::from_time_t(st.st_mtime) < stale)
            platform::DeleteFile(path);
    }
    std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.used < b.used; });
    for (const Held& h : held) {
        if (total <= m_cap)
            break;
        if (platform::DeleteFile(h.path))
            total -= h.size;
    }
}

namespace {

std::string CacheFolderOf(const SongPeaksParams& params) {
    return params.cacheFolder.empty() ? DefaultPeakCacheFolder() : params.cacheFolder;
}

} // namespace

SongPeaksResult FindCachedSongPeaks(const SongPeaksParams& params) {
    SongPeaksResult result;
    const CPeakCache cache(CacheFolderOf(params), params.card, params.cacheCap);
    for (const std::string& name : params.files) {
        wave::Peaks peaks;
        if (cache.Find(AudioFilePath(params.card, params.song, name), &peaks))
            result.peaks[name] = std::move(peaks);
    }
    return result;
}

namespace {

// A file whose peaks are still to be read: its key (when it could be read) and its audio's size.
struct Missing {
    std::string name;
    std::string path;
    CPeakCache::FileKey key;
    bool keyed = false;
};

} // namespace

SongPeaksResult RunSongPeaks(const SongPeaksParams& params, platform::IMessageBox* /*box*/,
                             platform::ITextLine* status, platform::IProgressBar* progress,
                             const platform::CancelFlag* cancel, platform::IMessageTarget* /*target*/) {
    SongPeaksResult result;
    CPeakCache cache(CacheFolderOf(params), params.card, params.cacheCap);
    std::vector<Missing> missing;
    int64_t total = 0;
    for (const std::string& name : params.files) {
        Missing m{name, AudioFilePath(params.card, params.song, name), {}, false};
        m.keyed = CPeakCache::ReadKey(m.path, &m.key);
        wave::Peaks peaks;
        if (m.keyed && cache.Find(m.key, &peaks)) {
            result.peaks[name] = std::move(peaks);
            continue;
        }
        total += static_cast<int64_t>(wave::AudioBytes(m.path));
        missing.push_back(std::move(m));
    }
    if (progress)
        progress->SetRange(0, total);
    int64_t base = 0;
    bool stored = false;
    // The cap is kept once for the whole song, not after each file.
    const auto finish = [&](SongPeaksOutcome outcome) {
        if (stored)
            cache.Trim();
        result.outcome = outcome;
    };
    for (const Missing& m : missing) {
        if (status)
            status->SetText("Reading " + m.name);
        wave::Peaks peaks;
        const wave::PeaksStatus read = wave::ComputePeaks(m.path, &peaks, progress, base, cancel);
        if (read == wave::PeaksStatus::Cancelled) {
            finish(SongPeaksOutcome::Cancelled);
            return result;
        }
        if (read != wave::PeaksStatus::Complete)
            continue;
        base += static_cast<int64_t>(2 * peaks.samples);
        if (m.keyed)
            stored = cache.Store(m.key, peaks, false) || stored;
        result.peaks[m.name] = std::move(peaks);
        ++result.computed;
    }
    finish(SongPeaksOutcome::Finished);
    return result;
}

} // namespace card
