#pragma once
// The table of pelmora-cli commands; each command's handler lives in its own Cmd*.cpp file.

#include "Args.h"

#include <set>
#include <string>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// A job cancelled by a signal (Ctrl-C: 130) ends with 128 plus the signal's number, as a shell reports
// a program that the signal ended.
constexpr int kExitSignalBase = 128;

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    const char* help;
    std::set<std::string> flags;
    size_t minArgs;
    int maxArgs; // -1 = any number
    int (*run)(const Args& args);
};

const std::vector<Command>& AllCommands();
const Command* FindCommand(const std::string& name);

// Handlers.
int RunSongs(const Args& args);
int RunImport(const Args& args);
int RunExport(const Args& args);
int RunMakeDemoCard(const Args& args);
int RunCdImage(const Args& args);
int RunRecorders(const Args& args);
int RunBurn(const Args& args);
int RunErase(const Args& args);
int RunEject(const Args& args);
int RunBackup(const Args& args);
int RunVerify(const Args& args);
int RunRestore(const Args& args);
int RunCheck(const Args& args);
int RunTimeline(const Args& args);

// Prints "pelmora-cli: <text>" on stderr.
void Complain(const std::string& text);

// How much goes to stderr besides errors: --quiet keeps only results and errors, --verbose adds every
// question --yes answers.
enum class Verbosity { Quiet, Normal, Verbose };
void SetVerbosity(Verbosity verbosity);
Verbosity GetVerbosity();
// Prints "pelmora-cli: warning: <text>" on stderr, unless --quiet.
void Warn(const std::string& text);
// Prints a line that only informs on stderr, unless --quiet.
void Note(const std::string& text);

} // namespace cli
