#include "Commands.h"

#include <cstdio>

namespace cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"backup",
         "backup CARD DEST [SONG...]",
         "copy song folders verbatim, with a SHA-256 manifest",
         "Copies every file of the named songs (all songs when none is named) from the card folder CARD\n"
         "into the folder DEST, keeping attributes such as read-only where DEST's file system holds them,\n"
         "and records a SHA-256 of each file in DEST/MANIFEST.sha256 (sha256sum format).",
         {},
         2,
         -1,
         RunBackup},
        {"verify",
         "verify DEST",
         "re-hash a backup against its manifest",
         "Reads every file listed in DEST/MANIFEST.sha256 and reports each one that is missing or changed.\n"
         "Exit status 1 when any file does not match.",
         {},
         1,
         1,
         RunVerify},
        {"restore",
         "restore DEST CARD [SONG...] [--yes]",
         "put songs from a backup back onto a card",
         "Copies the named songs (all songs of the backup when none is named) from the backup DEST onto\n"
         "the card folder CARD and verifies what it wrote. A song that exists on the card is replaced only\n"
         "with --yes; the new copy is checked before the old song is removed.",
         {"--yes"},
         2,
         -1,
         RunRestore},
    };
    return commands;
}

const Command* FindCommand(const std::string& name) {
    for (const auto& c : AllCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

void Complain(const std::string& text) {
    std::fprintf(stderr, "pelmora-cli: %s\n", text.c_str());
}

} // namespace cli
