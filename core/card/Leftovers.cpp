#include "card/Leftovers.h"

#include "card/CardRules.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <algorithm>
#include <set>

namespace card {
namespace {

using platform::FindEntry;
using platform::JoinPath;

bool IsHalfMadeKind(const std::string& kind) {
    return kind == "new" || kind == "test" || kind == "part" || kind == "update";
}

std::string HalfMadeText(const std::string& kind) {
    if (kind == "new")
        return "a song being built: removed";
    if (kind == "test")
        return "a write test: removed";
    if (kind == "part")
        return "an audio file on its way into a song: removed";
    return "a new version of a song's ADL file: removed";
}

constexpr const char* kUnknownText = "not made by this version of the program: left as it is";

bool IsRealFolder(const FindEntry& e) {
    return (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0 && !e.link;
}

std::vector<FindEntry> SortedEntries(const std::string& folder) {
    std::vector<FindEntry> entries;
    platform::ListFolder(folder, &entries);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return entries;
}

// The song a half of a restore in the card's root stands for: "<prefix><kind>-<song>".
std::string SongOfHalf(const std::string& name, const std::string& kind) {
    const size_t start = sizeof platform::kOwnNamePrefix - 1 + kind.size() + 1;
    return name.size() > start ? name.substr(start) : std::string();
}

LeftoverAction ActionFor(RestoreFix fix) {
    switch (fix) {
    case RestoreFix::Finish:
        return LeftoverAction::FinishRestore;
    case RestoreFix::Undo:
        return LeftoverAction::UndoRestore;
    case RestoreFix::None:
    case RestoreFix::Leave:
        break;
    }
    return LeftoverAction::Leave;
}

std::string HalfText(const std::string& kind, const std::string& song, const RestoreHalves& h) {
    switch (FixFor(h)) {
    case RestoreFix::Finish:
        if (kind == "verified")
            return "the mark of the checked copy of " + song + ": removed last";
        if (kind == "old")
            return song + " as it was before its restore: removed once the checked copy is in place";
        return h.copyMarked ? "the checked copy of " + song + ": put in the song's place"
                            : song + " as it was before its restore: removed";
    case RestoreFix::Undo:
        return kind == "old" ? song + " moved aside by its restore: put back"
                             : "an unchecked copy of " + song + ": removed";
    case RestoreFix::None:
    case RestoreFix::Leave:
        break;
    }
    return "a version of " + song + " left by an interrupted restore beside another: left as it is";
}

struct Scan {
    std::vector<Leftover> entries;
    std::set<std::string> restores; // songs with a half of a restore on the card
};

void AddHalf(const std::string& card, const std::string& path, const std::string& kind,
             const std::string& song, Scan* scan) {
    const RestoreHalves h = FindRestoreHalves(card, song);
    scan->entries.push_back({path, kind, song, ActionFor(FixFor(h)), HalfText(kind, song, h)});
    if (h.Any())
        scan->restores.insert(song);
}

// Own names in a folder of a song (the song's own folder, or one in it such as 2mix).
void ScanSongFolder(const std::string& card, const std::string& song, const std::string& folder, bool inner,
                    Scan* scan) {
    for (const auto& e : SortedEntries(folder)) {
        const std::string path = JoinPath(folder, e.name);
        if (!platform::IsOwnName(e.name)) {
            if (!inner && IsRealFolder(e))
                ScanSongFolder(card, song, path, true, scan);
            continue;
        }
        const std::string kind = platform::OwnNameKind(e.name);
        if (IsHalfMadeKind(kind))
            scan->entries.push_back({path, kind, song, LeftoverAction::Remove, HalfMadeText(kind)});
        else if (!inner && e.name == RestoreMarkName(song))
            AddHalf(card, path, kind, song, scan);
        else
            scan->entries.push_back({path, kind, song, LeftoverAction::Leave, kUnknownText});
    }
}

Scan ScanCard(const std::string& card) {
    Scan scan;
    std::vector<std::string> songs;
    for (const auto& e : SortedEntries(card)) {
        const std::string path = JoinPath(card, e.name);
        if (!platform::IsOwnName(e.name)) {
            if (IsRealFolder(e))
                songs.push_back(e.name);
            continue;
        }
        const std::string kind = platform::OwnNameKind(e.name);
        const std::string song = SongOfHalf(e.name, kind);
        if (IsHalfMadeKind(kind))
            scan.entries.push_back({path, kind, {}, LeftoverAction::Remove, HalfMadeText(kind)});
        else if ((kind == "restore" || kind == "old") && IsRealFolder(e) && !song.empty())
            AddHalf(card, path, kind, song, &scan);
        else
            scan.entries.push_back({path, kind, {}, LeftoverAction::Leave, kUnknownText});
    }
    for (const auto& song : songs)
        ScanSongFolder(card, song, JoinPath(card, song), false, &scan);
    return scan;
}

} // namespace

std::vector<Leftover> FindLeftovers(const std::string& card) {
    return ScanCard(card).entries;
}

TidyResult TidyLeftovers(const std::string& card, const CJobLock& lock) {
    TidyResult result;
    if (!lock.HoldsCardExclusively()) {
        result.problems.push_back("the card " + card + " is not held for a clean-up; nothing was tidied");
        return result;
    }
    const Scan scan = ScanCard(card);
    for (const auto& e : scan.entries) {
        if (e.action == LeftoverAction::Leave)
            ++result.left;
        if (e.action != LeftoverAction::Remove)
            continue;
        if (platform::IsOwnName(e.path) && platform::RemoveTree(e.path)) {
            platform::SyncDirectory(platform::DirName(e.path));
            ++result.removed;
        } else {
            result.problems.push_back("cannot remove " + e.path);
        }
    }
    for (const auto& song : scan.restores) {
        const RestoreFix fix = FixFor(FindRestoreHalves(card, song));
        if (fix != RestoreFix::Finish && fix != RestoreFix::Undo)
            continue;
        std::string problem;
        if (!CompleteRestore(card, song, &problem))
            result.problems.push_back(problem);
        else
            ++(fix == RestoreFix::Finish ? result.finished : result.undone);
    }
    return result;
}

CJobLock::Result LockCardForWriting(CJobLock& lock, const std::string& card, TidyResult* tidied) {
    if (tidied)
        *tidied = {};
    const CJobLock::Result r = lock.LockCard(card, true);
    if (r == CJobLock::Result::Locked) {
        const TidyResult done = TidyLeftovers(card, lock);
        if (tidied)
            *tidied = done;
        lock.ShareCard();
        return r;
    }
    if (r != CJobLock::Result::CardInUse)
        return r;
    return lock.LockCard(card, false);
}

std::vector<InterruptedRestore> FindInterruptedRestores(const std::string& card) {
    std::vector<InterruptedRestore> found;
    for (const auto& song : ScanCard(card).restores) {
        const RestoreHalves h = FindRestoreHalves(card, song);
        if (h.Any())
            found.push_back({song, FixFor(h), InterruptedRestoreText(song, h)});
    }
    return found;
}

} // namespace card
