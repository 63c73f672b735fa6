#include "card/SongName.h"

#include "platform/Text.h"

#include <cstring>

namespace card {
namespace {

constexpr char kForbidden[] = "\"!#$%&'()=~|\\@[{}]*:;<>?/^";

} // namespace

bool IsForbiddenSongCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    // A line break or a tab in a folder name breaks every listing that shows it.
    return (u >= 1 && u < 0x20) || u == 0x7F || (u != 0 && std::strchr(kForbidden, c) != nullptr);
}

bool CanOfferNewSong(int entryCount) {
    return entryCount < kMaxSongs;
}

std::string ProposeNewSongName(const std::vector<std::string>& entries) {
    const int count = static_cast<int>(entries.size());
    std::string name = platform::Format("Song%02d", count);
    for (int clash = 1;; ++clash) {
        bool taken = false;
        for (const std::string& entry : entries) {
            if (entry == name) {
                taken = true;
                break;
            }
        }
        if (!taken) {
            return name;
        }
        name = platform::Format("Song%02d-%02d", count, clash);
    }
}

TypedSongName CheckTypedSongName(const std::string& typed) {
    TypedSongName result;
    result.text = typed;
    if (result.text.size() > kMaxSongNameLength) {
        // Never split a multi-byte character: a name with half a character cannot be a folder name.
        size_t cut = kMaxSongNameLength;
        while (cut > 0 && (static_cast<unsigned char>(result.text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        result.text.resize(cut);
    }
    for (size_t i = 0; i < result.text.size(); ++i) {
        if (IsForbiddenSongCharacter(result.text[i])) {
            result.message =
                platform::Format("Can't use this character.\ncharacter : \"%s\"", result.text.c_str() + i);
            result.text.resize(i);
            break;
        }
    }
    result.changed = result.text != typed;
    return result;
}

std::string NewSongNameProblem(const std::string& name) {
    if (name.find_first_not_of(" \t") == std::string::npos)
        return "Please enter a song name.";
    if (name.size() > kMaxSongNameLength)
        return platform::Format("The song name is longer than %zu characters.\nsong name : %s",
                                kMaxSongNameLength, name.c_str());
    // A dot name is hidden from listings (and this program keeps its own temporary names that way).
    if (name[0] == '.')
        return "A song name cannot start with a dot.";
    for (size_t i = 0; i < name.size(); ++i) {
        if (!IsForbiddenSongCharacter(name[i]))
            continue;
        if (std::strchr(kForbidden, name[i]) == nullptr)
            return "A song name cannot hold control characters.";
        return platform::Format("Can't use this character.\ncharacter : \"%s\"", name.c_str() + i);
    }
    return {};
}

} // namespace card
