#include "Commands.h"

#include <cstdio>

namespace cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"songs",
         "songs CARD",
         "list the songs of a card",
         "Lists every song of the card folder CARD with its sample rate, bit depth, tracks in use,\n"
         "protection and locate points A and B.",
         {},
         1,
         1,
         RunSongs},
        {"import",
         "import CARD SONG PCDIR [--tracks LIST] [--ab] [--yes]",
         "render a song's tracks to trNN.wav",
         "Renders tracks of SONG on the card folder CARD into PCDIR/tr01.wav .. tr16.wav (mono, 16 bits,\n"
         "the song's rate). --tracks takes a list such as 1,3,5-8 (default: every track in use); --ab "
         "renders\n"
         "only the stretch between locate points A and B; --yes answers OK to every question (such as\n"
         "replacing an existing track file). Ctrl-C cancels; the file being written is removed.",
         {"--tracks", "--ab", "--yes"},
         3,
         3,
         RunImport},
        {"export",
         "export PCDIR CARD SONG [--tracks LIST] [--yes]",
         "copy trNN.wav files into a song",
         "Copies PCDIR/tr01.wav .. tr16.wav (mono, 16 bits, the song's rate) into SONG on the card folder\n"
         "CARD as new audio files entered in the song's event list. A song that does not exist is created\n"
         "first (at the rate of the lowest-numbered track file). --tracks takes a list such as 1,3,5-8\n"
         "(default: every track file in PCDIR); --yes answers OK to the questions. Ctrl-C cancels; the file\n"
         "being copied is removed and the song keeps every track finished before.",
         {"--tracks", "--yes"},
         3,
         3,
         RunExport},
        {"cd-image",
         "cd-image OUTDIR NAME WAV...",
         "write an audio CD image (CUE/BIN)",
         "Writes OUTDIR/NAME.cue and OUTDIR/NAME.bin: an audio CD of the given 44.1 kHz 16-bit stereo WAV\n"
         "files, one track each, with two seconds of silence before tracks 2 and on. The files appear only\n"
         "when the image is complete. Burn it later with any CUE/BIN burner.",
         {"--yes"},
         3,
         -1,
         RunCdImage},
        {"recorders",
         "recorders",
         "list the CD recorders",
         "Lists the CD recorders of this machine with the index and name the other disc commands accept.",
         {},
         0,
         0,
         RunRecorders},
        {"burn",
         "burn RECORDER WAV... [--yes]",
         "burn an audio CD",
         "Burns the given 44.1 kHz 16-bit stereo WAV files as an audio CD on RECORDER (its name or index as\n"
         "'pelmora-cli recorders' lists it). --yes answers OK to every question (such as erasing a\n"
         "rewritable disc that holds data). Ctrl-C cancels until recording starts.",
         {"--yes"},
         2,
         -1,
         RunBurn},
        {"erase",
         "erase RECORDER [--full]",
         "erase a rewritable disc",
         "Erases the rewritable disc in RECORDER (a quick erase; --full erases every sector). It cannot be\n"
         "cancelled.",
         {"--full"},
         1,
         1,
         RunErase},
        {"eject",
         "eject RECORDER",
         "eject the disc of a recorder",
         "Opens the tray of RECORDER.",
         {},
         1,
         1,
         RunEject},
        {"make-demo-card",
         "make-demo-card DIR",
         "write a demo card into a folder",
         "Writes three demo songs into the folder DIR (created when missing): one at 44.1 kHz and one at\n"
         "48 kHz whose tracks overlap, leave gaps and hold a silenced stretch, with locate points A < B,\n"
         "and one with two stereo 44.1 kHz mixdowns in its 2mix folder. Each region plays its own tone.",
         {},
         1,
         1,
         RunMakeDemoCard},
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
         "with --yes; the new copy is checked before the old song is removed. A song whose copy in the\n"
         "backup does not match the manifest is named and left out; the others are restored.",
         {"--yes"},
         2,
         -1,
         RunRestore},
        {"check",
         "check CARD [SONG] [--clean] [--orphans] [--yes]",
         "report what is wrong on a card; clean up this program's leftovers",
         "Reports, for the card folder CARD (or its song SONG): songs whose ADL file cannot be read, events\n"
         "that name missing files, audio files that no event names, and what this program left behind\n"
         "(temporary files, write tests, half-made songs, interrupted restores). --clean removes this\n"
         "program's own leftovers of the whole card and finishes or undoes interrupted restores (only while\n"
         "no other program uses the card); with --orphans it also removes the audio files that no event\n"
         "names, after listing them, and only with --yes (the recorder may keep files of its own). Exit\n"
         "status 0 when nothing is left to report, 1 otherwise.",
         {"--clean", "--orphans", "--yes"},
         1,
         2,
         RunCheck},
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
