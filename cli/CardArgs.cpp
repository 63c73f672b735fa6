#include "CardArgs.h"

#include "Commands.h"
#include "Table.h"

#include "card/CardRules.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <algorithm>
#include <cctype>

namespace cli {
namespace {

std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Letters inserted, removed, changed or swapped with their neighbour to turn a into b.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

bool Visible(const std::string& name) {
    return !name.empty() && name[0] != '.' && !platform::IsOwnName(name);
}

// True when some folder in `folder` holds an ADL file.
bool HoldsAnAdlFile(const std::vector<platform::FindEntry>& entries, const std::string& folder) {
    return std::any_of(entries.begin(), entries.end(), [&](const platform::FindEntry& e) {
        return (e.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0 &&
               !platform::FindFiles(platform::JoinPath(folder, e.name), "*.adl").empty();
    });
}

} // namespace

bool CheckCardFolder(const std::string& folder) {
    if (!platform::IsDirectory(folder)) {
        Complain("no card folder " + folder);
        return false;
    }
    std::vector<platform::FindEntry> entries;
    if (!platform::ListFolder(folder, &entries))
        return true; // what cannot be read is told by the command's own reading
    const bool empty = std::none_of(entries.begin(), entries.end(),
                                    [](const platform::FindEntry& e) { return Visible(e.name); });
    if (!empty && !HoldsAnAdlFile(entries, folder))
        Warn(folder + " does not look like a card: none of its folders holds an ADL file");
    return true;
}

std::vector<std::string> NearNames(const std::string& typed, const std::vector<std::string>& names) {
    constexpr size_t kMostShown = 5;
    const std::string folded = Folded(typed);
    const size_t allowed = typed.size() <= 4 ? 1 : 2;
    std::vector<std::pair<size_t, std::string>> near;
    for (const auto& name : names) {
        if (name == typed)
            continue;
        const size_t distance = EditDistance(folded, Folded(name));
        if (distance <= allowed)
            near.emplace_back(distance, name);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // A name that differs only in case is the one meant.
    if (!near.empty() && near.front().first == 0)
        near.erase(std::find_if(near.begin(), near.end(), [](const auto& n) { return n.first > 0; }),
                   near.end());
    std::vector<std::string> result;
    for (size_t i = 0; i < near.size() && i < kMostShown; ++i)
        result.push_back(near[i].second);
    return result;
}

std::string NoSongText(const std::string& song, const std::string& where,
                       const std::vector<std::string>& names) {
    std::string text = "no song \"" + song + "\" on " + where;
    const std::vector<std::string> near = NearNames(song, names);
    if (near.empty())
        return text;
    if (Folded(near.front()) == Folded(song))
        text += " (song names keep their case)";
    text += "; did you mean ";
    for (size_t i = 0; i < near.size(); ++i) {
        if (i > 0)
            text += i + 1 == near.size() ? " or " : ", ";
        text += "\"" + Printable(near[i]) + "\""; // names off the card reach the terminal
    }
    return text + "?";
}

bool CheckSong(const std::string& cardFolder, const std::string& song) {
    if (platform::PathExists(card::AdlPath(cardFolder, song)))
        return true;
    Complain(NoSongText(song, "the card " + cardFolder, card::ListSongs(cardFolder)));
    return false;
}

} // namespace cli
