#pragma once
// The CARD and SONG arguments as every command takes them: a card folder that must be there (with a
// warning when it does not look like a card), and a song name that must match exactly, with the near
// names suggested when it does not.

#include <string>
#include <vector>

namespace cli {

// True when `folder` is a folder (told when it is not). A folder that holds something but no ADL file
// in any of its folders gets a warning: it is probably not a card. An empty one is fine: a new song
// can be made there.
bool CheckCardFolder(const std::string& folder);

// The names among `names` that `typed` is near: those that differ from it only in case when there are
// any, else those one or two letters inserted, removed, changed or swapped away (one for names of up to
// four characters), closest first.
std::vector<std::string> NearNames(const std::string& typed, const std::vector<std::string>& names);

// `no song "X" on <where>`, and when there are near names among `names`, which ones were probably
// meant (and that the case counts when only the case differs).
std::string NoSongText(const std::string& song, const std::string& where,
                       const std::vector<std::string>& names);

// True when the song's ADL file is there; told, with the near names of the card's songs, when not.
bool CheckSong(const std::string& cardFolder, const std::string& song);

} // namespace cli
