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
    TempDir dir;
    const std::string errFile = dir / "stderr";
    CliRun run;
    run.status =
        RunCommand(std::string(PELMORA_CLI) + " " + arguments + " </dev/null 2>" + Quote(errFile), &run.out);
    run.err = ReadText(errFile);
    return run;
}

} // namespace testsupport
