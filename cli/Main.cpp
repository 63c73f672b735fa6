// pelmora-cli: the program's jobs from a terminal, for scripted backups, machines without a display
// and card copies kept on disk. Results go to stdout, messages to stderr.
// Exit status: 0 success, 1 failure, 2 usage error.

#include "Args.h"
#include "Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void PrintToolHelp(FILE* out) {
    std::fprintf(
        out, "Usage: pelmora-cli COMMAND [ARGS...]\n\n"
             "Moves audio between a PC and a recorder card (a mounted card or a copy of one in a folder).\n\n"
             "Commands:\n");
    for (const auto& c : cli::AllCommands())
        std::fprintf(out, "  %-14s %s\n", c.name, c.summary);
    std::fprintf(out, "\nRun 'pelmora-cli COMMAND --help' for the arguments of a command.\n");
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

} // namespace

int main(int argc, char** argv) {
    const bool outputOpen = GuardStandardStreams();
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        PrintToolHelp(stderr);
        return cli::kExitUsage;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        PrintToolHelp(stdout);
        return cli::kExitOk;
    }
    const cli::Command* command = cli::FindCommand(words[0]);
    if (!command) {
        std::fprintf(stderr, "pelmora-cli: unknown command '%s'\n\n", words[0].c_str());
        PrintToolHelp(stderr);
        return cli::kExitUsage;
    }
    const cli::Args args = cli::ParseArgs({words.begin() + 1, words.end()}, command->flags);
    if (args.Has("--help")) {
        std::fprintf(stdout, "Usage: pelmora-cli %s\n\n%s\n", command->usage, command->help);
        return cli::kExitOk;
    }
    if (!args.error.empty() || args.positional.size() < command->minArgs ||
        (command->maxArgs >= 0 && args.positional.size() > static_cast<size_t>(command->maxArgs))) {
        std::fprintf(stderr, "pelmora-cli %s: %s\nUsage: pelmora-cli %s\n", command->name,
                     args.error.empty() ? "wrong number of arguments" : args.error.c_str(), command->usage);
        return cli::kExitUsage;
    }
    const int status = command->run(args);
    // Results that never reached their reader are a failure, whatever the command found.
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!outputOpen || !written) {
        std::fprintf(stderr, "pelmora-cli %s: cannot write the results: %s\n", command->name,
                     outputOpen ? std::strerror(errno) : "standard output is closed");
        return status == cli::kExitOk ? cli::kExitFailure : status;
    }
    return status;
}
