#include "card/SongName.h"

#include "platform/Text.h"

#include <cstring>

namespace card {
namespace {

constexpr char kForbidden[] = "\"!#$%&'()=~|\\@[{}]*:;<>?/^";

} // namespace

bool IsForbiddenSongCharacter(char c) {
    return c != '\0' && std::strchr(kForbidden, c) != nullptr;
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

} // namespace card
