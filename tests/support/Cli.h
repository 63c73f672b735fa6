#pragma once
// Runs the pelmora-cli binary as a user would, capturing its output streams and exit status.

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `arguments` is a shell-quoted argument string; standard input is empty (not a terminal).
CliRun RunCli(const std::string& arguments);
// The same in the working folder `folder` (when given), with variables set for the binary alone (not
// for the shell that starts it), such as a preloaded library that must see only the program's calls.
CliRun RunCli(const std::string& arguments,
              const std::vector<std::pair<std::string, std::string>>& environment,
              const std::string& folder = {});
// The text quoted for a POSIX shell.
std::string Quote(const std::string& text);

} // namespace testsupport
