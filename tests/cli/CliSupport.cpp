#include "CliSupport.h"

#include "TestSupport.h"

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
    testsupport::TempDir dir;
    const std::string errFile = dir / "stderr";
    CliRun run;
    run.status = testsupport::RunCommand(
        std::string(PELMORA_CLI) + " " + arguments + " </dev/null 2>" + Quote(errFile), &run.out);
    run.err = testsupport::ReadText(errFile);
    return run;
}
