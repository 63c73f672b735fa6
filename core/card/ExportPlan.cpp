#include "card/ExportPlan.h"

#include "card/TrackSource.h"
#include "card/TrackTransfer.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/Convert.h"
#include "wave/WaveFile.h"

namespace card {
namespace {

// The largest audio a file in our layout can hold: its sizes are 32-bit.
constexpr uint64_t kMaxAudioBytes = 0xFFFFFFFFull - wave::kAudioOffset;

struct WaveFormat {
    uint16_t channels = 0;
    uint16_t bits = 0;
    uint32_t rate = 0;
    uint32_t dataSize = 0;
};

// Channels, bits, rate and audio size of a PC file as the format check reads it; zeros where they
// cannot be read (any file that is not a .wav file among them).
WaveFormat ReadWaveFormat(const std::string& path) {
    WaveFormat format;
    wave::CWaveFile file;
    if (!file.Open(path, 1))
        return format;
    if (!file.GetFormat(&format.channels, &format.bits, &format.rate))
        format = {};
    format.dataSize = file.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
    file.Close();
    return format;
}

// The format check's refusal of a file for a song at `songRate`, or empty when the song takes it.
std::string FormatRefusal(const WaveFormat& format, uint32_t songRate) {
    if (format.rate != songRate)
        return "Sampling Frequency not matched!";
    if (format.bits != 16)
        return "Bit digit not matched!";
    if (format.channels != 1)
        return "Wave file not acceptable!";
    return {};
}

bool Stop(ExportPlan* plan, const std::string& problem, bool formatRefusal) {
    plan->problem = problem;
    plan->formatRefusal = formatRefusal;
    return false;
}

// A new song takes the rate of its first file. Converting, a rate a song cannot have is mapped to one.
bool TakeNewSongRate(const std::string& path, bool convert, ExportPlan* plan) {
    const uint32_t rate = ReadWaveFormat(path).rate;
    const bool supported = adl::SampleRateCodeOfRate(rate) != adl::SampleRateCode::None;
    if (convert && !supported) {
        wave::PcAudioFormat format;
        if (!wave::ReadPcAudioFormat(path, &format))
            return Stop(plan, "New song create error !", false);
        plan->songRate = NewSongRateForConversion(format.rate);
        return true;
    }
    if (rate == 0)
        return Stop(plan, "New song create error !", true);
    if (!supported)
        return Stop(plan, "Sampling Frequency not supported!", true);
    plan->songRate = rate;
    return true;
}

// Copy or conversion of one file; false (the plan's problem set) when the file cannot go.
bool PlanTrack(TrackPlan* track, bool convert, ExportPlan* plan) {
    const WaveFormat format = ReadWaveFormat(track->source);
    const std::string refusal = FormatRefusal(format, plan->songRate);
    if (refusal.empty()) {
        track->bytes = wave::kAudioOffset + uint64_t{format.dataSize};
        return true;
    }
    if (!convert)
        return Stop(plan, refusal, true);
    // What libsndfile cannot read, or holds more than two channels, stays refused; so does every file
    // of a song whose rate is not known.
    if (plan->songRate == 0 || !wave::ReadPcAudioFormat(track->source, &track->format) ||
        track->format.channels > 2)
        return Stop(plan, refusal, false);
    const uint64_t frames = wave::ConvertedFrames(track->format.frames, track->format.rate, plan->songRate);
    if (frames > kMaxAudioBytes / 2) {
        return Stop(plan,
                    platform::Format("The converted file would be larger than 4 GB.\nfile : %s",
                                     track->source.c_str()),
                    false);
    }
    track->convert = true;
    track->bytes = wave::kAudioOffset + frames * 2;
    return true;
}

// A stereo file is split where the next track exists, is not ticked and has no file of its own.
void PlaceStereoFiles(const ExportParams& params, ExportPlan* plan) {
    if (params.stereo != StereoUse::Split)
        return;
    const PcTrackSources present = FindPcTrackSources(params.pcFolder, params.otherFileTypes);
    for (TrackPlan& track : plan->tracks) {
        if (!track.convert || track.format.channels != 2)
            continue;
        const auto next = static_cast<size_t>(track.track);
        if (next < kTrackCount && !params.tracks[next] && !present.tracks[next]) {
            track.rightTrack = track.track + 1;
            track.bytes *= 2;
        }
    }
}

std::string RateText(uint32_t rate) {
    return platform::Format("%g kHz", rate / 1000.0);
}

std::string ChannelsText(uint16_t channels) {
    if (channels == 1)
        return "mono";
    if (channels == 2)
        return "stereo";
    return platform::Format("%u channels", static_cast<unsigned>(channels));
}

} // namespace

std::string ExportSourcePath(const ExportParams& params, int track) {
    return PcTrackSourcePath(params.pcFolder, track, params.otherFileTypes);
}

uint32_t NewSongRateForConversion(uint32_t rate) {
    if (adl::SampleRateCodeOfRate(rate) != adl::SampleRateCode::None)
        return rate;
    return rate == 11025 || rate == 88200 || rate == 176400 ? 44100 : 48000;
}

ExportPlan PlanExport(const ExportParams& params, bool newSong, uint32_t songRate, bool convert) {
    ExportPlan plan;
    plan.songRate = songRate;
    for (int n = 1; n <= kTrackCount; ++n) {
        if (!params.tracks[n - 1])
            continue;
        TrackPlan track;
        track.track = n;
        track.source = ExportSourcePath(params, n);
        // Gone since the folder was listed (the folder itself, perhaps): named, not taken for a file of
        // another format.
        if (!platform::PathExists(track.source)) {
            Stop(&plan, WaveReadErrorText(track.source), false);
            return plan;
        }
        if (newSong && plan.tracks.empty() && !TakeNewSongRate(track.source, convert, &plan))
            return plan;
        if (!PlanTrack(&track, convert, &plan))
            return plan;
        plan.tracks.push_back(std::move(track));
    }
    if (plan.tracks.empty())
        Stop(&plan, "Select tracks.", false);
    PlaceStereoFiles(params, &plan);
    return plan;
}

uint64_t PlannedBytes(const ExportPlan& plan) {
    uint64_t total = 0;
    for (const TrackPlan& track : plan.tracks)
        total += track.bytes;
    return total;
}

bool ConvertsAny(const ExportPlan& plan) {
    for (const TrackPlan& track : plan.tracks) {
        if (track.convert)
            return true;
    }
    return false;
}

std::string PcFormatText(const wave::PcAudioFormat& format) {
    std::string depth = "compressed";
    if (format.bits != 0)
        depth =
            platform::Format(format.isFloat ? "%u-bit float" : "%u-bit", static_cast<unsigned>(format.bits));
    return depth + ", " + RateText(format.rate) + ", " + ChannelsText(format.channels);
}

std::string SongFormatText(uint32_t rate) {
    return "16-bit, " + RateText(rate) + ", mono";
}

std::string ConversionText(const TrackPlan& track) {
    return platform::BaseName(track.source) + " is " + PcFormatText(track.format);
}

std::string RoutingText(const TrackPlan& track) {
    if (track.format.channels != 2)
        return {};
    if (track.rightTrack != 0)
        return platform::Format("left to TR%d, right to TR%d", track.track, track.rightTrack);
    return platform::Format("left and right mixed on TR%d", track.track);
}

std::string ConvertQuestion(const ExportPlan& plan) {
    std::vector<const TrackPlan*> converted;
    for (const TrackPlan& track : plan.tracks) {
        if (track.convert)
            converted.push_back(&track);
    }
    const auto routed = [](const TrackPlan& track) {
        const std::string routing = RoutingText(track);
        return routing.empty() ? routing : " (" + routing + ")";
    };
    if (converted.size() == 1) {
        return ConversionText(*converted[0]) + "; the song holds " + SongFormatText(plan.songRate) +
               ". Convert it while exporting" + routed(*converted[0]) +
               "? The file on the PC is not changed.";
    }
    std::string text;
    for (const TrackPlan* track : converted)
        text += ConversionText(*track) + routed(*track) + "\n";
    return text + "The song holds " + SongFormatText(plan.songRate) +
           ". Convert these files while exporting? The files on the PC are not changed.";
}

} // namespace card
