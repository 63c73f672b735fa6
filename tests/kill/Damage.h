#pragma once
// What a killed command may have left broken: the checks run on a card (every song opens, every event
// names a whole file holding exactly the audio that was exported, untouched songs unchanged, the
// listing clean), on a backup folder and on a CD image. Each finding is one line for the user.

#include "TestSupport.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace killsweep {

// What a command may do to a card.
struct CardRules {
    std::set<std::string> touched;        // songs it may change
    std::set<std::string> added;          // songs it may add
    std::map<int, uint32_t> marked;       // the marked files it may place: id -> samples
    const testsupport::Tree* cleanCard{}; // with it, a touched or added song is as before or as after
                                          // a clean run, nothing in between
};

struct Findings {
    std::vector<std::string> problems;
    std::set<std::string> damagedSongs;
    std::vector<std::string> leftovers; // things under this program's own names
    std::vector<std::string> unnamed;   // audio files in a song that no event names

    void Song(const std::string& song, const std::string& text);
    void Problem(const std::string& text) { problems.push_back(text); }
};

// The part of a tree under `prefix` ("Song A/"), by paths relative to it.
testsupport::Tree Subtree(const testsupport::Tree& tree, const std::string& prefix);

// `before` is the card's tree before the command ran.
void CheckCard(const std::string& card, const testsupport::Tree& before, const CardRules& rules, Findings* f);

// The song holds an event for a file of each id.
void CheckHolds(const std::string& card, const std::string& song, const std::vector<int>& ids, Findings* f);

// Runs `verify` on the backup. A backup that verifies must hold every file and folder of the songs of
// `card` with its bytes, and list every file in its manifest; `mustBeWhole` asks that of it even when
// it does not verify.
void CheckBackup(const std::string& backup, const testsupport::Tree& card, bool mustBeWhole, Findings* f);

// The image `name` in `folder`: a cue sheet never stands beside anything but the .bin it describes,
// the old image's or the new one's (a .bin alone is allowed). `mustBeNew` asks for the new image.
void CheckImage(const std::string& folder, const std::string& name, const testsupport::Tree& old,
                const testsupport::Tree& made, bool mustBeNew, Findings* f);

} // namespace killsweep
