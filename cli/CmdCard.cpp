// pelmora-cli songs / import: what a card holds, and rendering its tracks into a PC folder.

#include "Cancel.h"
#include "CardArgs.h"
#include "Commands.h"
#include "DemoCard.h"
#include "Json.h"
#include "Table.h"
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
#include <optional>
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

// What the song table and its JSON show of one song.
struct SongFacts {
    std::string name;
    bool readable = false;
    uint32_t rate = 0; // Hz; 0 when the ADL names no rate this program knows
    int bits = 0;      // 0 when unknown
    Tracks tracks{};
    bool isProtected = false;
    std::optional<adl::CTimeCode> locate[2]; // A and B, when the song has them
};

SongFacts ReadSongFacts(const std::string& cardFolder, const std::string& song) {
    SongFacts facts;
    facts.name = song;
    facts.bits = card::GetSongBitDepth(cardFolder, song);
    facts.isProtected = card::IsSongProtected(cardFolder, song);
    adl::CAdlFile adl;
    if (!adl.Open(card::AdlPath(cardFolder, song), true))
        return facts;
    facts.readable = true;
    facts.rate = adl::SampleRateOfCode(adl.GetSampleRateCode());
    facts.tracks = card::GetTracksInUse(adl);
    for (uint16_t n = 1; n <= 2; ++n) {
        if (adl.GetLocateCount() >= n)
            facts.locate[n - 1] = adl.GetLocateTime(n);
    }
    adl.Close();
    return facts;
}

std::string LocateText(const std::optional<adl::CTimeCode>& locate) {
    if (!locate)
        return "-";
    const std::string text = locate->Format();
    return text.empty() ? "?" : text;
}

void PrintSongTable(const std::vector<SongFacts>& songs) {
    std::vector<std::vector<std::string>> rows = {
        {"Song", "Rate", "Bits", "Tracks in use", "Protected", "Locate A", "Locate B"}};
    for (const SongFacts& song : songs) {
        const std::string bits = card::BitDepthText(song.bits);
        const std::string protection = song.isProtected ? "yes" : "no";
        if (!song.readable) {
            rows.push_back({Printable(song.name), "?", bits, "-", protection, "(no readable ADL file)"});
            continue;
        }
        rows.push_back({Printable(song.name), song.rate ? std::to_string(song.rate) : "?", bits,
                        TrackListText(song.tracks), protection, LocateText(song.locate[0]),
                        LocateText(song.locate[1])});
    }
    PrintTable(rows, {18, 6, 4, 16, 9, 18});
}

void WriteLocate(JsonWriter& json, const std::optional<adl::CTimeCode>& locate) {
    if (!locate) {
        json.Null();
        return;
    }
    const std::string text = locate->Format();
    json.BeginObject().Key("time_code");
    if (text.empty())
        json.Null();
    else
        json.String(text);
    json.Key("samples").Number(locate->GetSamples()).EndObject();
}

void PrintSongJson(const std::string& cardFolder, const std::vector<SongFacts>& songs,
                   const std::vector<card::InterruptedRestore>& restores) {
    JsonWriter json;
    json.BeginObject().Key("card").String(cardFolder).Key("songs").BeginArray();
    for (const SongFacts& song : songs) {
        json.BeginObject().Key("name").String(song.name).Key("readable").Bool(song.readable);
        json.Key("rate").NumberOrNull(song.rate != 0, song.rate);
        json.Key("bits").NumberOrNull(song.bits != 0, song.bits);
        json.Key("tracks_in_use");
        if (song.readable) {
            json.BeginArray(true);
            for (int t = 1; t <= card::kTrackCount; ++t) {
                if (song.tracks[static_cast<size_t>(t - 1)])
                    json.Number(t);
            }
            json.EndArray();
        } else {
            json.Null();
        }
        json.Key("protected").Bool(song.isProtected);
        json.Key("locate_a");
        WriteLocate(json, song.locate[0]);
        json.Key("locate_b");
        WriteLocate(json, song.locate[1]);
        json.EndObject();
    }
    json.EndArray().Key("interrupted_restores").BeginArray();
    for (const auto& restore : restores)
        json.BeginObject().Key("song").String(restore.song).Key("text").String(restore.text).EndObject();
    json.EndArray().EndObject().Print();
}

// The song an export goes into: one that is not there yet is made as a new song, but never under a
// name that differs from a song's only in case (the card's file system takes them for one name). A
// name near a song's is made only after a warning. False (told) when the export must not go on.
bool CheckNewSongName(const std::string& cardFolder, const std::string& song) {
    if (platform::PathExists(card::SongFolderPath(cardFolder, song)))
        return true;
    const std::vector<std::string> songs = card::ListSongs(cardFolder);
    const std::vector<std::string> near = NearNames(song, songs);
    if (near.empty())
        return true;
    const std::string text = NoSongText(song, "the card " + cardFolder, songs);
    if (platform::CompareNoCase(near.front(), song) == 0) {
        Complain(text);
        Complain("a new song is not made under the name of another song in other case");
        return false;
    }
    Warn(text + " Going on makes a new song \"" + song + "\".");
    return true;
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

// Names the tracks that had nothing to render (no file was written for them).
void TellEmptyTracks(const std::vector<int>& empty, bool ab) {
    if (empty.empty())
        return;
    std::string list;
    for (size_t i = 0; i < empty.size(); ++i) {
        if (i > 0)
            list += i + 1 == empty.size() ? " and " : ", ";
        list += std::to_string(empty[i]);
    }
    const bool one = empty.size() == 1;
    Complain(std::string(one ? "track " : "tracks ") + list + (one ? " holds" : " hold") + " no audio" +
             (ab ? " between locate points A and B" : "") + "; no file was written for " +
             (one ? "it" : "them"));
}

} // namespace

int RunSongs(const Args& args) {
    const std::string& cardFolder = args.positional[0];
    if (!CheckCardFolder(cardFolder))
        return kExitFailure;
    std::vector<SongFacts> songs;
    for (const auto& song : card::ListSongs(cardFolder))
        songs.push_back(ReadSongFacts(cardFolder, song));
    const auto restores = card::FindInterruptedRestores(cardFolder);
    if (args.Has("--json")) {
        PrintSongJson(cardFolder, songs, restores);
        return kExitOk;
    }
    PrintSongTable(songs);
    // Below the table: songs whose restore was interrupted, and how each will be finished.
    for (const auto& restore : restores)
        std::printf("%s\n", Printable(restore.text).c_str());
    if (songs.empty())
        Note("The card holds no song.");
    return kExitOk;
}

int RunImport(const Args& args) {
    card::ImportParams params;
    params.card = args.positional[0];
    params.song = args.positional[1];
    params.pcFolder = args.positional[2];
    params.mode = args.Has("--ab") ? card::ImportMode::AB : card::ImportMode::All;
    if (!CheckCardFolder(params.card) || !CheckSong(params.card, params.song))
        return kExitFailure;
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
    TellEmptyTracks(result.empty, params.mode == card::ImportMode::AB);
    switch (result.outcome) {
    case card::ImportOutcome::Finished:
        if (box.Unanswered())
            return kExitFailure;
        if (result.written.empty()) {
            Complain("no track file was written");
            return kExitFailure;
        }
        return kExitOk;
    case card::ImportOutcome::Cancelled:
        Complain("import cancelled; the track being written was removed");
        return CancelledExitStatus();
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
    if (!CheckCardFolder(params.card) || !CheckNewSongName(params.card, params.song))
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
            Warn(platform::Format("%s is left out; %s is exported for TR%d", unused.c_str(), used.c_str(),
                                  track));
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
        return CancelledExitStatus();
    default:
        return kExitFailure;
    }
}

} // namespace cli
