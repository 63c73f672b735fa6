#include "card/RestoreState.h"

#include "card/CardRules.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <vector>

namespace card {
namespace {

using platform::JoinPath;

enum class Step { Done, Swap, CopyIntoPlace, RemoveCopy, RemoveOld, RemoveMark, PutOldBack, Stuck };

Step NextStep(const RestoreHalves& h) {
    switch (FixFor(h)) {
    case RestoreFix::None:
        return Step::Done;
    case RestoreFix::Leave:
        return Step::Stuck;
    case RestoreFix::Finish:
        if (h.copyMarked)
            return h.song ? Step::Swap : Step::CopyIntoPlace;
        if (h.copy)
            return Step::RemoveCopy; // after a swap: the song the copy replaced
        return h.old ? Step::RemoveOld : Step::RemoveMark;
    case RestoreFix::Undo:
        return h.copy ? Step::RemoveCopy : Step::PutOldBack;
    }
    return Step::Stuck;
}

// Only ever a half of a restore: a name this program gave.
bool RemoveHalf(const std::string& path) {
    if (!platform::IsOwnName(path) || !platform::RemoveTree(path))
        return false;
    platform::SyncDirectory(platform::DirName(path));
    return true;
}

bool SyncFolders(const std::string& folder) {
    std::vector<platform::FindEntry> entries;
    if (!platform::ListFolder(folder, &entries))
        return false;
    for (const auto& e : entries) {
        if ((e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0 && !e.link &&
            !SyncFolders(JoinPath(folder, e.name)))
            return false;
    }
    return platform::SyncDirectory(folder);
}

// The checked copy into the song's place: in one step where the names can be swapped, else by moving
// the song aside first (the next step then finds the copy beside the song moved aside).
bool Swap(const std::string& copy, const std::string& song, const std::string& old) {
    switch (platform::ExchangeNames(copy, song)) {
    case platform::ExchangeResult::Exchanged:
        return true;
    case platform::ExchangeResult::Unsupported:
        return platform::RenameNoReplace(song, old);
    case platform::ExchangeResult::Failed:
        break;
    }
    return false;
}

bool TakeStep(Step step, const std::string& card, const std::string& song) {
    const std::string target = SongFolderPath(card, song), copy = RestoreCopyPath(card, song),
                      old = RestoreOldPath(card, song);
    switch (step) {
    case Step::Swap:
        return Swap(copy, target, old);
    case Step::CopyIntoPlace:
        return platform::RenameNoReplace(copy, target);
    case Step::RemoveCopy:
        return RemoveHalf(copy);
    case Step::RemoveOld:
        return RemoveHalf(old);
    case Step::RemoveMark:
        return RemoveHalf(JoinPath(target, RestoreMarkName(song)));
    case Step::PutOldBack:
        return platform::RenameNoReplace(old, target);
    case Step::Done:
    case Step::Stuck:
        break;
    }
    return false;
}

std::string StepFailure(Step step, const std::string& song) {
    switch (step) {
    case Step::Swap:
    case Step::CopyIntoPlace:
        return "cannot put the restored copy of " + song + " in place";
    case Step::RemoveCopy:
    case Step::RemoveOld:
    case Step::RemoveMark:
        return "cannot remove what is left of the restore of " + song;
    case Step::PutOldBack:
        return "cannot put " + song + " back in place";
    case Step::Stuck:
    case Step::Done:
        break;
    }
    return {};
}

// A name that cannot stand for a song of its own: no half of a restore is ever made for it.
bool UsableSongName(const std::string& song) {
    return !song.empty() && song != "." && song != ".." && song.find('/') == std::string::npos &&
           !platform::IsOwnName(song);
}

} // namespace

std::string RestoreCopyPath(const std::string& card, const std::string& song) {
    return JoinPath(card, platform::OwnNameFor("restore", song));
}

std::string RestoreOldPath(const std::string& card, const std::string& song) {
    return JoinPath(card, platform::OwnNameFor("old", song));
}

std::string RestoreMarkName(const std::string& song) {
    return platform::OwnNameFor("verified", song);
}

RestoreHalves FindRestoreHalves(const std::string& card, const std::string& song) {
    RestoreHalves h;
    if (!UsableSongName(song))
        return h;
    const std::string target = SongFolderPath(card, song), copy = RestoreCopyPath(card, song);
    h.song = platform::IsDirectory(target);
    h.songMarked = h.song && platform::PathExists(JoinPath(target, RestoreMarkName(song)));
    h.copy = platform::IsDirectory(copy);
    h.copyMarked = h.copy && platform::PathExists(JoinPath(copy, RestoreMarkName(song)));
    h.old = platform::IsDirectory(RestoreOldPath(card, song));
    return h;
}

RestoreFix FixFor(const RestoreHalves& h) {
    const bool twoVersions = h.song && h.old; // no step leaves the song beside the song moved aside
    if (h.songMarked)
        return h.copyMarked ? RestoreFix::Leave : RestoreFix::Finish;
    if (h.copyMarked)
        return twoVersions ? RestoreFix::Leave : RestoreFix::Finish;
    if (h.copy || h.old)
        return twoVersions ? RestoreFix::Leave : RestoreFix::Undo;
    return RestoreFix::None;
}

std::string InterruptedRestoreState(const std::string& song, const RestoreHalves& halves) {
    const std::string next = "; the next write to this card or a clean-up ";
    switch (FixFor(halves)) {
    case RestoreFix::None:
        return {};
    case RestoreFix::Finish:
        if (halves.copyMarked)
            return "restore interrupted after its copy was checked" + next + "puts the copy in place";
        return "restore interrupted after the restored song was put in place" + next +
               "removes what is left of the old one";
    case RestoreFix::Undo:
        if (halves.old && !halves.song)
            return "restore interrupted before its copy was checked" + next + "puts the song back as it was";
        return "restore interrupted before its copy was checked" + next + "removes the copy";
    case RestoreFix::Leave:
        break;
    }
    return "an interrupted restore left two versions of the song (" + song + " and " +
           platform::OwnNameFor(halves.old ? "old" : "restore", song) +
           "); both are left as they are for you to compare";
}

std::string InterruptedRestoreText(const std::string& song, const RestoreHalves& halves) {
    const std::string state = InterruptedRestoreState(song, halves);
    return state.empty() ? state : song + ": " + state;
}

bool MarkCopyVerified(const std::string& card, const std::string& song) {
    const std::string copy = RestoreCopyPath(card, song);
    if (!SyncFolders(copy))
        return false;
    const std::string mark = JoinPath(copy, RestoreMarkName(song));
    platform::File f;
    static const char kText[] = "checked against the backup\n";
    if (!f.Open(mark, platform::Access::ReadWrite, platform::Disposition::CreateNew))
        return false;
    if (f.Write(kText, sizeof kText - 1) < 0 || !f.Sync() || !f.Close()) {
        f.Close();
        platform::DeleteFile(mark);
        return false;
    }
    return platform::SyncDirectory(copy);
}

bool CompleteRestore(const std::string& card, const std::string& song, std::string* problem) {
    // Each step changes the state it was chosen for, so a handful of steps end any restore.
    constexpr int kMostSteps = 8;
    for (int i = 0; i < kMostSteps; ++i) {
        const RestoreHalves h = FindRestoreHalves(card, song);
        const Step step = NextStep(h);
        if (step == Step::Done)
            return true;
        if (step == Step::Stuck || !TakeStep(step, card, song)) {
            *problem = step == Step::Stuck ? InterruptedRestoreText(song, h) : StepFailure(step, song);
            return false;
        }
    }
    *problem = "cannot finish the restore of " + song;
    return false;
}

} // namespace card
