#pragma once
// Runs the pelmora-cli binary as a user would, capturing its output streams and exit status.

#include <string>

namespace testsupport {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `arguments` is a shell-quoted argument string; standard input is empty (not a terminal).
CliRun RunCli(const std::string& arguments);
// The text quoted for a POSIX shell.
std::string Quote(const std::string& text);

} // namespace testsupport
