// pelmora-cli songs / import: what a card holds, and rendering its tracks into a PC folder.

#include "Cancel.h"
#include "Commands.h"
#include "DemoCard.h"
#include "Terminal.h"

#include "adl/AdlFile.h"
#include "card/CardRules.h"
#include "card/ExportJob.h"
#include "card/ImportJob.h"
#include "card/Leftovers.h"
#include "card/TrackSource.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdio>
#include <string>

namespace cli {
namespace {

std::string TrackListText(const std::array<bool, card::kTrackCount>& tracks) {
    std::string text;
    for (int t = 0; t < card::kTrackCount;) {
        if (!tracks[static_cast<size_t>(t)]) {
            ++t;
            continue;
        }
        int last = t;
        while (last + 1 < card::kTrackCount && tracks[static_cast<size_t>(last) + 1])
            ++last;
        if (!text.empty())
            text += ",";
        text += std::to_string(t + 1);
        if (last > t)
            text += "-" + std::to_string(last + 1);
        t = last + 1;
    }
    return text.empty() ? "-" : text;
}

using Tracks = std::array<bool, card::kTrackCount>;

// Ticks the tracks --tracks lists; without the option `tracks` keeps the command's default. With
// `pcFolder`, each listed track needs its file there. Returns kExitOk, or the exit status after
// telling the user why the list cannot be used.
int ApplyTrackOption(const Args& args, Tracks* tracks, const std::string& pcFolder = {}) {
    if (args.tracks.empty())
        return kExitOk;
    std::vector<int> listed;
    if (!ParseTrackList(args.tracks, &listed)) {
        Complain("--tracks takes numbers 1 to 16 such as 1,3,5-8");
        return kExitUsage;
    }
    const Tracks present = pcFolder.empty() ? Tracks{} : card::FindPcTrackSources(pcFolder, true).tracks;
    tracks->fill(false);
    for (int t : listed) {
        if (!pcFolder.empty() && !present[static_cast<size_t>(t - 1)]) {
            Complain("no " + card::TrackFilePath(pcFolder, t));
            return kExitFailure;
        }
        (*tracks)[static_cast<size_t>(t - 1)] = true;
    }
    return kExitOk;
}

// The tracks of a song that hold audio; every track when its ADL cannot be read (the job itself
// reports the unreadable file).
Tracks TracksInUse(const std::string& cardFolder, const std::string& song) {
    adl::CAdlFile adl;
    if (!adl.Open(card::AdlPath(cardFolder, song), true)) {
        Tracks all;
        all.fill(true);
        return all;
    }
    return card::GetTracksInUse(adl);
}

// --convert and --stereo into the export's parameters; false (the user told) when --stereo is wrong.
bool ApplyConvertOptions(const Args& args, card::ExportParams* params) {
    params->otherFileTypes = true;
    params->conversion = args.Has("--convert") ? card::Conversion::Convert : card::Conversion::Refuse;
    if (!args.Has("--stereo") || args.stereo == "split")
        return true;
    if (args.stereo == "mix") {
        params->stereo = card::StereoUse::Mix;
        return true;
    }
    Complain("--stereo takes split or mix");
    return false;
}

// Names each file the export refused that --convert would have taken, and what it would become.
void SuggestConvert(const card::ExportParams& params, const card::ExportDecision& decision) {
    if (params.conversion == card::Conversion::Convert)
        return;
    for (const card::TrackPlan& track : decision.plan.tracks) {
        if (!track.convert)
            continue;
        const std::string routing = card::RoutingText(track);
        Complain(card::ConversionText(track) + "; the song holds " +
                 card::SongFormatText(decision.plan.songRate) +
                 ". With --convert it is converted while exporting" +
                 (routing.empty() ? "" : " (" + routing + ")") + "; the file on the PC is not changed.");
    }
}

bool CheckCard(const std::string& cardFolder) {
    if (platform::IsDirectory(cardFolder))
        return true;
    Complain("no card folder " + cardFolder);
    return false;
}

} // namespace

int RunSongs(const Args& args) {
    const std::string& cardFolder = args.positional[0];
    if (!CheckCard(cardFolder))
        return kExitFailure;
    const auto songs = card::ListSongs(cardFolder);
    std::printf("%-18s %-6s %-4s %-16s %-9s %-18s %s\n", "Song", "Rate", "Bits", "Tracks in use", "Protected",
                "Locate A", "Locate B");
    for (const auto& song : songs) {
        const std::string bits = card::BitDepthText(card::GetSongBitDepth(cardFolder, song));
        const char* protection = card::IsSongProtected(cardFolder, song) ? "yes" : "no";
        adl::CAdlFile adl;
        if (!adl.Open(card::AdlPath(cardFolder, song), true)) {
            std::printf("%-18s %-6s %-4s %-16s %-9s (no readable ADL file)\n", song.c_str(), "?",
                        bits.c_str(), "-", protection);
            continue;
        }
        std::string rate = card::SampleRateText(adl.GetSampleRateCode());
        const std::string tracks = TrackListText(card::GetTracksInUse(adl));
        const std::string a = adl.GetLocateCount() > 0 ? adl.GetLocateTime(1).Format() : "-";
        const std::string b = adl.GetLocateCount() > 1 ? adl.GetLocateTime(2).Format() : "-";
        adl.Close();
        std::printf("%-18s %-6s %-4s %-16s %-9s %-18s %s\n", song.c_str(), rate.empty() ? "?" : rate.c_str(),
                    bits.c_str(), tracks.c_str(), protection, a.c_str(), b.c_str());
    }
    // Below the table: songs whose restore was interrupted, and how each will be finished.
    for (const auto& restore : card::FindInterruptedRestores(cardFolder))
        std::printf("%s\n", restore.text.c_str());
    if (songs.empty())
        std::fprintf(stderr, "The card holds no song.\n");
    return kExitOk;
}

int RunImport(const Args& args) {
    card::ImportParams params;
    params.card = args.positional[0];
    params.song = args.positional[1];
    params.pcFolder = args.positional[2];
    params.mode = args.Has("--ab") ? card::ImportMode::AB : card::ImportMode::All;
    if (!CheckCard(params.card))
        return kExitFailure;
    if (!platform::PathExists(card::AdlPath(params.card, params.song))) {
        Complain("no song " + params.song + " on the card " + params.card);
        return kExitFailure;
    }
    params.tracks = TracksInUse(params.card, params.song);
    if (const int status = ApplyTrackOption(args, &params.tracks); status != kExitOk)
        return status;
    if (!platform::IsDirectory(params.pcFolder) && !platform::CreateDirectory(params.pcFolder)) {
        Complain("cannot create the folder " + params.pcFolder);
        return kExitFailure;
    }

    TerminalMessageBox box(args.Has("--yes"));
    TerminalProgress progress;
    platform::CancelFlag* cancel = InstallCancelOnInterrupt();
    const card::ImportResult result = card::RunImport(params, &box, &progress, &progress, cancel);
    progress.Finish();

    for (int t : result.written)
        std::printf("%s\n", card::TrackFilePath(params.pcFolder, t).c_str());
    switch (result.outcome) {
    case card::ImportOutcome::Finished:
        if (box.Unanswered())
            return kExitFailure;
        if (result.written.empty())
            std::fprintf(stderr, "No track file was written.\n");
        return kExitOk;
    case card::ImportOutcome::Cancelled:
        Complain("import cancelled; the track being written was removed");
        return kExitFailure;
    default:
        return kExitFailure;
    }
}

} // namespace cli

namespace cli {

int RunMakeDemoCard(const Args& args) {
    std::string error;
    if (!MakeDemoCard(args.positional[0], &error)) {
        Complain(error);
        return kExitFailure;
    }
    for (const auto& song : card::ListSongs(args.positional[0]))
        std::printf("%s\n", card::SongFolderPath(args.positional[0], song).c_str());
    return kExitOk;
}

} // namespace cli

namespace cli {

int RunExport(const Args& args) {
    card::ExportParams params;
    params.pcFolder = args.positional[0];
    params.card = args.positional[1];
    params.song = args.positional[2];
    if (!CheckCard(params.card))
        return kExitFailure;
    if (!platform::IsDirectory(params.pcFolder)) {
        Complain("no folder " + params.pcFolder);
        return kExitFailure;
    }
    if (!ApplyConvertOptions(args, &params))
        return kExitUsage;
    const card::PcTrackSources sources = card::FindPcTrackSources(params.pcFolder, true);
    params.tracks = sources.tracks;
    if (const int status = ApplyTrackOption(args, &params.tracks, params.pcFolder); status != kExitOk)
        return status;
    for (const auto& [unused, used] : sources.unused) {
        const int track = card::TrackOfPcFileName(platform::BaseName(used));
        if (params.tracks[static_cast<size_t>(track - 1)])
            Complain(platform::Format("warning: %s is left out; %s is exported for TR%d", unused.c_str(),
                                      used.c_str(), track));
    }

    TerminalMessageBox box(args.Has("--yes"));
    card::ExportDecision decision;
    switch (card::PrepareExport(params, &box, &decision)) {
    case card::ExportCommand::Run:
    case card::ExportCommand::RunNewSong:
        break;
    default:
        SuggestConvert(params, decision);
        return kExitFailure;
    }
    TerminalProgress progress;
    platform::CancelFlag* cancel = InstallCancelOnInterrupt();
    const card::ExportResult result = card::RunExport(params, &box, &progress, &progress, cancel);
    progress.Finish();
    for (size_t i = 0; i < result.written.size() && i < result.files.size(); ++i)
        std::printf("TR%d -> %s\n", result.written[i],
                    card::AudioFilePath(params.card, params.song, result.files[i]).c_str());
    switch (result.outcome) {
    case card::ExportOutcome::Finished:
        return kExitOk;
    case card::ExportOutcome::Cancelled:
        Complain("export cancelled; the file being copied was removed");
        return kExitFailure;
    default:
        return kExitFailure;
    }
}

} // namespace cli
