// pelmora-cli: the program's jobs from a terminal, for scripted backups, machines without a display
// and card copies kept on disk. Results go to stdout, messages to stderr.
// Exit status: 0 success, 1 failure, 2 usage error.

#include "Args.h"
#include "Commands.h"

#include <cstdio>
#include <cstring>
#include <string>
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

} // namespace

int main(int argc, char** argv) {
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
    return command->run(args);
}
