#include "Backup.h"
#include "Commands.h"

#include "card/CardRules.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

int Finish(const BackupReport& report, const char* verb) {
    for (const auto& p : report.problems)
        Complain(p);
    std::printf("%s %d file(s), %llu bytes\n", verb, report.files,
                static_cast<unsigned long long>(report.bytes));
    return report.problems.empty() ? kExitOk : kExitFailure;
}

} // namespace

int RunBackup(const Args& args) {
    const std::string& card = args.positional[0];
    const std::string& dest = args.positional[1];
    if (!platform::IsDirectory(card)) {
        Complain("no card folder " + card);
        return kExitFailure;
    }
    std::vector<std::string> songs(args.positional.begin() + 2, args.positional.end());
    if (songs.empty())
        songs = card::ListSongs(card);
    if (songs.empty()) {
        Complain("the card " + card + " holds no song");
        return kExitFailure;
    }
    return Finish(BackupSongs(card, dest, songs), "backed up");
}

int RunVerify(const Args& args) {
    const BackupReport report = VerifyBackup(args.positional[0]);
    for (const auto& p : report.problems)
        Complain(p);
    std::printf("%d file(s) verified, %zu problem(s)\n", report.files, report.problems.size());
    return report.problems.empty() ? kExitOk : kExitFailure;
}

int RunRestore(const Args& args) {
    const std::string& dest = args.positional[0];
    const std::string& card = args.positional[1];
    if (!platform::IsDirectory(card)) {
        Complain("no card folder " + card);
        return kExitFailure;
    }
    const BackupReport check = VerifyBackup(dest);
    if (!check.problems.empty()) {
        for (const auto& p : check.problems)
            Complain(p);
        Complain("the backup does not match its manifest; nothing restored");
        return kExitFailure;
    }
    std::vector<std::string> songs(args.positional.begin() + 2, args.positional.end());
    if (songs.empty())
        songs = SongsInBackup(dest);
    return Finish(RestoreSongs(dest, card, songs, args.Has("--yes")), "restored");
}

} // namespace cli
