#include "Cli.h"

#include "TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string ProgramPath(const std::string& program) {
    const std::string cli = PELMORA_CLI;
    return cli.substr(0, cli.rfind('/') + 1) + program;
}

CliRun RunCli(const std::string& arguments) {
    return RunCli(arguments, {});
}

CliRun RunCli(const std::string& arguments,
              const std::vector<std::pair<std::string, std::string>>& environment,
              const std::string& folder) {
    TempDir dir;
    const std::string errFile = dir / "stderr";
    std::string prefix = folder.empty() ? "" : "cd " + Quote(folder) + " && ";
    for (const auto& [name, value] : environment)
        prefix += name + "=" + Quote(value) + " ";
    CliRun run;
    run.status =
        RunCommand(prefix + PELMORA_CLI + " " + arguments + " </dev/null 2>" + Quote(errFile), &run.out);
    run.err = ReadText(errFile);
    return run;
}

CliProcess::CliProcess(const std::vector<std::string>& arguments) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<std::string> words = {PELMORA_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    // The program starts with no signal blocked and Ctrl-C's default, whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    sigaddset(&reset, SIGINT);
    sigaddset(&reset, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (::posix_spawn(&pid, PELMORA_CLI, &actions, &attributes, argv.data(), environ) == 0)
        m_pid = pid;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_errFd = fds[0];
}

CliProcess::~CliProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    if (m_errFd >= 0)
        ::close(m_errFd);
}

bool CliProcess::WaitForLine(const std::string& text) {
    while (true) {
        const size_t found = m_err.find(text, m_checked);
        if (found != std::string::npos && m_err.find('\n', found) != std::string::npos) {
            m_checked = m_err.find('\n', found) + 1;
            return true;
        }
        char buffer[4096];
        const ssize_t n = m_errFd >= 0 ? ::read(m_errFd, buffer, sizeof buffer) : 0;
        if (n <= 0)
            return false;
        m_err.append(buffer, static_cast<size_t>(n));
    }
}

void CliProcess::Signal(int signal) {
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CliProcess::Wait() {
    char buffer[4096];
    ssize_t n = 0;
    while (m_errFd >= 0 && (n = ::read(m_errFd, buffer, sizeof buffer)) > 0)
        m_err.append(buffer, static_cast<size_t>(n));
    if (m_pid <= 0)
        return -1;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    if (done < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace testsupport
