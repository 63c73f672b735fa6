#include "Cli.h"

#include "TestSupport.h"

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

} // namespace testsupport
