#pragma once
// This program's own leftovers on a card: what it makes under its own names (platform/OwnNames.h) and
// a kill or a pulled card left behind, in the card's root and inside each song folder (and the
// folders in it, such as 2mix). Only names with the own-name prefix are ever listed, and so ever
// touched; links are never followed.
//
// What becomes of each kind:
//   "new", "test", "part", "update"   only ever half-made (a song being built, a write test, an audio
//                                     file on its way into a song, a new version of a song's ADL): removed
//   "restore", "old", "verified"      halves of an interrupted restore: finished or undone as a whole
//                                     (card/RestoreState.h), or left when two versions of the song remain
//   any other kind                    not made by this version: left as it is
//
// Use: FindLeftovers to show them (it only reads); TidyLeftovers under the card's exclusive lock to deal
// with them; a writer job starts with LockCardForWriting, which tidies when no other job uses the card.

#include "card/JobLock.h"
#include "card/RestoreState.h"

#include <string>
#include <vector>

namespace card {

enum class LeftoverAction {
    Remove,        // removed with everything in it
    FinishRestore, // its song's restore is finished
    UndoRestore,   // its song's restore is undone
    Leave,         // left as it is
};

struct Leftover {
    std::string path; // on the card
    std::string kind; // platform::OwnNameKind of its name
    std::string song; // the song it belongs to: the folder it is in, or the song a restore half stands for
    LeftoverAction action = LeftoverAction::Leave;
    std::string text; // what it is and what TidyLeftovers does with it, one line for the user
};

// The leftovers of the card, the card's root first, then song by song, each in name order. Empty when
// there are none or the card cannot be read.
std::vector<Leftover> FindLeftovers(const std::string& card);

struct TidyResult {
    int removed = 0;                   // half-made things removed
    int finished = 0;                  // restores finished
    int undone = 0;                    // restores undone
    int left = 0;                      // left as they are (unknown kinds, two versions of a song)
    std::vector<std::string> problems; // what could not be done, one line each (and what was left)
};

// Does what FindLeftovers says. `lock` must hold the card exclusively (LockCard(card, true)): with any
// other job running nothing is tidied and the result says so.
TidyResult TidyLeftovers(const std::string& card, const CJobLock& lock);

// A writer job's start: tries the card's exclusive lock without waiting; with it, tidies the card's
// leftovers and keeps the lock shared for the job's own work. When another job holds the card it skips
// the tidy-up and takes the lock shared. CardInUse only while a clean-up holds the card. *tidied (when
// given) receives what was tidied, empty when the tidy-up was skipped.
CJobLock::Result LockCardForWriting(CJobLock& lock, const std::string& card, TidyResult* tidied = nullptr);

// Songs whose restore was interrupted and waits to be finished or undone, in name order, each with
// one line for the song listing.
struct InterruptedRestore {
    std::string song;
    RestoreFix fix = RestoreFix::None;
    std::string text;
};
std::vector<InterruptedRestore> FindInterruptedRestores(const std::string& card);

} // namespace card
