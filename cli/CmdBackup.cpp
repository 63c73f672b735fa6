// pelmora-cli backup / verify / restore: the card's backup operations from a terminal.

#include "Cancel.h"
#include "CardArgs.h"
#include "Commands.h"

#include "card/Backup.h"
#include "card/CardRules.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

// The problems are printed here, one a line; a message box would print them once more.
constexpr platform::IMessageBox* kNoBox = nullptr;

void PrintProblems(const card::BackupResult& result) {
    for (const auto& p : result.problems)
        Complain(p);
}

int Finish(const card::BackupResult& result, const char* verb, const char* cancelled) {
    PrintProblems(result);
    if (result.outcome == card::BackupOutcome::Cancelled) {
        Complain(cancelled);
        return CancelledExitStatus();
    }
    std::printf("%s %d file(s), %llu bytes\n", verb, result.files,
                static_cast<unsigned long long>(result.bytes));
    return result.problems.empty() ? kExitOk : kExitFailure;
}

// Keeps the named songs that `known` holds; each other one is told, with the near names, and dropped.
// False when any was dropped.
bool KeepKnownSongs(std::vector<std::string>* songs, const std::vector<std::string>& known,
                    const std::string& where) {
    const auto missing = std::stable_partition(songs->begin(), songs->end(), [&](const std::string& song) {
        return std::find(known.begin(), known.end(), song) != known.end();
    });
    for (auto it = missing; it != songs->end(); ++it)
        Complain(NoSongText(*it, where, known));
    const bool all = missing == songs->end();
    songs->erase(missing, songs->end());
    return all;
}

} // namespace

int RunBackup(const Args& args) {
    card::BackupParams params;
    params.card = args.positional[0];
    params.dest = args.positional[1];
    if (!CheckCardFolder(params.card))
        return kExitFailure;
    params.songs.assign(args.positional.begin() + 2, args.positional.end());
    const std::vector<std::string> onCard = card::ListSongs(params.card);
    const bool allNamed = KeepKnownSongs(&params.songs, onCard, "the card " + params.card);
    if (args.positional.size() == 2)
        params.songs = onCard;
    if (params.songs.empty()) {
        if (allNamed)
            Complain("the card " + params.card + " holds no song");
        return kExitFailure;
    }
    const auto result = card::RunBackup(params, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    const int status = Finish(result, "backed up", "backup cancelled; the song being copied was removed");
    return status == kExitOk && !allNamed ? kExitFailure : status;
}

int RunVerify(const Args& args) {
    const auto result =
        card::RunVerify({args.positional[0]}, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    PrintProblems(result);
    if (result.outcome == card::BackupOutcome::Cancelled) {
        Complain("verify cancelled");
        return CancelledExitStatus();
    }
    std::printf("%d file(s) verified, %zu problem(s)\n", result.files, result.problems.size());
    return result.problems.empty() ? kExitOk : kExitFailure;
}

int RunRestore(const Args& args) {
    card::RestoreParams params;
    params.dest = args.positional[0];
    params.card = args.positional[1];
    params.overwrite = args.Has("--yes");
    if (!CheckCardFolder(params.card))
        return kExitFailure;
    params.songs.assign(args.positional.begin() + 2, args.positional.end());
    const std::vector<std::string> inBackup = card::SongsInBackup(params.dest);
    bool allNamed = true;
    if (params.songs.empty())
        params.songs = inBackup;
    else
        allNamed = KeepKnownSongs(&params.songs, inBackup, "the backup " + params.dest);
    if (!allNamed && params.songs.empty())
        return kExitFailure;
    const auto result = card::RunRestore(params, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    if (result.outcome == card::BackupOutcome::Refused) {
        PrintProblems(result);
        Complain(result.message);
        return kExitFailure;
    }
    const int status =
        Finish(result, "restored", "restore cancelled; the song on the card was left as it was");
    return status == kExitOk && !allNamed ? kExitFailure : status;
}

} // namespace cli
