#include "Cli.h"

#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace testsupport;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The commands `pelmora-cli --help` lists.
std::vector<std::string> HelpCommands() {
    std::vector<std::string> commands;
    bool inList = false;
    for (const std::string& line : Lines(RunCli("--help").out)) {
        if (line == "Commands:")
            inList = true;
        else if (line.empty())
            inList = false;
        else if (inList)
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return commands;
}

// The options a command's usage line shows.
std::set<std::string> UsageOptions(const std::string& command) {
    std::set<std::string> options;
    std::istringstream usage(Lines(RunCli(command + " --help").out).at(0));
    for (std::string word; usage >> word;) {
        const auto at = word.find("--");
        if (at != std::string::npos)
            options.insert(word.substr(at, word.find_first_of(" ]", at) - at));
    }
    return options;
}

class CliInstall : public ::testing::Test {
protected:
    void SetUp() override {
        std::string out;
        ASSERT_EQ(RunCommand(Quote(PELMORA_CMAKE) + " --install " + Quote(PELMORA_BUILD_DIR) + " --prefix " +
                                 Quote(prefix) + " --component cli 2>&1",
                             &out),
                  0)
            << out;
    }

    // What bash offers for the words typed so far (the last one being completed), with the installed
    // completion loaded.
    std::string Offered(const std::string& words) {
        std::string out;
        RunCommand("bash --norc --noprofile -c " +
                       Quote("source " + Quote(completion) + " && COMP_WORDS=(" + words +
                             ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _pelmora_cli && "
                             "printf '%s\\n' \"${COMPREPLY[@]}\" | sort"),
                   &out);
        return out;
    }

    TempDir dir;
    const std::string prefix = dir / "usr";
    const std::string completion = prefix + "/share/bash-completion/completions/pelmora-cli";
};

TEST_F(CliInstall, TheProgramItsManualPageAndItsCompletion) {
    EXPECT_TRUE(platform::IsRegularFile(prefix + "/bin/pelmora-cli"));
    if (PELMORA_MANUAL_MADE) {
        const std::string manual = ReadText(prefix + "/share/man/man1/pelmora-cli.1");
        EXPECT_NE(manual.find(".TH PELMORA-CLI \"1\""), std::string::npos) << manual.substr(0, 400);
        EXPECT_NE(manual.find("Pelmora 2.12"), std::string::npos);
        for (std::string command : HelpCommands()) {
            // Each command's own help, its dashes as the page writes them.
            for (size_t at = 0; (at = command.find('-', at)) != std::string::npos; at += 2)
                command.insert(at, "\\");
            EXPECT_NE(manual.find("pelmora\\-cli " + command + " "), std::string::npos) << command;
        }
    }
    std::string out;
    EXPECT_EQ(RunCommand("bash --norc --noprofile -c " +
                             Quote("source " + Quote(completion) + " && complete -p pelmora-cli"),
                         &out),
              0);
    EXPECT_EQ(out, "complete -F _pelmora_cli pelmora-cli\n");
}

TEST_F(CliInstall, CompletionOffersTheCommandsTheirOptionsAndTheCardsSongs) {
    std::set<std::string> commands;
    for (const std::string& line : Lines(Offered("pelmora-cli ''")))
        commands.insert(line);
    const std::vector<std::string> listed = HelpCommands();
    EXPECT_EQ(commands, std::set<std::string>(listed.begin(), listed.end()));
    for (const std::string& command : listed) {
        const std::vector<std::string> offered = Lines(Offered("pelmora-cli " + command + " --"));
        for (const std::string& option : UsageOptions(command))
            EXPECT_NE(std::find(offered.begin(), offered.end(), option), offered.end())
                << command << " " << option;
    }
    EXPECT_EQ(Offered("pelmora-cli im"), "import\n");

    const std::string card = dir / "my card";
    ASSERT_EQ(RunCli("make-demo-card " + Quote(card)).status, 0);
    EXPECT_EQ(Offered("pelmora-cli import " + Quote(card) + " De"), "Demo 44k\nDemo 48k\n");
    EXPECT_EQ(Offered("pelmora-cli export pc " + Quote(card) + " M"), "Mixdown\n");
    EXPECT_EQ(Offered("pelmora-cli -q check --clean " + Quote(card) + " ''"),
              "Demo 44k\nDemo 48k\nMixdown\n");
}

} // namespace
