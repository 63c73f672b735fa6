#pragma once
// What is wrong on a card, song by song: a song folder whose ADL cannot be read, an event that names a
// file the song does not hold, and an audio file that no event names (the recorder may keep unnamed
// files of its own, so those are reported and removed only when the user asks). Leftovers of this
// program are found by the card's tidy-up (Leftovers.h).

#include <string>
#include <vector>

namespace card {

enum class CardProblemKind {
    UnreadableSong, // a song folder whose ADL file is missing or cannot be read
    MissingFile,    // an event names a file the song folder does not hold
    UnnamedFile,    // an audio file in the song folder that no event names
    SongInUse,      // another program holds the song: not looked at
};

struct CardProblem {
    CardProblemKind kind;
    std::string song;
    std::string file; // the file concerned, by its name in the song folder (empty for a whole song)
    std::string text; // one line for the user
};

// The problems of every song of the card (or of `song` alone), each song read under its read lock.
std::vector<CardProblem> CheckSongs(const std::string& card, const std::string& song = {});

// Removes the unnamed audio files among `problems` (under each song's write lock, looking again that no
// event names a file before it goes). Returns the names removed, as "song/file".
std::vector<std::string> RemoveUnnamedFiles(const std::string& card,
                                            const std::vector<CardProblem>& problems);

} // namespace card
