#pragma once
// The locks a job holds while it runs, so that two programs never write one song, a reader never sees
// a song half-written, and a clean-up never removes what a running job is making:
//   the card's root folder: shared by every job, exclusive for a clean-up of this program's leftovers;
//   the song's folder: shared by readers (import, backup), exclusive for writers (export, restore).
// The song's lock is taken on the folder its path names and checked against the path once granted, so
// a writer never works on a folder that a restore has just put another in place of.

#include "platform/FolderLock.h"

#include <string>

namespace card {

class CJobLock {
public:
    enum class Use { Read, Write };
    enum class Result {
        Locked,
        InUse,     // another program holds the song
        CardInUse, // another program holds the card: a clean-up, or jobs while a clean-up waits
        NoSong,    // no song folder of that name, or no card folder at all
        Failed,    // the card's or the song's folder cannot be opened
    };

    // The card's lock shared (or the one already held, when no song is), then the song's.
    Result LockSong(const std::string& card, const std::string& song, Use use);
    // The card's lock alone: exclusive for a clean-up (never waits), shared for a job that makes a new
    // song (waits a moment while a writer tidies the card).
    Result LockCard(const std::string& card, bool exclusive);
    // From the card's exclusive lock to its shared one (after a clean-up, before the job's own work).
    void ShareCard();
    void Unlock();
    bool HoldsCard() const { return m_card.IsHeld(); }
    bool HoldsCardExclusively() const { return m_card.IsHeld() && m_cardExclusive; }

private:
    platform::CFolderLock m_card;
    bool m_cardExclusive = false;
    platform::CFolderLock m_song;
};

// What the user is told when another program holds the song or the card.
std::string SongInUseText(const std::string& song);
std::string CardInUseText(const std::string& card);
// The one of the two a lock's result calls for; empty for any other result.
std::string InUseText(CJobLock::Result result, const std::string& card, const std::string& song);

} // namespace card
