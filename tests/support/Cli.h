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
// The path of a program built beside pelmora-cli, such as pelmora-adl-info.
std::string ProgramPath(const std::string& program);

// pelmora-cli running in the background (standard input and output on /dev/null), for what a test
// does to it while it runs, such as a Ctrl-C. Killed and waited for when dropped while running.
class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& arguments);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads its standard error until a line holding `text` has come; false when the output ends first.
    bool WaitForLine(const std::string& text);
    void Signal(int signal);
    // Reads the rest of standard error and waits for the end: the exit status, or 128 plus the number
    // of the signal that ended it (as a shell reports it).
    int Wait();
    // Standard error read so far.
    const std::string& Err() const { return m_err; }

private:
    int m_pid = -1;
    int m_errFd = -1;
    std::string m_err;
    size_t m_checked = 0; // m_err up to here holds no line WaitForLine looked for
};

} // namespace testsupport
