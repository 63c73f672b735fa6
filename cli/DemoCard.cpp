#include "DemoCard.h"

#include "adl/AdlFile.h"
#include "card/CardRules.h"
#include "card/NewSong.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace cli {
namespace {

struct Region {
    int track;
    adl::EditType editType; // Cut or Silence
    double in, out;         // seconds on the track
    int file;               // audio file number (zt5%04d.wav) for a Cut
    double sourceIn;        // seconds into that file
};

struct DemoSong {
    const char* name;
    uint32_t rate;
    std::vector<double> tones; // one audio file per tone, each 8 seconds long
    std::vector<Region> regions;
    double locateA, locateB;
    bool mixdown;
};

constexpr double kFileSeconds = 8.0;

std::vector<int16_t> Tone(double frequency, uint32_t rate, double seconds, int channels,
                          double rightFrequency = 0) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    const double fade = 0.01 * rate;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double gain = 0.3;
        if (i < fade)
            gain *= i / fade;
        if (frames - i < fade)
            gain *= (frames - i) / fade;
        samples[i * static_cast<size_t>(channels)] =
            static_cast<int16_t>(gain * 32767.0 * std::sin(2 * M_PI * frequency * t));
        if (channels == 2)
            samples[i * 2 + 1] =
                static_cast<int16_t>(gain * 32767.0 * std::sin(2 * M_PI * rightFrequency * t));
    }
    return samples;
}

bool WriteWave(const std::string& path, uint32_t rate, int channels, const std::vector<int16_t>& samples) {
    wave::CWaveFile file;
    if (!file.Create(path, static_cast<uint16_t>(channels), 16, rate))
        return false;
    const bool ok = file.WriteData(samples.data(), static_cast<uint32_t>(samples.size() * 2), 0) != 0;
    return file.Close() != 0 && ok;
}

uint32_t Samples(double seconds, uint32_t rate) {
    return static_cast<uint32_t>(std::lround(seconds * rate));
}

bool MakeSong(const std::string& cardFolder, const DemoSong& song, std::string* error) {
    const std::string folder = card::SongFolderPath(cardFolder, song.name);
    if (platform::PathExists(folder)) {
        *error = platform::Format("the card already holds a song named %s", song.name);
        return false;
    }
    if (!platform::CreateDirectory(folder) ||
        !platform::CreateDirectory(card::MixFolderPath(cardFolder, song.name))) {
        *error = "cannot create the song folder " + folder;
        return false;
    }
    for (size_t i = 0; i < song.tones.size(); ++i) {
        const std::string path = card::AudioFilePath(
            cardFolder, song.name, platform::Format("zt5%04d.wav", static_cast<int>(i) + 1));
        if (!WriteWave(path, song.rate, 1, Tone(song.tones[i], song.rate, kFileSeconds, 1))) {
            *error = "cannot write " + path;
            return false;
        }
    }
    if (song.mixdown) {
        // Two mixdowns, so that a disc of two tracks can be made: 5 s of 440/660 Hz and 7 s of 330/495 Hz.
        const struct {
            const char* name;
            double seconds, left, right;
        } mixes[] = {{"mix01.wav", 5.0, 440.0, 660.0}, {"mix02.wav", 7.0, 330.0, 495.0}};
        for (const auto& mix : mixes) {
            const std::string path = platform::JoinPath(card::MixFolderPath(cardFolder, song.name), mix.name);
            if (!WriteWave(path, song.rate, 2, Tone(mix.left, song.rate, mix.seconds, 2, mix.right))) {
                *error = "cannot write " + path;
                return false;
            }
        }
    }

    const platform::LocalTime now = platform::GetLocalTime();
    const std::string adlPath = card::AdlPath(cardFolder, song.name);
    if (!card::WriteNewSongAdl(adlPath, song.name, adl::SampleRateCodeOfRate(song.rate),
                               platform::Format("%d-%02d-%02d", now.year, now.month, now.day))) {
        *error = "cannot write " + adlPath;
        return false;
    }
    adl::CAdlFile adl;
    if (!adl.Open(adlPath, false)) {
        *error = "cannot open " + adlPath;
        return false;
    }
    const adl::CTimeCode format = adl.GetDestStart();
    auto at = [&](double seconds) {
        adl::CTimeCode tc;
        tc.Set(Samples(seconds, song.rate), format.GetFrameKind(), format.GetRateKind());
        return tc;
    };
    bool ok = adl.ClearLocates();
    const std::pair<const char*, double> locates[] = {{"IN", song.locateA}, {"OUT", song.locateB}};
    for (const auto& [name, seconds] : locates) {
        adl::AdlLocate locate;
        std::snprintf(locate.m_name, sizeof locate.m_name, "%s", name);
        locate.m_time = at(seconds);
        ok = adl.AddLocate(locate) && ok;
    }
    for (const Region& r : song.regions) {
        adl::AdlEvent event;
        event.m_editType = r.editType;
        event.m_sourceKind =
            r.editType == adl::EditType::Cut ? adl::SourceKind::File : adl::SourceKind::Silence;
        if (r.editType == adl::EditType::Cut)
            std::snprintf(event.m_sourceName, sizeof event.m_sourceName, "zt5%04d.wav", r.file);
        event.m_sourceChannel = 1;
        event.m_destChannel = static_cast<uint8_t>(r.track);
        event.m_sourceIn = at(r.sourceIn);
        event.m_destIn = at(r.in);
        event.m_destOut = at(r.out);
        event.m_flag = adl::EventFlag::Plain;
        ok = adl.AddEvent(event) && ok;
    }
    adl.Close();
    adl::CAdlFile check;
    if (!ok || !check.Open(adlPath, true)) {
        *error = "cannot complete " + adlPath;
        return false;
    }
    return true;
}

const std::vector<DemoSong>& DemoSongs() {
    // Tracks: 1 two regions with a gap; 2 a region with a later-numbered one on top; 3 a region with a
    // silenced stretch; 4 a region taken from the middle of a file that also plays on track 1.
    constexpr adl::EditType kCut = adl::EditType::Cut;
    constexpr adl::EditType kSilence = adl::EditType::Silence;
    static const std::vector<Region> layout = {
        {1, kCut, 0.0, 3.0, 1, 0.0}, {1, kCut, 4.0, 7.0, 2, 0.0}, {2, kCut, 0.0, 6.0, 3, 0.0},
        {2, kCut, 2.0, 3.0, 4, 1.0}, {3, kCut, 1.0, 6.0, 5, 0.0}, {3, kSilence, 2.5, 3.5, 0, 0.0},
        {4, kCut, 0.5, 2.5, 1, 4.0},
    };
    static const std::vector<DemoSong> songs = {
        {"Demo 44k", 44100, {220.0, 330.0, 440.0, 554.4, 659.3}, layout, 1.0, 5.0, false},
        {"Demo 48k", 48000, {261.6, 392.0, 523.3, 293.7, 587.3}, layout, 1.5, 4.5, false},
        {"Mixdown", 44100, {440.0}, {{1, kCut, 0.0, 5.0, 1, 0.0}}, 0.0, 5.0, true},
    };
    return songs;
}

} // namespace

bool MakeDemoCard(const std::string& cardFolder, std::string* error) {
    if (!platform::IsDirectory(cardFolder) && !platform::CreateDirectory(cardFolder)) {
        *error = "cannot create the folder " + cardFolder;
        return false;
    }
    for (const DemoSong& song : DemoSongs())
        if (!MakeSong(cardFolder, song, error))
            return false;
    return true;
}

} // namespace cli
