#include "Commands.h"

#include <cstdio>

namespace cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"songs",
         "songs CARD [--json]",
         "list the songs of a card",
         "Lists every song of the card folder CARD with its sample rate, bit depth, tracks in use,\n"
         "protection and locate points A and B.\n"
         "Locate points are shown in the song's time code, hh.mm.ss.ff/nnnn: hours, minutes, seconds and\n"
         "frames, then the samples into that frame. The separators name the frame rate (. 25 fps, = 24 fps,\n"
         ": 29.97 fps, | 30 fps; a comma before the frames marks drop-frame), the mark before the samples\n"
         "names the sample rate (L 22.05 kHz, | 44.1 kHz, / 48 kHz): 00.00.01.12/0960 is 1 second,\n"
         "12 frames and 960 samples at 25 fps and 48 kHz, that is 72000 samples from the time code's zero.\n"
         "A point whose time code has no text form shows '?'.\n"
         "--json prints one JSON document instead of the table, each locate point as its time-code text\n"
         "and its position in samples.",
         {"--json"},
         1,
         1,
         RunSongs},
        {"timeline",
         "timeline CARD SONG [--svg FILE]",
         "show what each track of a song holds, as a table or an SVG picture",
         "Lists, for every track of SONG on the card folder CARD, its stretches in order: from and to in\n"
         "the song's time code (see 'songs'), the entry on top, and what is heard there: an audio file\n"
         "(with the time in the file where the stretch starts), \"(silence)\" for a Silence entry or\n"
         "\"(nothing)\" where no entry lies. Where entries overlap, the higher entry number is heard; the\n"
         "stretches are exactly what import writes. Above the table: the song's length and its locate\n"
         "points A and B.\n"
         "--svg FILE writes the same as a picture instead: sixteen lanes, the audio coloured by file with\n"
         "its waveform, Silence entries grey with a dashed edge, locate points A and B as lines. The\n"
         "waveforms are read once and kept in $XDG_CACHE_HOME/pelmora (~/.cache/pelmora), never on the\n"
         "card.",
         {"--svg"},
         2,
         2,
         RunTimeline},
        {"import",
         "import CARD SONG PCDIR [--tracks LIST] [--ab] [--yes]",
         "render a song's tracks from a card into a PC folder",
         "Renders tracks of SONG on the card folder CARD into PCDIR/tr01.wav .. tr16.wav (mono, 16 bits,\n"
         "the song's rate). --tracks takes a list such as 1,3,5-8 (default: every track in use); --ab "
         "renders\n"
         "only the stretch between locate points A and B; --yes answers OK to every question (such as\n"
         "replacing an existing track file). A track with nothing to render is named and gets no file;\n"
         "exit status 1 when no file at all was written. Ctrl-C cancels (exit status 130); the file being\n"
         "written is removed.",
         {"--tracks", "--ab", "--yes"},
         3,
         3,
         RunImport},
        {"export",
         "export PCDIR CARD SONG [--tracks LIST] [--convert] [--stereo split|mix] [--yes]",
         "copy trNN.wav files from a PC folder into a song on a card",
         "Copies PCDIR/tr01.wav .. tr16.wav (mono, 16 bits, the song's rate) into SONG on the card folder\n"
         "CARD as new audio files entered in the song's event list. A song that does not exist is created\n"
         "first (at the rate of the lowest-numbered track file). --tracks takes a list such as 1,3,5-8\n"
         "(default: every track file in PCDIR); --yes answers OK to the questions. Ctrl-C cancels (exit\n"
         "status 130); the file being copied is removed and the song keeps every track finished before.\n"
         "--convert converts files of another format into the song's while exporting (the files in PCDIR\n"
         "are not changed): any depth, 32-bit float, another rate, stereo, and trNN.flac, trNN.aif or\n"
         "trNN.aiff where no trNN.wav is there. A new song made from a file at a rate a song cannot have\n"
         "takes 44100 Hz (from 11025, 88200 or 176400 Hz) or 48000 Hz. --stereo split (the default) puts a\n"
         "stereo file's right channel on the next track when that track is not chosen and has no file of\n"
         "its own, and mixes both channels otherwise; --stereo mix always mixes (-3 dB each).",
         {"--tracks", "--convert", "--stereo", "--yes"},
         3,
         3,
         RunExport},
        {"cd-image",
         "cd-image OUTDIR NAME WAV... [--yes]",
         "write an audio CD image (CUE/BIN) into a folder",
         "Writes the CD image OUTDIR/NAME.cue and OUTDIR/NAME.bin: an audio CD of the given 44.1 kHz\n"
         "16-bit stereo WAV files, one track each, in the order given, with two seconds of silence before\n"
         "tracks 2 and on. The files appear only when the image is complete. An image of that name that\n"
         "is already there is replaced only with --yes. Any program that records CUE/BIN images puts it\n"
         "on a disc.",
         {"--yes"},
         3,
         -1,
         RunCdImage},
        {"recorders",
         "recorders [--json]",
         "list the CD recorders",
         "Lists the CD recorders of this machine with the index and name the other disc commands accept.\n"
         "--json prints one JSON document instead.",
         {"--json"},
         0,
         0,
         RunRecorders},
        {"burn",
         "burn RECORDER WAV... [--yes]",
         "burn an audio CD",
         "Burns the given 44.1 kHz 16-bit stereo WAV files as an audio CD on RECORDER (its name or index as\n"
         "'pelmora-cli recorders' lists it). --yes answers OK to every question (such as erasing a\n"
         "rewritable disc that holds data). Ctrl-C cancels until recording starts (exit status 130).",
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
         "make-demo-card CARD",
         "write a demo card into a folder",
         "Writes three demo songs into the folder CARD (created when missing): one at 44.1 kHz and one at\n"
         "48 kHz whose tracks overlap, leave gaps and hold a silenced stretch, with locate points A < B,\n"
         "and one with two stereo 44.1 kHz mixdowns in its 2mix folder. Each region plays its own tone.",
         {},
         1,
         1,
         RunMakeDemoCard},
        {"backup",
         "backup CARD BACKUP [SONG...]",
         "copy songs from a card into a backup folder, with a SHA-256 manifest",
         "Copies every file of the named songs (all songs when none is named) from the card folder CARD\n"
         "into the folder BACKUP, keeping attributes such as read-only where BACKUP's file system holds\n"
         "them, and records a SHA-256 of each file in BACKUP/MANIFEST.sha256 (sha256sum format). Ctrl-C\n"
         "cancels (exit status 130).",
         {},
         2,
         -1,
         RunBackup},
        {"verify",
         "verify BACKUP",
         "re-hash a backup against its manifest",
         "Reads every file listed in BACKUP/MANIFEST.sha256 and reports each one that is missing or\n"
         "changed. Exit status 1 when any file does not match.",
         {},
         1,
         1,
         RunVerify},
        {"restore",
         "restore BACKUP CARD [SONG...] [--yes]",
         "put songs from a backup folder back onto a card",
         "Copies the named songs (all songs of the backup when none is named) from the backup folder\n"
         "BACKUP onto the card folder CARD and verifies what it wrote. A song that exists on the card is\n"
         "replaced only with --yes; the new copy is checked before the old song is removed. A song whose\n"
         "copy in the backup does not match the manifest is named and left out; the others are restored.",
         {"--yes"},
         2,
         -1,
         RunRestore},
        {"check",
         "check CARD [SONG] [--clean] [--orphans] [--yes] [--json]",
         "report what is wrong on a card; clean up this program's leftovers",
         "Reports, for the card folder CARD (or its song SONG): songs whose ADL file cannot be read, events\n"
         "that name missing files, audio files that no event names, and what this program left behind\n"
         "(temporary files, write tests, half-made songs, interrupted restores). --clean removes this\n"
         "program's own leftovers of the whole card and finishes or undoes interrupted restores (only while\n"
         "no other program uses the card); with --orphans it also removes the audio files that no event\n"
         "names, after listing them, and only with --yes (the recorder may keep files of its own). --json\n"
         "prints one JSON document instead of the lines. Exit status 0 when nothing is left to report,\n"
         "1 otherwise.",
         {"--clean", "--orphans", "--yes", "--json"},
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

namespace {
Verbosity g_verbosity = Verbosity::Normal;
} // namespace

void SetVerbosity(Verbosity verbosity) {
    g_verbosity = verbosity;
}

Verbosity GetVerbosity() {
    return g_verbosity;
}

void Warn(const std::string& text) {
    if (g_verbosity != Verbosity::Quiet)
        std::fprintf(stderr, "pelmora-cli: warning: %s\n", text.c_str());
}

void Note(const std::string& text) {
    if (g_verbosity != Verbosity::Quiet)
        std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace cli
