#include "card/Backup.h"

#include "card/CardRules.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "card/RestoreState.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <openssl/evp.h>
#include <set>
#include <sstream>

namespace card {
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

enum class Step { Done, Failed, Cancelled };

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

// The controls one job was handed and the result it fills.
class CJobState {
public:
    CJobState(platform::ITextLine* status, platform::IProgressBar* bar, const platform::CancelFlag* cancel)
        : m_status(status), m_bar(bar), m_cancel(cancel) {}

    void Say(const std::string& text) {
        if (m_status)
            m_status->SetText(text);
    }
    void StartBar(uint64_t total) {
        m_pos = 0;
        if (m_bar) {
            m_bar->SetRange(0, static_cast<int64_t>(total));
            m_bar->SetPos(0);
        }
    }
    void Advance(uint64_t units) {
        m_pos += units;
        if (m_bar)
            m_bar->SetPos(static_cast<int64_t>(m_pos));
    }
    bool Cancelled() const { return platform::IsCancelled(m_cancel); }
    void Problem(const std::string& text) { result.problems.push_back(text); }

    // How the job ended; problems are told once, together.
    BackupResult Finish(platform::IMessageBox* box) const {
        if (result.problems.empty())
            return result;
        return platform::StopJob(result, BackupOutcome::Problems, box, JoinLines(result.problems));
    }
    BackupResult Cancel() const {
        BackupResult cancelled = result;
        cancelled.outcome = BackupOutcome::Cancelled;
        return cancelled;
    }

    BackupResult result;

private:
    platform::ITextLine* m_status;
    platform::IProgressBar* m_bar;
    const platform::CancelFlag* m_cancel;
    uint64_t m_pos = 0;
};

enum class StreamEnd { Done, ReadFailed, WriteFailed, Cancelled };

// Reads `in` to its end in blocks into the digest, writing each block to `out` when there is one
// (the bar then follows the bytes written). The cancel flag is read before each block.
StreamEnd Stream(File& in, File* out, Digest& digest, CJobState& job, uint64_t* written) {
    std::vector<uint8_t> buf(kChunk);
    for (;;) {
        if (job.Cancelled())
            return StreamEnd::Cancelled;
        const int64_t n = in.Read(buf.data(), buf.size());
        if (n < 0)
            return StreamEnd::ReadFailed;
        if (n == 0)
            return StreamEnd::Done;
        digest.Update(buf.data(), static_cast<size_t>(n));
        if (!out)
            continue;
        if (out->Write(buf.data(), static_cast<size_t>(n)) != n)
            return StreamEnd::WriteFailed;
        *written += static_cast<uint64_t>(n);
        job.Advance(static_cast<uint64_t>(n));
    }
}

// The lower-case hex SHA-256 of a file into *hex, which stays empty when the file cannot be read.
Step HashFile(const std::string& path, CJobState& job, std::string* hex) {
    hex->clear();
    File f;
    if (!f.Open(path, Access::Read, Disposition::OpenExisting))
        return Step::Failed;
    Digest digest;
    uint64_t none = 0;
    const StreamEnd end = Stream(f, nullptr, digest, job, &none);
    if (end == StreamEnd::Cancelled)
        return Step::Cancelled;
    if (end != StreamEnd::Done)
        return Step::Failed;
    *hex = digest.Hex();
    return Step::Done;
}

// Copies one file, hashing what it reads; the copy is flushed to its medium before this returns.
// Anything but Done leaves no file at `to`.
Step CopyFile(const std::string& from, const std::string& to, std::string* hash, uint64_t* bytes,
              CJobState& job) {
    File in, out;
    if (!in.Open(from, Access::Read, Disposition::OpenExisting)) {
        job.Problem("cannot read " + from);
        return Step::Failed;
    }
    if (!out.Open(to, Access::ReadWrite, Disposition::CreateNew)) {
        job.Problem("cannot create " + to);
        return Step::Failed;
    }
    Digest digest;
    uint64_t written = 0;
    StreamEnd end = Stream(in, &out, digest, job, &written);
    if (end == StreamEnd::Done && (!out.Sync() || !out.Close()))
        end = StreamEnd::WriteFailed;
    if (end == StreamEnd::Done) {
        *hash = digest.Hex();
        *bytes += written;
        return Step::Done;
    }
    if (end == StreamEnd::ReadFailed)
        job.Problem("read error in " + from);
    else if (end == StreamEnd::WriteFailed)
        job.Problem("write error in " + to);
    out.Close();
    platform::DeleteFile(to);
    return end == StreamEnd::Cancelled ? Step::Cancelled : Step::Failed;
}

struct Tree {
    std::vector<std::string> folders; // relative, parents first
    std::vector<std::string> files;   // relative
    std::vector<std::string> links;   // links to folders, never followed (one may lead back up the tree)
    uint64_t bytes = 0;               // the files' sizes
};

// Every file and folder under root but this program's own leftovers, which are never part of a song.
// False (with *unreadable) when a folder cannot be read: its files would be missing from the copy.
bool Walk(const std::string& root, const std::string& rel, Tree* tree, std::string* unreadable) {
    const std::string here = rel.empty() ? root : JoinPath(root, rel);
    std::vector<platform::FindEntry> entries;
    if (!platform::ListFolder(here, &entries)) {
        *unreadable = here;
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& e : entries) {
        if (platform::IsOwnName(e.name))
            continue;
        const std::string child = rel.empty() ? e.name : rel + "/" + e.name;
        if ((e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0 && e.link) {
            tree->links.push_back(child);
        } else if (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
            tree->folders.push_back(child);
            if (!Walk(root, child, tree, unreadable))
                return false;
        } else {
            tree->files.push_back(child);
            tree->bytes += e.size;
        }
    }
    return true;
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
    for (const auto& [rel, value] : m) {
        text += value;
        text += hashFirst ? "  " : " ";
        text += rel;
        text += '\n';
    }
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

uint32_t RecordedAttributes(const Manifest& attributes, const std::string& name) {
    const auto it = attributes.find(name);
    return it == attributes.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 16));
}

// One folder tree to copy: a backup records what it copies, a restore applies what was recorded.
struct TreeCopy {
    std::string from;
    std::string to;  // an empty folder the caller made
    std::string key; // the song's name, which the manifest's paths start with
    Manifest* hashes = nullptr;
    Manifest* attributes = nullptr;
    bool record = false;
};

struct Tally {
    int files = 0;
    uint64_t bytes = 0;
};

Step CopyFiles(const TreeCopy& copy, const Tree& tree, Tally* tally, CJobState& job) {
    for (const auto& rel : tree.links)
        job.Problem("skipped a link to a folder: " + copy.key + "/" + rel);
    for (const auto& rel : tree.folders) {
        if (!platform::CreateDirectory(JoinPath(copy.to, rel))) {
            job.Problem("cannot create folder " + JoinPath(copy.to, rel));
            return Step::Failed;
        }
    }
    for (const auto& rel : tree.files) {
        if (rel.find('\n') != std::string::npos) {
            job.Problem("skipped a file whose name holds a line break in " + copy.key);
            continue;
        }
        std::string hash;
        const Step step =
            CopyFile(JoinPath(copy.from, rel), JoinPath(copy.to, rel), &hash, &tally->bytes, job);
        if (step != Step::Done)
            return step;
        ++tally->files;
        if (copy.hashes)
            (*copy.hashes)[copy.key + "/" + rel] = hash;
    }
    return Step::Done;
}

// With `record`, the source's attributes are added to `attributes`, the song folder's own included;
// without, those recorded there are applied to what is in the folder (the folder's own go on once it
// is in the song's place). Read-only goes on last, once every file is written.
void CarryAttributes(const TreeCopy& copy, const Tree& tree) {
    std::vector<std::string> all = tree.files;
    all.insert(all.end(), tree.folders.rbegin(), tree.folders.rend());
    if (copy.record)
        all.push_back("");
    for (const auto& rel : all) {
        const std::string name = rel.empty() ? copy.key : copy.key + "/" + rel;
        uint32_t attr = 0;
        if (copy.record) {
            attr = platform::GetFileAttributes(rel.empty() ? copy.from : JoinPath(copy.from, rel));
            (*copy.attributes)[name] = platform::Format("%02x", attr);
        } else if (copy.attributes->count(name) != 0) {
            attr = RecordedAttributes(*copy.attributes, name);
        } else {
            continue;
        }
        const uint32_t kept = attr & (platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN |
                                      platform::FILE_ATTRIBUTE_SYSTEM | platform::FILE_ATTRIBUTE_ARCHIVE);
        if (kept != 0)
            platform::SetFileAttributes(rel.empty() ? copy.to : JoinPath(copy.to, rel), kept);
    }
}

// Copies the tree with its attributes into the folder copy.to, which the caller made; the bar follows
// the bytes copied. Anything but Done leaves nothing at copy.to.
Step CopyTree(const TreeCopy& copy, Tally* tally, CJobState& job) {
    Tree tree;
    std::string unreadable;
    Step step = Step::Done;
    if (!Walk(copy.from, "", &tree, &unreadable)) {
        job.Problem("cannot read folder " + unreadable);
        step = Step::Failed;
    } else {
        job.StartBar(tree.bytes);
        step = CopyFiles(copy, tree, tally, job);
    }
    if (step != Step::Done) {
        platform::RemoveTree(copy.to);
        return step;
    }
    platform::SyncDirectory(copy.to);
    CarryAttributes(copy, tree);
    return Step::Done;
}

void Count(const Tally& tally, CJobState& job) {
    job.result.files += tally.files;
    job.result.bytes += tally.bytes;
}

// Why a song cannot be read now, empty when its read lock is held.
std::string LockForReading(CJobLock& lock, const BackupParams& params, const std::string& song) {
    switch (lock.LockSong(params.card, song, CJobLock::Use::Read)) {
    case CJobLock::Result::Locked:
        return {};
    case CJobLock::Result::InUse:
        return SongInUseText(song);
    case CJobLock::Result::CardInUse:
        return CardInUseText(params.card);
    case CJobLock::Result::NoSong:
        break;
    case CJobLock::Result::Failed:
        return "cannot read the song folder " + JoinPath(params.card, song);
    }
    return "no song folder " + song + " on the card";
}

// The mark a backup keeps in its folder while it runs.
std::string UnfinishedMarkPath(const std::string& dest) {
    return JoinPath(dest, platform::OwnNameFor("unfinished", "backup"));
}

bool Mark(const std::string& path) {
    File mark;
    const bool made =
        mark.Open(path, Access::ReadWrite, Disposition::CreateAlways) && mark.Sync() && mark.Close();
    return made && platform::SyncDirectory(platform::DirName(path));
}

void Unmark(const std::string& path) {
    if (platform::DeleteFile(path))
        platform::SyncDirectory(platform::DirName(path));
}

// Recorded in both lists: the manifest's hashes and the attributes (the folder's own entry included).
bool IsFullyRecorded(const std::string& song, const Manifest& hashes, const Manifest& attributes) {
    return attributes.count(song) != 0 && std::any_of(hashes.begin(), hashes.end(), [&](const auto& entry) {
               return SongOf(entry.first) == song;
           });
}

// Takes the song out of both lists (in memory; the next Record writes them).
void Forget(const std::string& song, Manifest* hashes, Manifest* attributes) {
    for (Manifest* list : {hashes, attributes})
        std::erase_if(*list, [&](const auto& entry) { return SongOf(entry.first) == song; });
}

// Records the song in the manifests; on failure the song's entries go again and the manifests are
// written back as they were, so the backup never names what it does not hold.
bool Record(const std::string& dest, const Manifest& songHashes, const Manifest& songAttributes,
            Manifest* hashes, Manifest* attributes) {
    const Manifest hashesBefore = *hashes, attributesBefore = *attributes;
    hashes->insert(songHashes.begin(), songHashes.end());
    attributes->insert(songAttributes.begin(), songAttributes.end());
    if (WritePairs(JoinPath(dest, kManifestName), *hashes, true) &&
        WritePairs(JoinPath(dest, kAttributesName), *attributes, false))
        return true;
    *hashes = hashesBefore;
    *attributes = attributesBefore;
    WritePairs(JoinPath(dest, kManifestName), *hashes, true);
    WritePairs(JoinPath(dest, kAttributesName), *attributes, false);
    return false;
}

// The song is copied under the read lock into a folder of this program's own name, and takes its
// name in the backup only once whole; whatever fails, nothing of it is left in the backup folder.
Step BackupSong(const BackupParams& params, const std::string& song, bool resuming, Manifest* hashes,
                Manifest* attributes, CJobState& job) {
    const std::string from = JoinPath(params.card, song), to = JoinPath(params.dest, song);
    if (!NameIsSafe(song) || platform::IsOwnName(song)) {
        job.Problem("no song folder " + song + " on the card");
        return Step::Failed;
    }
    if (resuming && platform::PathExists(to)) {
        // A backup that was stopped short: what it recorded in both lists is whole; anything else of the
        // song's is its half-done work, which is done again.
        if (IsFullyRecorded(song, *hashes, *attributes))
            return Step::Done;
        Forget(song, hashes, attributes);
        platform::RemoveTree(to);
    }
    if (platform::PathExists(to)) {
        job.Problem("the backup already holds " + song + "; use another backup folder");
        return Step::Failed;
    }
    CJobLock lock;
    if (const std::string why = LockForReading(lock, params, song); !why.empty()) {
        job.Problem(why);
        return Step::Failed;
    }
    job.Say("Backup   " + song);
    // A copy a killed backup left under this name: the backup folder is held, so it is no one's.
    const std::string building = JoinPath(params.dest, platform::OwnNameFor("new", song));
    platform::RemoveTree(building);
    if (!platform::CreateDirectory(building)) {
        job.Problem("cannot create folder " + building);
        return Step::Failed;
    }
    Manifest songHashes, songAttributes;
    Tally tally;
    const Step step = CopyTree({from, building, song, &songHashes, &songAttributes, true}, &tally, job);
    if (step != Step::Done)
        return step;
    lock.Unlock();
    if (!platform::RenameNoReplace(building, to)) {
        platform::RemoveTree(building);
        job.Problem("cannot put " + song + " into the backup folder " + params.dest);
        return Step::Failed;
    }
    // The manifest is rewritten after every song, so an interrupted backup still describes what it holds.
    if (!Record(params.dest, songHashes, songAttributes, hashes, attributes)) {
        platform::RemoveTree(to);
        job.Problem("cannot write the manifest in " + params.dest);
        return Step::Failed;
    }
    Count(tally, job);
    return Step::Done;
}

// Re-hashes every file of the manifest; the bar counts the files. The songs with a file missing or
// changed go into *damaged when it is given.
Step VerifyFiles(const std::string& dest, const Manifest& hashes, CJobState& job,
                 std::set<std::string>* damaged = nullptr) {
    if (hashes.empty()) {
        job.Problem("no manifest in " + dest);
        return Step::Failed;
    }
    job.StartBar(hashes.size());
    std::string song;
    for (const auto& [rel, hash] : hashes) {
        if (SongOf(rel) != song || song.empty()) {
            song = SongOf(rel);
            job.Say("Verify   " + song);
        }
        std::string now;
        if (HashFile(JoinPath(dest, rel), job, &now) == Step::Cancelled)
            return Step::Cancelled;
        if (now.empty())
            job.Problem("missing or unreadable: " + rel);
        else if (now != hash)
            job.Problem("changed: " + rel);
        else
            ++job.result.files;
        if (damaged && now != hash)
            damaged->insert(song);
        job.Advance(1);
    }
    return Step::Done;
}

// A song the backup records: a folder that merely sits in the backup folder (a copy cut short, or
// put there by hand) is never put on a card.
bool IsRecorded(const std::string& song, const Manifest& hashes, const Manifest& attributes) {
    return attributes.count(song) != 0 || std::any_of(hashes.begin(), hashes.end(), [&](const auto& entry) {
               return SongOf(entry.first) == song;
           });
}

// Checks the restored copy of a song against the manifest.
Step CheckCopy(const std::string& staging, const std::string& song, const Manifest& hashes, CJobState& job) {
    bool intact = true;
    for (const auto& [rel, hash] : hashes) {
        if (SongOf(rel) != song)
            continue;
        std::string now;
        if (HashFile(JoinPath(staging, rel.substr(song.size() + 1)), job, &now) == Step::Cancelled)
            return Step::Cancelled;
        if (now != hash) {
            job.Problem("restored copy differs from the backup: " + rel);
            intact = false;
        }
    }
    return intact ? Step::Done : Step::Failed;
}

// Why the song cannot be restored now, empty when nothing stands in the way: the song's write lock is
// then held in `lock`, and no half of an earlier restore of it is on the card.
std::string ClaimSong(const RestoreParams& params, const std::string& song, CJobLock& lock) {
    const std::string target = SongFolderPath(params.card, song);
    if (platform::PathExists(target)) {
        if (!platform::IsDirectory(target))
            return song + " on the card is not a song folder; not replaced";
        if (!params.overwrite)
            return "song " + song + " exists on the card; not replaced (use --yes to replace it)";
        switch (lock.LockSong(params.card, song, CJobLock::Use::Write)) {
        case CJobLock::Result::Locked:
            break;
        case CJobLock::Result::InUse:
            return SongInUseText(song);
        case CJobLock::Result::CardInUse:
            return CardInUseText(params.card);
        case CJobLock::Result::NoSong:
        case CJobLock::Result::Failed:
            return "cannot open the song folder " + target;
        }
    }
    // Halves of an earlier restore are still there when the clean-up was skipped (another job held the
    // card) or left them: a restore running now holds its copy.
    const RestoreHalves halves = FindRestoreHalves(params.card, song);
    if (!halves.Any())
        return {};
    platform::CFolderLock probe;
    if (halves.copy && probe.Lock(RestoreCopyPath(params.card, song), platform::LockMode::Exclusive) ==
                           platform::LockResult::InUse)
        return SongInUseText(song);
    return song + " not restored: " + InterruptedRestoreState(song, halves);
}

// Makes the copy's folder and holds it, so that no other restore writes the same copy.
std::string ClaimCopy(const std::string& copy, const std::string& song, platform::CFolderLock& lock) {
    if (!platform::CreateDirectory(copy))
        return platform::PathExists(copy) ? SongInUseText(song) : "cannot create folder " + copy;
    if (lock.Lock(copy, platform::LockMode::Exclusive) != platform::LockResult::InUse)
        return {};
    return SongInUseText(song);
}

// The copy is written beside the song under this program's own name, checked, and marked once checked;
// only a marked copy takes the song's place (card/RestoreState.h tells every state on the way).
Step RestoreSong(const RestoreParams& params, const std::string& song, const Manifest& hashes,
                 Manifest& attributes, bool damaged, CJobState& job) {
    const std::string from = JoinPath(params.dest, song);
    if (!NameIsSafe(song) || platform::IsOwnName(song) || !platform::IsDirectory(from) ||
        !IsRecorded(song, hashes, attributes)) {
        job.Problem("the backup holds no song " + song);
        return Step::Failed;
    }
    if (damaged) {
        job.Problem("the backup of " + song + " does not match its manifest; not restored");
        return Step::Failed;
    }
    CJobLock songLock;
    platform::CFolderLock copyLock;
    const std::string copy = RestoreCopyPath(params.card, song);
    std::string why = ClaimSong(params, song, songLock);
    if (why.empty())
        why = ClaimCopy(copy, song, copyLock);
    if (!why.empty()) {
        job.Problem(why);
        return Step::Failed;
    }
    job.Say("Restore   " + song);
    // Hidden while it is being written, for a card read elsewhere meanwhile.
    platform::SetFileAttributes(copy, platform::FILE_ATTRIBUTE_HIDDEN);
    Tally tally;
    Step step = CopyTree({from, copy, song, nullptr, &attributes, false}, &tally, job);
    if (step != Step::Done)
        return step;
    step = CheckCopy(copy, song, hashes, job);
    if (step == Step::Done &&
        (!platform::SetFileAttributes(copy, 0) || !MarkCopyVerified(params.card, song))) {
        job.Problem("cannot write to the card " + params.card);
        step = Step::Failed;
    }
    if (step != Step::Done) {
        // Unmarked, the copy is only ever removed.
        platform::DeleteFile(JoinPath(copy, RestoreMarkName(song)));
        platform::RemoveTree(copy);
        return step;
    }
    std::string problem;
    if (!CompleteRestore(params.card, song, &problem)) {
        job.Problem(problem + "; " + InterruptedRestoreState(song, FindRestoreHalves(params.card, song)));
        return Step::Failed;
    }
    // The song folder's own attributes as recorded, now that it is in place.
    platform::SetFileAttributes(SongFolderPath(params.card, song),
                                RecordedAttributes(attributes, song) & ~platform::FILE_ATTRIBUTE_DIRECTORY);
    Count(tally, job);
    return Step::Done;
}

// The manifest's entries of the given songs.
Manifest EntriesOf(const Manifest& hashes, const std::vector<std::string>& songs) {
    const std::set<std::string> wanted(songs.begin(), songs.end());
    Manifest entries;
    for (const auto& entry : hashes) {
        if (wanted.count(SongOf(entry.first)) != 0)
            entries.insert(entry);
    }
    return entries;
}

} // namespace

BackupResult RunBackup(const BackupParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget*) {
    CJobState job(status, progress, cancel);
    const bool made = !platform::IsDirectory(params.dest);
    if (made && !platform::CreateDirectory(params.dest)) {
        job.Problem("cannot create the backup folder " + params.dest);
        return job.Finish(box);
    }
    // One backup at a time into a folder: each rewrites the whole manifest after every song.
    platform::CFolderLock destLock;
    if (destLock.Lock(params.dest, platform::LockMode::Exclusive) == platform::LockResult::InUse) {
        job.Problem("the backup folder " + params.dest + " is in use by another program");
        return job.Finish(box);
    }
    Manifest hashes = ReadPairs(JoinPath(params.dest, kManifestName), true);
    Manifest attributes = ReadPairs(JoinPath(params.dest, kAttributesName), false);
    // Until the run is over the backup says it is unfinished, so that one killed half-way never passes
    // for whole; the next run into the folder takes up where it stopped.
    const std::string unfinished = UnfinishedMarkPath(params.dest);
    const bool resuming = platform::PathExists(unfinished);
    if (!resuming && !Mark(unfinished)) {
        job.Problem("cannot write to the backup folder " + params.dest);
        return job.Finish(box);
    }
    for (const auto& song : params.songs) {
        if (BackupSong(params, song, resuming, &hashes, &attributes, job) == Step::Cancelled) {
            Unmark(unfinished);
            if (made)
                platform::RemoveDirectory(params.dest); // only while it is still empty
            return job.Cancel();
        }
    }
    Unmark(unfinished);
    return job.Finish(box);
}

BackupResult RunVerify(const VerifyParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget*) {
    CJobState job(status, progress, cancel);
    if (platform::PathExists(UnfinishedMarkPath(params.dest)))
        job.Problem("the backup into " + params.dest + " was stopped before it finished; run it again");
    if (VerifyFiles(params.dest, ReadPairs(JoinPath(params.dest, kManifestName), true), job) ==
        Step::Cancelled)
        return job.Cancel();
    return job.Finish(box);
}

BackupResult RunRestore(const RestoreParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                        platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                        platform::IMessageTarget*) {
    const Manifest hashes = ReadPairs(JoinPath(params.dest, kManifestName), true);
    CJobState job(status, progress, cancel);
    // The songs asked for are checked against the manifest first; a damaged one is named and left out.
    CJobState check(status, progress, cancel);
    std::set<std::string> damaged;
    const Manifest asked = hashes.empty() ? hashes : EntriesOf(hashes, params.songs);
    if ((hashes.empty() || !asked.empty()) &&
        VerifyFiles(params.dest, asked, check, &damaged) == Step::Cancelled)
        return job.Cancel();
    const bool allDamaged = std::all_of(params.songs.begin(), params.songs.end(),
                                        [&](const std::string& song) { return damaged.count(song) != 0; });
    if (!check.result.problems.empty() && (hashes.empty() || allDamaged)) {
        job.result.problems = check.result.problems;
        return platform::StopJob(job.result, BackupOutcome::Refused, box,
                                 "the backup does not match its manifest; nothing restored");
    }
    job.result.problems = check.result.problems;

    CJobLock cardLock;
    TidyResult tidied;
    switch (LockCardForWriting(cardLock, params.card, &tidied)) {
    case CJobLock::Result::Locked:
        break;
    case CJobLock::Result::InUse:
    case CJobLock::Result::CardInUse:
        job.Problem(CardInUseText(params.card));
        return job.Finish(box);
    case CJobLock::Result::NoSong:
    case CJobLock::Result::Failed:
        job.Problem("cannot open the card folder " + params.card);
        return job.Finish(box);
    }
    for (const auto& problem : tidied.problems)
        job.Problem(problem);
    Manifest attributes = ReadPairs(JoinPath(params.dest, kAttributesName), false);
    for (const auto& song : params.songs) {
        if (RestoreSong(params, song, hashes, attributes, damaged.count(song) != 0, job) == Step::Cancelled)
            return job.Cancel();
    }
    return job.Finish(box);
}

std::vector<std::string> SongsInBackup(const std::string& dest) {
    // Both lists: a backup stopped between writing them names a song in one only.
    std::vector<std::string> songs;
    for (const bool hashFirst : {false, true}) {
        const std::string list = JoinPath(dest, hashFirst ? kManifestName : kAttributesName);
        for (const auto& [rel, value] : ReadPairs(list, hashFirst))
            songs.push_back(SongOf(rel));
    }
    // "Song04-01" sorts between "Song04" and "Song04/...": the same song may come back later.
    std::sort(songs.begin(), songs.end());
    songs.erase(std::unique(songs.begin(), songs.end()), songs.end());
    return songs;
}

} // namespace card
