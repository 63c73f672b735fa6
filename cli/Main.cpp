// pelmora-cli: the program's jobs from a terminal, for scripted backups, machines without a display
// and card copies kept on disk. Results go to stdout, messages to stderr.
// Exit status: 0 success, 1 failure, 2 usage error, 128 + the signal's number after a job cancelled by
// Ctrl-C (130) or SIGTERM.

#include "Args.h"
#include "Commands.h"
#include "PelmoraVersion.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kToolHelpTop =
    "Usage: pelmora-cli COMMAND ARGUMENTS... [OPTIONS]\n"
    "\n"
    "Moves audio between a PC and a recorder card (a mounted card or a copy of one in a folder), and\n"
    "writes audio CDs and CD images.\n"
    "\n"
    "Commands:\n";

constexpr const char* kToolHelpBottom =
    "\n"
    "Arguments, the source always before the destination:\n"
    "  CARD       a card folder: a mounted card or a copy of one on disk\n"
    "  SONG       a song on the card, by its folder's name (the case counts)\n"
    "  PCDIR      a folder on the PC for the track files tr01.wav .. tr16.wav\n"
    "  BACKUP     a backup folder: song folders and their MANIFEST.sha256\n"
    "  OUTDIR     the folder a CD image is written into, NAME the image's file name\n"
    "  WAV        a 44.1 kHz 16-bit stereo WAV file, one CD track\n"
    "  RECORDER   a CD recorder, by its name or index as 'pelmora-cli recorders' lists it\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help, or a command's help after the command\n"
    "      --help-all  show this help and every command's help\n"
    "      --version   show the program's version\n"
    "  -q, --quiet     print only results and errors\n"
    "      --verbose   print also each question that --yes answers\n"
    "  -y, --yes       answer OK to every question (the commands that ask one)\n"
    "      --json      print one JSON document (songs, recorders, check)\n"
    "\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    failure\n"
    "  2    usage error\n"
    "  130  a job cancelled by Ctrl-C (128 plus the signal's number)\n";

void PrintToolHelp(FILE* out, bool everyCommand) {
    std::fputs(kToolHelpTop, out);
    for (const auto& c : cli::AllCommands())
        std::fprintf(out, "  %-16s %s\n", c.name, c.summary);
    std::fputs(kToolHelpBottom, out);
    if (!everyCommand) {
        std::fprintf(out, "\nRun 'pelmora-cli COMMAND --help' for the arguments of a command.\n");
        return;
    }
    std::fprintf(out, "\nCommand details:\n");
    for (const auto& c : cli::AllCommands()) {
        std::fprintf(out, "  pelmora-cli %s\n", c.usage);
        std::string help = c.help;
        for (size_t at = 0; at < help.size(); at = help.find('\n', at) + 1) {
            const size_t end = help.find('\n', at);
            std::fprintf(out, "      %s\n", help.substr(at, end - at).c_str());
            if (end == std::string::npos)
                break;
        }
    }
}

void PrintVersion() {
    std::printf("pelmora-cli (Pelmora) %s\n", PELMORA_VERSION);
}

// A closed standard stream would hand its number to the next file opened, and what is printed later
// would land in that file (a song's ADL, say). Each closed one is pointed at /dev/null instead; false
// when standard output was one of them, so that the results are known to be lost.
bool GuardStandardStreams() {
    bool outputOpen = true;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == 1)
            outputOpen = false;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return outputOpen;
}

// The help or the version the words ahead of the command ask for, printed; false when they ask for
// neither. *at receives the index of the command (words.size() when there is none).
bool PrintToolAnswer(const std::vector<std::string>& words, size_t* at) {
    for (*at = 0; *at < words.size() && words[*at].size() > 1 && words[*at][0] == '-'; ++*at) {
        const std::string& w = words[*at];
        if (w == "--help" || w == "-h" || w == "--help-all") {
            PrintToolHelp(stdout, w == "--help-all");
            return true;
        }
        if (w == "--version") {
            PrintVersion();
            return true;
        }
    }
    if (*at < words.size() && words[*at] == "help") {
        PrintToolHelp(stdout, false);
        return true;
    }
    return false;
}

// The command the words name, and its arguments (with the options given ahead of the command); null
// after telling why there is none.
const cli::Command* FindCommand(const std::vector<std::string>& words, size_t at, cli::Args* args) {
    if (at == words.size()) {
        if (at > 0) {
            const std::string error = cli::ParseArgs(words, {}).error;
            std::fprintf(stderr, "pelmora-cli: %s\n\n", error.empty() ? "no command given" : error.c_str());
        }
        PrintToolHelp(stderr, false);
        return nullptr;
    }
    const cli::Command* command = cli::FindCommand(words[at]);
    if (!command) {
        std::fprintf(stderr, "pelmora-cli: unknown command '%s'\n\n", words[at].c_str());
        PrintToolHelp(stderr, false);
        return nullptr;
    }
    const auto commandAt = words.begin() + static_cast<std::ptrdiff_t>(at);
    std::vector<std::string> commandWords(commandAt + 1, words.end());
    commandWords.insert(commandWords.begin(), words.begin(), commandAt);
    *args = cli::ParseArgs(commandWords, command->flags);
    return command;
}

// The exit status once the results are out: results that never reached their reader are a failure,
// whatever the command found.
int Finish(int status, bool outputOpen, const std::string& what) {
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!outputOpen || !written) {
        std::fprintf(stderr, "%s: cannot write the results: %s\n", what.c_str(),
                     outputOpen ? std::strerror(errno) : "standard output is closed");
        return status == cli::kExitOk ? cli::kExitFailure : status;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const bool outputOpen = GuardStandardStreams();
    const std::vector<std::string> words(argv + 1, argv + argc);
    size_t at = 0;
    if (PrintToolAnswer(words, &at))
        return Finish(cli::kExitOk, outputOpen, "pelmora-cli");
    cli::Args args;
    const cli::Command* command = FindCommand(words, at, &args);
    if (!command)
        return cli::kExitUsage;
    const std::string what = std::string("pelmora-cli ") + command->name;
    if (args.Has("--help")) {
        std::fprintf(stdout, "Usage: pelmora-cli %s\n\n%s\n", command->usage, command->help);
        return Finish(cli::kExitOk, outputOpen, what);
    }
    if (args.error.empty() && args.Has("--quiet") && args.Has("--verbose"))
        args.error = "--quiet and --verbose cannot go together";
    if (!args.error.empty() || args.positional.size() < command->minArgs ||
        (command->maxArgs >= 0 && args.positional.size() > static_cast<size_t>(command->maxArgs))) {
        std::fprintf(stderr, "%s: %s\nUsage: pelmora-cli %s\n", what.c_str(),
                     args.error.empty() ? "wrong number of arguments" : args.error.c_str(), command->usage);
        return cli::kExitUsage;
    }
    cli::SetVerbosity(args.Has("--quiet")     ? cli::Verbosity::Quiet
                      : args.Has("--verbose") ? cli::Verbosity::Verbose
                                              : cli::Verbosity::Normal);
    return Finish(command->run(args), outputOpen, what);
}
