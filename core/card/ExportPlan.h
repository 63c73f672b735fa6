#pragma once
// What an export does with each ticked PC file: a mono 16-bit file at the song's rate is copied as it
// is; any other is refused, or, where the user asked for it, converted into the song's format on the
// way (a stereo file split to two tracks or mixed to one). The words that tell the user about a
// conversion live here too, so that the page and the terminal say the same.

#include "card/CardRules.h"
#include "wave/PcAudio.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace card {

// What the export does with files whose format the song does not take.
enum class Conversion {
    Refuse,  // refused, as the format check always has
    Ask,     // after the refusal the export command asks whether to convert them (the page)
    Convert, // converted without a question (the terminal's --convert)
};

enum class StereoUse {
    Split, // left on the ticked track, right on the next one where that track is free; else a mix
    Mix,   // both channels on the ticked track, each at -3 dB
};

struct ExportParams {
    std::string card;                       // the card's root folder
    std::string song;                       // the song's folder name
    std::string pcFolder;                   // where tr01.wav .. tr16.wav are
    std::array<bool, kTrackCount> tracks{}; // ticked tracks, TR1 first
    Conversion conversion = Conversion::Refuse;
    StereoUse stereo = StereoUse::Split;
    bool otherFileTypes = false; // trNN.flac, trNN.aif and trNN.aiff are taken too (the terminal)
};

// One ticked track's file and what goes onto the card for it.
struct TrackPlan {
    int track = 0;
    std::string source;
    bool convert = false;
    wave::PcAudioFormat format; // as read for the conversion (converted files only)
    int rightTrack = 0;         // a stereo file split: the track its right channel goes to
    uint64_t bytes = 0;         // written to the card: per file our header up to the audio, then the audio
};

struct ExportPlan {
    uint32_t songRate = 0;         // the song's rate, or the rate a new song is made with
    std::vector<TrackPlan> tracks; // the ticked tracks, in order
    std::string problem;           // the first refusal, as the user is told it; empty when all can go
    bool formatRefusal = false;    // the refusal is about a file's format (a conversion might take it)
};

// The source of track n as this export finds it.
std::string ExportSourcePath(const ExportParams& params, int track);

// The rate of a new song made from a file at `rate` when its files are converted: a rate a song can have
// stays; 11025, 88200 and 176400 Hz give 44100 Hz, every other rate 48000 Hz.
uint32_t NewSongRateForConversion(uint32_t rate);

// The ticked files checked against a song at `songRate` (a new song has none yet: it takes the rate of
// its lowest-numbered ticked file). Without `convert` the first file the check refuses ends it; with
// it, such a file is converted when it can be read with one or two channels.
ExportPlan PlanExport(const ExportParams& params, bool newSong, uint32_t songRate, bool convert);
// Bytes the plan writes to the card.
uint64_t PlannedBytes(const ExportPlan& plan);
// True when the plan converts a file.
bool ConvertsAny(const ExportPlan& plan);

// "24-bit, 44.1 kHz, stereo", "32-bit float, 48 kHz, mono".
std::string PcFormatText(const wave::PcAudioFormat& format);
// "16-bit, 48 kHz, mono": what every file of a song at `rate` is.
std::string SongFormatText(uint32_t rate);
// "tr02.wav is 24-bit, 44.1 kHz, stereo".
std::string ConversionText(const TrackPlan& track);
// Where a converted file goes: "left to TR2, right to TR3", "left and right mixed on TR2"; empty for
// a mono file.
std::string RoutingText(const TrackPlan& track);
// The question asked after a refusal, naming each file the plan converts.
std::string ConvertQuestion(const ExportPlan& plan);

} // namespace card
