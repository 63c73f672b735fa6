// pelmora-cli check: what is wrong on a card, and the clean-up of this program's own leftovers.

#include "Commands.h"

#include "card/CardCheck.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "platform/FileSystem.h"

#include <cstdio>

namespace cli {
namespace {

bool OfSong(const std::string& wanted, const std::string& song) {
    return wanted.empty() || wanted == song;
}

// Lists the leftovers (of one song, or of the whole card); returns how many there are.
int ReportLeftovers(const std::string& cardFolder, const std::string& song) {
    int count = 0;
    for (const card::Leftover& l : card::FindLeftovers(cardFolder)) {
        if (!OfSong(song, l.song))
            continue;
        std::printf("leftover: %s: %s (by check --clean)\n", l.path.c_str(), l.text.c_str());
        ++count;
    }
    return count;
}

// Tidies the card's leftovers under its exclusive lock; false (told) when that cannot be done.
bool Tidy(const std::string& cardFolder) {
    card::CJobLock lock;
    if (lock.LockCard(cardFolder, true) != card::CJobLock::Result::Locked) {
        Complain(card::CardInUseText(cardFolder));
        return false;
    }
    const card::TidyResult done = card::TidyLeftovers(cardFolder, lock);
    std::printf("cleaned: %d removed, %d restores finished, %d restores undone, %d left as they are\n",
                done.removed, done.finished, done.undone, done.left);
    for (const auto& p : done.problems)
        Complain(p);
    return done.problems.empty();
}

// Removes the audio files no event names, only with --yes; returns how many are left.
int RemoveUnnamed(const Args& args, const std::string& cardFolder,
                  const std::vector<card::CardProblem>& problems) {
    int unnamed = 0;
    for (const auto& p : problems)
        unnamed += p.kind == card::CardProblemKind::UnnamedFile;
    if (unnamed == 0)
        return 0;
    if (!args.Has("--yes")) {
        Complain(
            "the files above that no event names stay; the recorder may keep files of its own. Run again "
            "with --yes to remove them.");
        return unnamed;
    }
    const auto removed = card::RemoveUnnamedFiles(cardFolder, problems);
    for (const auto& name : removed)
        std::printf("removed: %s\n", name.c_str());
    return unnamed - static_cast<int>(removed.size());
}

} // namespace

int RunCheck(const Args& args) {
    const std::string& cardFolder = args.positional[0];
    const std::string song = args.positional.size() > 1 ? args.positional[1] : std::string();
    if (!platform::IsDirectory(cardFolder)) {
        Complain("no card folder " + cardFolder);
        return kExitFailure;
    }
    if (!song.empty() && !platform::IsDirectory(platform::JoinPath(cardFolder, song))) {
        Complain("no song " + song + " on the card " + cardFolder);
        return kExitFailure;
    }
    bool clean = true;
    if (args.Has("--clean"))
        clean = Tidy(cardFolder);
    const int leftovers = ReportLeftovers(cardFolder, song);
    const auto problems = card::CheckSongs(cardFolder, song);
    for (const auto& p : problems)
        std::printf("%s: %s\n", p.song.c_str(), p.text.c_str());
    int remaining = static_cast<int>(problems.size());
    if (args.Has("--clean") && args.Has("--orphans")) {
        int unnamed = 0;
        for (const auto& p : problems)
            unnamed += p.kind == card::CardProblemKind::UnnamedFile;
        remaining += RemoveUnnamed(args, cardFolder, problems) - unnamed;
    }
    if (clean && leftovers == 0 && remaining == 0) {
        std::printf("%s: clean\n", song.empty() ? cardFolder.c_str() : song.c_str());
        return kExitOk;
    }
    return kExitFailure;
}

} // namespace cli
