#pragma once
// Names of songs the program creates: the proposal offered for a new song and the rules a typed
// name must follow (at most 16 characters, none of the characters the recorder cannot show).

#include <string>
#include <vector>

namespace card {

// A card holds at most this many songs.
constexpr int kMaxSongs = 99;
constexpr size_t kMaxSongNameLength = 16;
// The song list entry that turns into a proposed name when chosen.
constexpr const char* kNewSongEntry = "---:(New Song)";

// The 26 characters a song name may not contain, and every control character.
bool IsForbiddenSongCharacter(char c);

// The song list offers kNewSongEntry while it holds fewer than kMaxSongs entries.
bool CanOfferNewSong(int entryCount);

// The name proposed when kNewSongEntry is chosen: entries are the texts of every list entry, that
// entry included. "Song%02d" of their count; on a clash "Song%02d-%02d" with 1, 2, ... (exact case).
std::string ProposeNewSongName(const std::vector<std::string>& entries);

// A typed name after the rules: cut to 16 characters, then cut before the first forbidden character.
struct TypedSongName {
    std::string text;     // what the field should hold
    bool changed = false; // text differs from what was typed
    std::string message;  // "Can't use this character..." when a forbidden character was cut, else empty
};
TypedSongName CheckTypedSongName(const std::string& typed);

// Why `name` cannot be given to a new song, or empty when it can: the window and the terminal make new
// songs only under names that pass. Longer than 16 bytes, a forbidden character, nothing but blanks, a
// leading dot (hidden from every listing).
// (Songs found on a card are taken under whatever name they have.)
std::string NewSongNameProblem(const std::string& name);

} // namespace card
