// pelmora-cli backup / verify / restore: the card's backup operations from a terminal.

#include "Cancel.h"
#include "Commands.h"

#include "card/Backup.h"
#include "card/CardRules.h"
#include "platform/FileSystem.h"

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
        return kExitFailure;
    }
    std::printf("%s %d file(s), %llu bytes\n", verb, result.files,
                static_cast<unsigned long long>(result.bytes));
    return result.problems.empty() ? kExitOk : kExitFailure;
}

} // namespace

int RunBackup(const Args& args) {
    card::BackupParams params;
    params.card = args.positional[0];
    params.dest = args.positional[1];
    if (!platform::IsDirectory(params.card)) {
        Complain("no card folder " + params.card);
        return kExitFailure;
    }
    params.songs.assign(args.positional.begin() + 2, args.positional.end());
    if (params.songs.empty())
        params.songs = card::ListSongs(params.card);
    if (params.songs.empty()) {
        Complain("the card " + params.card + " holds no song");
        return kExitFailure;
    }
    const auto result = card::RunBackup(params, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    return Finish(result, "backed up", "backup cancelled; the song being copied was removed");
}

int RunVerify(const Args& args) {
    const auto result =
        card::RunVerify({args.positional[0]}, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    PrintProblems(result);
    if (result.outcome == card::BackupOutcome::Cancelled) {
        Complain("verify cancelled");
        return kExitFailure;
    }
    std::printf("%d file(s) verified, %zu problem(s)\n", result.files, result.problems.size());
    return result.problems.empty() ? kExitOk : kExitFailure;
}

int RunRestore(const Args& args) {
    card::RestoreParams params;
    params.dest = args.positional[0];
    params.card = args.positional[1];
    params.overwrite = args.Has("--yes");
    if (!platform::IsDirectory(params.card)) {
        Complain("no card folder " + params.card);
        return kExitFailure;
    }
    params.songs.assign(args.positional.begin() + 2, args.positional.end());
    if (params.songs.empty())
        params.songs = card::SongsInBackup(params.dest);
    const auto result = card::RunRestore(params, kNoBox, nullptr, nullptr, InstallCancelOnInterrupt());
    if (result.outcome == card::BackupOutcome::Refused) {
        PrintProblems(result);
        Complain(result.message);
        return kExitFailure;
    }
    return Finish(result, "restored", "restore cancelled; the song on the card was left as it was");
}

} // namespace cli
