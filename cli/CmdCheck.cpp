// pelmora-cli check: what is wrong on a card, and the clean-up of this program's own leftovers.

#include "CardArgs.h"
#include "Commands.h"
#include "Json.h"

#include "card/CardCheck.h"
#include "card/CardRules.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <optional>

namespace cli {
namespace {

bool OfSong(const std::string& wanted, const std::string& song) {
    return wanted.empty() || wanted == song;
}

// What a check found and did, printed as lines or as one JSON document.
struct CheckReport {
    std::vector<card::Leftover> leftovers;
    std::vector<card::CardProblem> problems;
    std::optional<card::TidyResult> cleaned; // with --clean, when the card could be locked
    std::vector<std::string> removed;        // unnamed files removed (--clean --orphans --yes)
    bool clean = false;
};

// The leftovers of one song, or of the whole card.
std::vector<card::Leftover> LeftoversOf(const std::string& cardFolder, const std::string& song) {
    std::vector<card::Leftover> found;
    for (const card::Leftover& l : card::FindLeftovers(cardFolder)) {
        if (OfSong(song, l.song))
            found.push_back(l);
    }
    return found;
}

// Tidies the card's leftovers under its exclusive lock; false (told) when that cannot be done.
bool Tidy(const std::string& cardFolder, CheckReport* report) {
    card::CJobLock lock;
    if (lock.LockCard(cardFolder, true) != card::CJobLock::Result::Locked) {
        Complain(card::CardInUseText(cardFolder));
        return false;
    }
    report->cleaned = card::TidyLeftovers(cardFolder, lock);
    for (const auto& p : report->cleaned->problems)
        Complain(p);
    return report->cleaned->problems.empty();
}

int CountUnnamed(const std::vector<card::CardProblem>& problems) {
    int unnamed = 0;
    for (const auto& p : problems)
        unnamed += p.kind == card::CardProblemKind::UnnamedFile;
    return unnamed;
}

// Removes the audio files no event names, only with --yes; returns how many are left.
int RemoveUnnamed(const Args& args, const std::string& cardFolder, CheckReport* report) {
    const int unnamed = CountUnnamed(report->problems);
    if (unnamed == 0)
        return 0;
    if (!args.Has("--yes")) {
        Complain(
            "the files above that no event names stay; the recorder may keep files of its own. Run again "
            "with --yes to remove them.");
        return unnamed;
    }
    report->removed = card::RemoveUnnamedFiles(cardFolder, report->problems);
    return unnamed - static_cast<int>(report->removed.size());
}

const char* KindName(card::CardProblemKind kind) {
    switch (kind) {
    case card::CardProblemKind::UnreadableSong:
        return "unreadable_song";
    case card::CardProblemKind::MissingFile:
        return "missing_file";
    case card::CardProblemKind::UnnamedFile:
        return "unnamed_file";
    case card::CardProblemKind::SongInUse:
        return "song_in_use";
    }
    return "unknown";
}

// What was found (and tidied), before anything is removed: the refusal to remove files refers to the
// lines above it.
void PrintFindings(const CheckReport& report) {
    if (report.cleaned) {
        const card::TidyResult& done = *report.cleaned;
        std::printf("cleaned: %d removed, %d restores finished, %d restores undone, %d left as they are\n",
                    done.removed, done.finished, done.undone, done.left);
    }
    for (const card::Leftover& l : report.leftovers)
        std::printf("leftover: %s: %s (by check --clean)\n", l.path.c_str(), l.text.c_str());
    for (const auto& p : report.problems)
        std::printf("%s: %s\n", p.song.c_str(), p.text.c_str());
    std::fflush(stdout);
}

void PrintOutcome(const CheckReport& report, const std::string& cardFolder, const std::string& song) {
    for (const auto& name : report.removed)
        std::printf("removed: %s\n", name.c_str());
    if (report.clean)
        std::printf("%s: clean\n", song.empty() ? cardFolder.c_str() : song.c_str());
}

void PrintJson(const CheckReport& report, const std::string& cardFolder, const std::string& song) {
    JsonWriter json;
    json.BeginObject().Key("card").String(cardFolder).Key("song");
    if (song.empty())
        json.Null();
    else
        json.String(song);
    json.Key("clean").Bool(report.clean).Key("leftovers").BeginArray();
    for (const card::Leftover& l : report.leftovers) {
        json.BeginObject().Key("path").String(l.path).Key("kind").String(l.kind);
        json.Key("song").String(l.song).Key("text").String(l.text).EndObject();
    }
    json.EndArray().Key("problems").BeginArray();
    for (const auto& p : report.problems) {
        json.BeginObject().Key("kind").String(KindName(p.kind)).Key("song").String(p.song);
        json.Key("file").String(p.file).Key("text").String(p.text).EndObject();
    }
    json.EndArray().Key("cleaned");
    if (report.cleaned) {
        const card::TidyResult& done = *report.cleaned;
        json.BeginObject().Key("removed").Number(done.removed).Key("restores_finished").Number(done.finished);
        json.Key("restores_undone").Number(done.undone).Key("left").Number(done.left).EndObject();
    } else {
        json.Null();
    }
    json.Key("removed").BeginArray();
    for (const auto& name : report.removed)
        json.String(name);
    json.EndArray().EndObject().Print();
}

} // namespace

int RunCheck(const Args& args) {
    const std::string& cardFolder = args.positional[0];
    const std::string song = args.positional.size() > 1 ? args.positional[1] : std::string();
    if (!CheckCardFolder(cardFolder))
        return kExitFailure;
    if (!song.empty() && !platform::IsDirectory(platform::JoinPath(cardFolder, song))) {
        Complain(NoSongText(song, "the card " + cardFolder, card::ListSongs(cardFolder)));
        return kExitFailure;
    }
    CheckReport report;
    bool tidied = true;
    if (args.Has("--clean"))
        tidied = Tidy(cardFolder, &report);
    report.leftovers = LeftoversOf(cardFolder, song);
    report.problems = card::CheckSongs(cardFolder, song);
    int remaining = static_cast<int>(report.problems.size());
    const bool json = args.Has("--json");
    if (!json)
        PrintFindings(report);
    if (args.Has("--clean") && args.Has("--orphans"))
        remaining += RemoveUnnamed(args, cardFolder, &report) - CountUnnamed(report.problems);
    report.clean = tidied && report.leftovers.empty() && remaining == 0;
    if (json)
        PrintJson(report, cardFolder, song);
    else
        PrintOutcome(report, cardFolder, song);
    return report.clean ? kExitOk : kExitFailure;
}

} // namespace cli
