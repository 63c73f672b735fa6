// pelmora-cli timeline: what is heard on each track of a song, as a table or as an SVG picture.
#include "Cancel.h"
#include "CardArgs.h"
#include "Commands.h"
#include "Table.h"
#include "Terminal.h"
#include "TimelineSvg.h"
#include "card/CardRules.h"
#include "card/PeakCache.h"
#include "platform/File.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cli {
namespace {

std::string EntryText(const wave::Stretch& s) {
    return s.kind == wave::StretchKind::Nothing ? "-" : std::to_string(s.number);
}

std::string WhatText(const wave::Stretch& s) {
    switch (s.kind) {
    case wave::StretchKind::Audio:
        return Printable(s.sourceName);
    case wave::StretchKind::Silence:
        return "(silence)";
    default:
        return "(nothing)";
    }
}

void PrintTimeline(const wave::SongTimeline& song) {
    std::printf("Length    %s\n", song.TimeCodeText(song.length).c_str());
    for (int n = 0; n < 2; ++n)
        std::printf("Locate %c  %s\n", "AB"[n],
                    song.hasLocate[n] ? song.TimeCodeText(song.locate[n]).c_str() : "-");
    std::vector<std::vector<std::string>> rows = {{"Track", "From", "To", "Entry", "File", "File from"}};
    for (int t = 0; t < wave::kTimelineTracks; ++t) {
        for (const wave::Stretch& s : song.tracks[static_cast<size_t>(t)].stretches) {
            const bool audio = s.kind == wave::StretchKind::Audio;
            rows.push_back({"TR" + std::to_string(t + 1), song.TimeCodeText(s.start),
                            song.TimeCodeText(s.End()), EntryText(s), WhatText(s),
                            audio ? song.TimeCodeText(s.sourceOffset) : ""});
        }
    }
    PrintTable(rows, {5, 16, 16, 5, 12});
    if (rows.size() == 1)
        Note("No track of the song holds an entry.");
}

// The peaks of the song's files, from the cache or read now; false when cancelled.
bool SongPeaks(const std::string& cardFolder, const std::string& song, const wave::SongTimeline& timeline,
               std::map<std::string, wave::Peaks>* peaks) {
    card::SongPeaksParams params;
    params.card = cardFolder;
    params.song = song;
    params.files = timeline.sources;
    TerminalProgress progress;
    const card::SongPeaksResult result =
        card::RunSongPeaks(params, nullptr, &progress, &progress, InstallCancelOnInterrupt(), nullptr);
    progress.Finish();
    *peaks = result.peaks;
    return result.outcome == card::SongPeaksOutcome::Finished;
}

int WriteSvg(const std::string& path, const std::string& svg) {
    platform::File file;
    if (!file.Open(path, platform::Access::ReadWrite, platform::Disposition::CreateAlways) ||
        file.Write(svg.data(), svg.size()) != static_cast<int64_t>(svg.size()) || !file.Close()) {
        Complain("cannot write " + path);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

int RunTimeline(const Args& args) {
    const std::string& cardFolder = args.positional[0];
    const std::string& song = args.positional[1];
    if (!CheckCardFolder(cardFolder) || !CheckSong(cardFolder, song))
        return kExitFailure;
    wave::SongTimeline timeline;
    if (!card::ReadSongTimeline(cardFolder, song, &timeline)) {
        Complain("cannot read " + card::AdlPath(cardFolder, song));
        return kExitFailure;
    }
    if (args.svg.empty()) {
        PrintTimeline(timeline);
        return kExitOk;
    }
    std::map<std::string, wave::Peaks> peaks;
    if (!SongPeaks(cardFolder, song, timeline, &peaks))
        return CancelledExitStatus();
    return WriteSvg(args.svg, TimelineSvg(timeline, song, peaks));
}

} // namespace cli
