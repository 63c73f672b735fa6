#pragma once
// The halves a restore keeps on a card while it puts a song back, and the steps that finish or undo
// it. Every half has a fixed name, so that each state a kill can leave between two steps is told
// apart by the names alone:
//   <card>/.pelmora-restore-<song>      the restored copy, written and checked beside the song
//   <card>/.pelmora-old-<song>          the song moved aside (only where two names cannot be swapped)
//   .pelmora-verified-<song>            the mark: put into the copy once every file of it is checked
//                                       and on the medium; it travels with the copy into the song's place
// A marked copy is only ever put in place and an unmarked one only ever removed, so an interrupted
// restore is finished when its copy was checked and undone otherwise. Where the file system can swap
// two names in one step the song is never missing; elsewhere it is missing only while the marked copy
// waits beside the song moved aside.

#include <string>

namespace card {

// Which halves of a song's restore are on the card.
struct RestoreHalves {
    bool song = false;       // <card>/<song>
    bool songMarked = false; // the song holds the mark: the checked copy is in place
    bool copy = false;       // the copy's folder
    bool copyMarked = false; // the copy holds the mark: it was checked
    bool old = false;        // the song moved aside
    bool Any() const { return songMarked || copy || old; }
};

enum class RestoreFix {
    None,   // no restore of the song was interrupted
    Finish, // the checked copy is put in the song's place (if it is not already), the old song removed
    Undo,   // the unchecked copy is removed; a song moved aside is put back
    Leave,  // two versions of the song that no step of a restore leaves: left for the user to compare
};

std::string RestoreCopyPath(const std::string& card, const std::string& song);
std::string RestoreOldPath(const std::string& card, const std::string& song);
// The mark's file name, inside the copy or the song.
std::string RestoreMarkName(const std::string& song);

RestoreHalves FindRestoreHalves(const std::string& card, const std::string& song);
RestoreFix FixFor(const RestoreHalves& halves);
// How the song's restore was interrupted and how it will be finished; empty when none was.
std::string InterruptedRestoreState(const std::string& song, const RestoreHalves& halves);
// The same as one line for the user, "<song>: <state>"; empty when none was.
std::string InterruptedRestoreText(const std::string& song, const RestoreHalves& halves);

// Puts the mark into a copy that has been checked, once the copy's folders are on the medium; the
// mark is on the medium when this returns true.
bool MarkCopyVerified(const std::string& card, const std::string& song);

// Takes the steps FixFor names, each one durable before the next, until no half of the song's restore
// is left. False with *problem when a step fails or the state is one to leave: what is left is then
// a state the next call recognises. Callers hold the song (the card's exclusive lock, or the song's
// and the copy's locks).
bool CompleteRestore(const std::string& card, const std::string& song, std::string* problem);

} // namespace card
