#include "Damage.h"

#include "Cli.h"
#include "Wav.h"

#include "adl/AdlFile.h"
#include "card/CardRules.h"
#include "card/Leftovers.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <sstream>

using testsupport::Tree;

namespace killsweep {
namespace {

// Visible folders in the card's root not named by this program: the folders that must be songs.
std::set<std::string> SongFolders(const Tree& card) {
    std::set<std::string> songs;
    for (const auto& [path, bytes] : card) {
        const auto slash = path.find('/');
        if (slash + 1 == path.size() && path[0] != '.')
            songs.insert(path.substr(0, slash));
    }
    return songs;
}

bool HasOwnPart(const std::string& path) {
    std::istringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (platform::IsOwnName(part))
            return true;
    return false;
}

Tree WithoutOwn(Tree tree) {
    std::erase_if(tree, [](const auto& entry) { return HasOwnPart(entry.first); });
    return tree;
}

bool IsAudioName(const std::string& name) {
    return name.size() == 11 && platform::CompareNoCase(name.substr(0, 3), "zt5") == 0 &&
           platform::CompareNoCase(name.substr(7), ".wav") == 0;
}

uint32_t Samples(const adl::CTimeCode& tc) {
    return tc.GetSamples();
}

// One event's file: there, whole, and exactly one of the marked files the command may place.
void CheckEventFile(const std::string& folder, const std::string& song, const adl::AdlEvent& e,
                    const CardRules& rules, Findings* f) {
    const std::string name = e.m_sourceName;
    const std::string path = folder + "/" + name;
    const std::string event = platform::Format("event %04d names %s", e.m_entryNumber, name.c_str());
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(path);
    if (bytes.empty()) {
        f->Song(song, event + ", which is missing or empty");
        return;
    }
    const std::vector<int16_t> audio = testsupport::CardAudio(path);
    if (audio.empty()) {
        f->Song(song, event + ", which holds less audio than its header says");
        return;
    }
    // This program's files end with their audio, and their RIFF size counts all of it.
    const uint32_t riff = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
    if (bytes.size() != wave::kAudioOffset + audio.size() * 2 || riff != bytes.size() - 8)
        f->Song(song,
                platform::Format("%s, whose %zu bytes do not match its header (RIFF size %u, %zu samples)",
                                 event.c_str(), bytes.size(), riff, audio.size()));
    const int id = static_cast<uint16_t>(audio[0]) >> 12;
    const auto known = rules.marked.find(id);
    if (known == rules.marked.end()) {
        f->Song(song, event + ", which holds audio of no exported file");
        return;
    }
    const uint32_t length = known->second;
    if (audio != testsupport::Marks(id, length))
        f->Song(song, platform::Format("%s, which holds %zu samples that are not exactly the %u of file %d",
                                       event.c_str(), audio.size(), length, id));
    const uint32_t plays = Samples(e.m_destOut) - Samples(e.m_destIn);
    if (Samples(e.m_sourceIn) != 0 || plays != length)
        f->Song(song, platform::Format("%s and plays %u samples from %u of its %u", event.c_str(), plays,
                                       Samples(e.m_sourceIn), length));
}

// A visible song folder: its ADL opens, each event's file is whole, nothing is named twice.
void CheckSong(const std::string& card, const std::string& song, const Tree& now, const CardRules& rules,
               Findings* f) {
    const std::string folder = card + "/" + song;
    adl::CAdlFile adl;
    if (!adl.Open(card::AdlPath(card, song), true)) {
        f->Song(song, "its ADL file does not open");
        return;
    }
    std::set<uint16_t> entries;
    std::set<std::string> named;
    for (int i = 0; i < adl.GetEventCount(); ++i) {
        adl::AdlEvent e;
        adl.GetEvent(i, &e);
        if (!entries.insert(e.m_entryNumber).second)
            f->Song(song, platform::Format("entry %04d is there twice", e.m_entryNumber));
        if (e.m_editType == adl::EditType::Silence || e.m_sourceKind != adl::SourceKind::File)
            continue;
        if (!named.insert(e.m_sourceName).second)
            f->Song(song, std::string("two events name ") + e.m_sourceName);
        CheckEventFile(folder, song, e, rules, f);
    }
    adl.Close();
    for (const auto& [path, bytes] : Subtree(now, song + "/"))
        if (path.find('/') == std::string::npos && IsAudioName(path) && named.count(path) == 0)
            f->unnamed.push_back(song + "/" + path);
}

void CheckListing(const std::string& card, const std::set<std::string>& before, const CardRules& rules,
                  Findings* f) {
    const std::vector<std::string> songs = card::ListSongs(card);
    for (const auto& song : songs) {
        if (platform::IsOwnName(song))
            f->Problem("the song listing shows " + song + ", a leftover");
        else if (before.count(song) == 0 && rules.added.count(song) == 0)
            f->Problem("the song listing shows " + song + ", which was neither there nor asked for");
    }
    for (const auto& song : before)
        if (std::find(songs.begin(), songs.end(), song) == songs.end())
            f->Song(song, "it is gone from the song listing");

    const testsupport::CliRun run = testsupport::RunCli("songs " + testsupport::Quote(card));
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line); // the heading
    // Below the table, a line for each interrupted restore says how it will be finished: expected.
    std::set<std::string> restoreLines;
    for (const auto& restore : card::FindInterruptedRestores(card))
        restoreLines.insert(restore.text);
    size_t n = 0;
    while (std::getline(lines, line)) {
        if (n >= songs.size() && restoreLines.count(line) != 0)
            continue;
        const bool same = n < songs.size() && line.rfind(songs[n] + " ", 0) == 0;
        if (!same || line.find("no readable ADL") != std::string::npos)
            f->Problem("pelmora-cli songs shows: " + line);
        ++n;
    }
    if (run.status != 0 || n != songs.size())
        f->Problem(platform::Format("pelmora-cli songs exits with %d and shows %zu of %zu songs", run.status,
                                    n, songs.size()));
}

} // namespace

Tree Subtree(const Tree& tree, const std::string& prefix) {
    Tree sub;
    for (auto it = tree.lower_bound(prefix); it != tree.end() && it->first.rfind(prefix, 0) == 0; ++it)
        if (it->first.size() > prefix.size())
            sub.emplace(it->first.substr(prefix.size()), it->second);
    return sub;
}

void Findings::Song(const std::string& song, const std::string& text) {
    damagedSongs.insert(song);
    problems.push_back(song + ": " + text);
}

void CheckCard(const std::string& card, const Tree& before, const CardRules& rules, Findings* f) {
    const Tree now = testsupport::ReadTree(card);
    const std::set<std::string> songsBefore = SongFolders(before);
    for (const auto& [path, bytes] : now) {
        if (HasOwnPart(path)) {
            if (!HasOwnPart(path.substr(0, path.rfind('/', path.size() - 2) + 1)))
                f->leftovers.push_back(path); // counted once, at its top
        } else if (path[0] == '.' && before.count(path) == 0 && path.find('/') + 1 == path.size()) {
            f->Problem("a hidden folder that does not carry this program's prefix was left: " + path);
        }
    }
    // What is not a song stays as it was (the songs are checked below): the user's own files and folders.
    for (const auto& [path, bytes] : before) {
        if (HasOwnPart(path) || songsBefore.count(path.substr(0, path.find('/'))) != 0)
            continue;
        const auto it = now.find(path);
        if (it == now.end() || it->second != bytes)
            f->Problem(path + " was changed or removed, though it is no song");
    }
    for (const auto& song : SongFolders(now)) {
        CheckSong(card, song, now, rules, f);
        // This program's own things in a song (a restore's mark, a copy on its way in) are counted as
        // leftovers above; the song is what remains.
        const Tree was = WithoutOwn(Subtree(before, song + "/")), is = WithoutOwn(Subtree(now, song + "/"));
        const bool mayChange = rules.touched.count(song) != 0 || rules.added.count(song) != 0;
        if (!mayChange && is != was)
            f->Song(song, "it was changed, though the command does not touch it");
        if (mayChange && rules.cleanCard && is != was &&
            is != WithoutOwn(Subtree(*rules.cleanCard, song + "/")))
            f->Song(song, "it is neither as it was nor as a whole run leaves it");
    }
    CheckListing(card, songsBefore, rules, f);
}

void CheckHolds(const std::string& card, const std::string& song, const std::vector<int>& ids, Findings* f) {
    std::set<int> held;
    adl::CAdlFile adl;
    if (adl.Open(card::AdlPath(card, song), true)) {
        for (int i = 0; i < adl.GetEventCount(); ++i) {
            const auto audio = testsupport::CardAudio(card + "/" + song + "/" + adl.GetEventSourceName(i));
            if (!audio.empty())
                held.insert(static_cast<uint16_t>(audio[0]) >> 12);
        }
    }
    for (int id : ids)
        if (held.count(id) == 0)
            f->Song(song, platform::Format("no event places exported file %d", id));
}

void CheckBackup(const std::string& backup, const Tree& card, bool mustBeWhole, Findings* f) {
    const testsupport::CliRun verify = testsupport::RunCli("verify " + testsupport::Quote(backup));
    if (verify.status != 0 && !mustBeWhole)
        return;
    const Tree now = testsupport::ReadTree(backup);
    const std::string manifest = testsupport::ReadText(backup + "/MANIFEST.sha256");
    const std::set<std::string> songs = SongFolders(card);
    std::vector<std::string> missing;
    size_t songPaths = 0;
    for (const auto& [path, bytes] : card) {
        if (songs.count(path.substr(0, path.find('/'))) == 0)
            continue; // a backup holds the songs alone
        ++songPaths;
        const auto it = now.find(path);
        const bool listed = path.back() == '/' || manifest.find("  " + path + "\n") != std::string::npos;
        if (it == now.end() || it->second != bytes || !listed)
            missing.push_back(path);
    }
    // A restore of the whole backup puts back the songs its attributes name, and no other.
    const std::string attributes = testsupport::ReadText(backup + "/ATTRIBUTES");
    for (const auto& song : songs)
        if (attributes.find(" " + song + "\n") == std::string::npos)
            f->Problem(
                platform::Format("%s, but its ATTRIBUTES do not name %s: a restore of it leaves the song out",
                                 verify.status == 0 ? "the backup verifies" : "the backup", song.c_str()));
    if (verify.status != 0)
        f->Problem("the backup does not verify: " + verify.err.substr(0, verify.err.find('\n')));
    if (!missing.empty())
        f->Problem(platform::Format("%s, but misses %zu of the songs' %zu files and folders (first: %s)",
                                    verify.status == 0 ? "the backup verifies" : "the backup", missing.size(),
                                    songPaths, missing[0].c_str()));
}

void CheckImage(const std::string& folder, const std::string& name, const Tree& old, const Tree& made,
                bool mustBeNew, Findings* f) {
    const Tree now = testsupport::ReadTree(folder);
    const std::string cue = name + ".cue", bin = name + ".bin";
    auto pair = [&](const Tree& t) {
        const auto c = t.find(cue), b = t.find(bin);
        return std::make_pair(c == t.end() ? std::vector<uint8_t>() : c->second,
                              b == t.end() ? std::vector<uint8_t>() : b->second);
    };
    const auto is = pair(now);
    if (mustBeNew && is != pair(made))
        f->Problem("the image is not the one a whole run makes");
    if (now.count(cue) == 0)
        return;
    if (now.count(bin) == 0)
        f->Problem(cue + " stands without " + bin);
    else if (is != pair(old) && is != pair(made))
        f->Problem(platform::Format("%s does not describe the %zu-byte %s beside it (the cue sheet is %s)",
                                    cue.c_str(), is.second.size(), bin.c_str(),
                                    is.first == pair(old).first ? "the old one" : "the new one"));
}

} // namespace killsweep
