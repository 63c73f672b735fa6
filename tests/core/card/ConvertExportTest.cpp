// Exports that convert files into the song's format: round trips from every kind of source a PC
// program writes (export, then import the track back, and compare with the source), split and mixed
// stereo files, what is converted and what stays refused, the sizes counted for the free space, and a
// failed write anywhere in a converting export.

#include "card/ExportJob.h"
#include "card/ImportJob.h"

#include "Cli.h"
#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/Convert.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <soxr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include <unistd.h>

using namespace testsupport;
using card::ExportOutcome;

namespace {

// Tones across the band and a little noise, at about -8 dBFS.
std::vector<double> Music(uint32_t frames, uint32_t rate, int channels) {
    std::vector<double> samples;
    uint32_t x = 12345;
    for (uint32_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k) / rate;
        for (int ch = 0; ch < channels; ++ch) {
            x = x * 1664525u + 1013904223u;
            samples.push_back(
                0.25 * std::sin(2 * M_PI * 440 * t + ch) + 0.12 * std::sin(2 * M_PI * 3150.7 * t) +
                0.05 * std::sin(2 * M_PI * (9876 + 500 * ch) * t) + 0.01 * ((x >> 8) / 16777216.0 - 0.5));
        }
    }
    return samples;
}

// One channel of interleaved samples; for channel -1 the mix at -3 dB each.
std::vector<double> Channel(const std::vector<double>& samples, int channels, int channel) {
    std::vector<double> out;
    for (size_t i = 0; i + channels <= samples.size(); i += channels) {
        out.push_back(channel >= 0 ? samples[i + channel]
                                   : (samples[i] + samples[i + 1]) * static_cast<double>(wave::kMixGain));
    }
    return out;
}

// The samples at another rate, changed in double precision by libsoxr at the setting the export uses.
std::vector<double> Resampled(const std::vector<double>& in, uint32_t from, uint32_t to) {
    if (from == to)
        return in;
    std::vector<double> out(wave::ConvertedFrames(in.size(), from, to));
    size_t made = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    EXPECT_EQ(soxr_oneshot(from, to, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &made, &io,
                           &quality, nullptr),
              nullptr);
    out.resize(made);
    return out;
}

// RMS of the difference in dB of full scale; -inf when none. A length that differs fails the test.
double DifferenceDb(const std::vector<int16_t>& got, const std::vector<double>& expected) {
    EXPECT_EQ(got.size(), expected.size());
    const size_t n = std::min(got.size(), expected.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = got[i] / 32768.0 - expected[i];
        sum += d * d;
    }
    return n == 0 ? 0.0 : 10 * std::log10(sum / static_cast<double>(n));
}

constexpr double kBoundDb = -85.0;

class ConvertExport : public ::testing::Test {
protected:
    std::string Card() const { return m_card.Path(); }
    std::string Pc() const { return m_pc.Path(); }
    // An empty song at `rate`.
    void Song(const std::string& song, uint32_t rate) {
        ASSERT_TRUE(platform::CreateDirectory(m_card / song));
        ASSERT_TRUE(WriteText(card::AdlPath(Card(), song), AdlText(adl::SampleRateCodeOfRate(rate), {})));
    }
    card::ExportParams Params(std::initializer_list<int> tracks, const std::string& song) const {
        card::ExportParams p;
        p.card = Card();
        p.song = song;
        p.pcFolder = Pc();
        p.conversion = card::Conversion::Convert;
        for (int t : tracks)
            p.tracks[t - 1] = true;
        return p;
    }
    std::string Source(int track, const std::string& extension = "wav") const {
        return m_pc / platform::Format("tr%02d.%s", track, extension.c_str());
    }
    // The track imported back from the song into a PC folder of its own.
    std::vector<int16_t> ImportedBack(const std::string& song, int track) {
        card::ImportParams params;
        params.card = Card();
        params.song = song;
        params.pcFolder = m_back.Path();
        params.tracks[track - 1] = true;
        platform::DeleteFile(card::TrackFilePath(m_back.Path(), track));
        ScriptedMessageBox box;
        const card::ImportResult r = card::RunImport(params, &box, nullptr, nullptr, nullptr);
        EXPECT_EQ(r.outcome, card::ImportOutcome::Finished) << song << " TR" << track;
        return CardAudio(card::TrackFilePath(m_back.Path(), track));
    }

    TempDir m_card, m_pc, m_back;
};

// --- Round trips ------------------------------------------------------------------------------

TEST_F(ConvertExport, EveryKindOfSourceComesBackWithinTheBound) {
    // Each source into a 44.1 kHz and a 48 kHz song and back, against the source as libsndfile reads it
    // (at the same rate) or that source changed in rate by libsoxr in double precision.
    const struct {
        const char* kind;
        int format;
        uint32_t rate;
    } kinds[] = {
        {"8-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 44100},
        {"16-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
        {"24-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100},
        {"32-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100},
        {"32-bit float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100},
        {"extensible 24-bit", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 44100},
        {"RF64 24-bit", SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 44100},
        {"32-bit float 96 kHz", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000},
    };
    Song("S44", 44100);
    Song("S48", 48000);
    int track = 0;
    for (const auto& k : kinds) {
        ++track;
        const std::vector<double> music = Music(k.rate * 3 / 2, k.rate, 1);
        ASSERT_TRUE(WriteSoundFile(Source(track), music, 1, static_cast<int>(k.rate), k.format)) << k.kind;
        const std::vector<double> source = ReadSoundFile(Source(track));
        for (const uint32_t rate : {44100u, 48000u}) {
            const std::string song = rate == 44100 ? "S44" : "S48";
            ScriptedMessageBox box;
            const card::ExportResult r =
                card::RunExport(Params({track}, song), &box, nullptr, nullptr, nullptr);
            ASSERT_EQ(r.outcome, ExportOutcome::Finished) << k.kind << " " << rate << ": " << r.message;
            const double db = DifferenceDb(ImportedBack(song, track), Resampled(source, k.rate, rate));
            std::printf("round trip %-20s -> %u Hz: %7.1f dBFS\n", k.kind, rate, db);
            EXPECT_LT(db, kBoundDb) << k.kind << " into " << rate;
        }
    }
}

TEST_F(ConvertExport, AStereoFileIsSplitOrMixed) {
    // 24-bit 44.1 kHz stereo: split, its two channels come back on two tracks; mixed, their sum at -3 dB
    // each on one.
    Song("S44", 44100);
    Song("S48", 48000);
    const std::vector<double> music = Music(44100, 44100, 2);
    ASSERT_TRUE(WriteSoundFile(Source(5), music, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    const std::vector<double> source = ReadSoundFile(Source(5));
    const struct {
        const char* what;
        card::StereoUse use;
        uint32_t rate;
        std::vector<int> written;
    } cases[] = {
        {"split at 48 kHz", card::StereoUse::Split, 48000, {5, 6}},
        {"mixed at 48 kHz", card::StereoUse::Mix, 48000, {5}},
        {"mixed at 44.1 kHz", card::StereoUse::Mix, 44100, {5}},
    };
    for (const auto& c : cases) {
        const std::string song = c.rate == 44100 ? "S44" : "S48";
        card::ExportParams p = Params({5}, song);
        p.stereo = c.use;
        ScriptedMessageBox box;
        const card::ExportResult r = card::RunExport(p, &box, nullptr, nullptr, nullptr);
        ASSERT_EQ(r.outcome, ExportOutcome::Finished) << c.what;
        EXPECT_EQ(r.written, c.written) << c.what;
        for (size_t i = 0; i < c.written.size(); ++i) {
            const int channel = c.written.size() == 2 ? static_cast<int>(i) : -1;
            const double db = DifferenceDb(ImportedBack(song, c.written[i]),
                                           Resampled(Channel(source, 2, channel), 44100, c.rate));
            std::printf("round trip %-20s TR%d: %7.1f dBFS\n", c.what, c.written[i], db);
            EXPECT_LT(db, kBoundDb) << c.what;
        }
    }
}

TEST_F(ConvertExport, AFileMadeBySoxComesBackWithinTheBound) {
    if (!HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed: the round trip of a file sox writes is not tried";
    // sox writes 24-bit files with the extensible format chunk.
    ASSERT_EQ(RunCommand("sox -n -b 24 -r 44100 -c 1 " + Quote(Source(1)) +
                         " synth 1.5 sine 1000 sine 5000 remix 1,2 gain -6 2>/dev/null"),
              0);
    Song("S48", 48000);
    ScriptedMessageBox box;
    ASSERT_EQ(card::RunExport(Params({1}, "S48"), &box, nullptr, nullptr, nullptr).outcome,
              ExportOutcome::Finished);
    const double db = DifferenceDb(ImportedBack("S48", 1), Resampled(ReadSoundFile(Source(1)), 44100, 48000));
    std::printf("round trip %-20s -> 48000 Hz: %7.1f dBFS\n", "sox 24-bit", db);
    EXPECT_LT(db, kBoundDb);
}

// --- What is converted ------------------------------------------------------------------------

TEST_F(ConvertExport, WhatIsConvertedAndWhatStaysRefused) {
    Song("S48", 48000);
    ASSERT_TRUE(WritePcWav(Source(1), 1, 480, {1, 16, 48000}));            // copied as it is
    ASSERT_TRUE(WritePcWav(Source(2), 2, 441, {2, 24, 44100}));            // stereo, TR3 free: split
    ASSERT_TRUE(WritePcWav(Source(5), 5, 441, {2, 16, 44100}));            // stereo, TR6 has a file: mixed
    ASSERT_TRUE(WritePcWav(Source(6), 6, 480, {1, 16, 48000}));            // (not ticked)
    ASSERT_TRUE(WriteSoundFile(Source(16), Music(100, 22050, 2), 2, 22050, // stereo, no TR17: mixed
                               SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    card::ExportParams p = Params({1, 2, 5, 16}, "S48");
    const card::ExportPlan plan = card::PlanExport(p, false, 48000, true);
    ASSERT_EQ(plan.problem, "");
    ASSERT_EQ(plan.tracks.size(), 4u);
    const std::vector<std::string> routes = {
        card::RoutingText(plan.tracks[0]), card::RoutingText(plan.tracks[1]),
        card::RoutingText(plan.tracks[2]), card::RoutingText(plan.tracks[3])};
    EXPECT_EQ(routes,
              (std::vector<std::string>{"", "left to TR2, right to TR3", "left and right mixed on TR5",
                                        "left and right mixed on TR16"}));
    EXPECT_FALSE(plan.tracks[0].convert);
    EXPECT_EQ(
        card::ConvertQuestion(plan),
        "tr02.wav is 24-bit, 44.1 kHz, stereo (left to TR2, right to TR3)\n"
        "tr05.wav is 16-bit, 44.1 kHz, stereo (left and right mixed on TR5)\n"
        "tr16.wav is 32-bit float, 22.05 kHz, stereo (left and right mixed on TR16)\n"
        "The song holds 16-bit, 48 kHz, mono. Convert these files while exporting? The files on the PC are "
        "not changed.");
    // Sizes: our header and the audio of each file written, two files for the split.
    EXPECT_EQ(plan.tracks[0].bytes, 32768u + 960u);
    EXPECT_EQ(plan.tracks[1].bytes, 2 * (32768u + 960u));
    EXPECT_EQ(plan.tracks[3].bytes, 32768u + 2u * wave::ConvertedFrames(100, 22050, 48000));
    EXPECT_EQ(card::GetTransferSize(p), card::PlannedBytes(plan));
    p.conversion = card::Conversion::Refuse;
    EXPECT_EQ(card::GetTransferSize(p), card::GetTransferSize(Pc(), p.tracks));

    // What no conversion takes keeps the refusal the song always gave.
    ASSERT_TRUE(WritePcWav(Source(7), 7, 100, {3, 16, 48000}));
    ASSERT_TRUE(WriteBytes(Source(8), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}));
    for (int t : {7, 8}) {
        SCOPED_TRACE(t);
        const card::ExportPlan refused = card::PlanExport(Params({1, t}, "S48"), false, 48000, true);
        EXPECT_EQ(refused.problem, t == 7 ? "Wave file not acceptable!" : "Sampling Frequency not matched!");
        ScriptedMessageBox box;
        EXPECT_EQ(card::RunExport(Params({t}, "S48"), &box, nullptr, nullptr, nullptr).outcome,
                  ExportOutcome::Refused);
    }
    EXPECT_TRUE(platform::FindFiles(m_card / "S48", "*.wav").empty());
}

TEST_F(ConvertExport, ANewSongTakesASupportedRate) {
    // Converting into a new song: a rate a song can have stays; others are mapped.
    const struct {
        uint32_t file;
        const char* song;
    } cases[] = {{22050, "S22050"},  {44100, "S44100"}, {11025, "S44100"}, {88200, "S44100"},
                 {176400, "S44100"}, {96000, "S48000"}, {32000, "S48000"}, {8000, "S48000"}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string song = platform::Format("New%02d", ++n);
        ASSERT_TRUE(WriteSoundFile(Source(1), Music(c.file / 10, c.file, 1), 1, static_cast<int>(c.file),
                                   SF_FORMAT_WAV | SF_FORMAT_PCM_24));
        ScriptedMessageBox box;
        card::ExportDecision decision;
        ASSERT_EQ(card::PrepareExport(Params({1}, song), &box, &decision), card::ExportCommand::RunNewSong);
        EXPECT_TRUE(decision.convert);
        EXPECT_NE(ReadText(card::AdlPath(Card(), song)).find(std::string("(SEQ_SAMPLE_RATE)\t") + c.song),
                  std::string::npos);
        const card::ExportResult r = card::RunExport(Params({1}, song), &box, nullptr, nullptr, nullptr);
        ASSERT_EQ(r.outcome, ExportOutcome::Finished);
        const uint32_t rate = static_cast<uint32_t>(std::atoi(c.song + 1));
        EXPECT_EQ(CardAudio(card::AudioFilePath(Card(), song, r.files[0])).size(),
                  wave::ConvertedFrames(c.file / 10, c.file, rate));
        std::remove(Source(1).c_str());
    }
    // Without conversion the song is refused as before, and no song is made.
    ASSERT_TRUE(WriteSoundFile(Source(1), Music(960, 96000, 1), 1, 96000, SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    card::ExportParams refuse = Params({1}, "Refused");
    refuse.conversion = card::Conversion::Refuse;
    ScriptedMessageBox box;
    card::ExportDecision decision;
    EXPECT_EQ(card::PrepareExport(refuse, &box, &decision), card::ExportCommand::Stopped);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"Sampling Frequency not supported!"});
    EXPECT_FALSE(decision.convert);
    EXPECT_EQ(
        card::ConvertQuestion(decision.plan),
        "tr01.wav is 24-bit, 96 kHz, mono; the song holds 16-bit, 48 kHz, mono. Convert it while exporting? "
        "The file on the PC is not changed.");
    EXPECT_FALSE(platform::PathExists(m_card / "Refused"));
}

// --- Free space -------------------------------------------------------------------------------

TEST_F(ConvertExport, TheFreeSpaceCheckCountsTheConvertedSize) {
    // Sixteen sparse 8-bit 8 kHz files that fit the card as they are, but not once they are 16-bit at
    // 48 kHz (twelve times the size).
    const uint32_t frames = 357000000;
    const uint64_t asIs = 16 * (32768ull + frames), converted = 16 * (32768ull + 12ull * frames);
    std::string small;
    for (const char* place : {"/dev/shm", "/tmp"}) {
        const uint64_t free = card::GetFreeSpace(place);
        if (platform::IsDirectory(place) && free > asIs + (1ull << 30) && free < converted) {
            small = place;
            break;
        }
    }
    if (small.empty())
        GTEST_SKIP() << "needs a file system with between " << asIs << " and " << converted << " bytes free";
    std::string cardFolder = small + "/pelmora-test-XXXXXX";
    ASSERT_NE(::mkdtemp(cardFolder.data()), nullptr);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> removeLater(
        &cardFolder, [](const std::string* path) { RemoveTree(*path); });
    ASSERT_TRUE(platform::CreateDirectory(cardFolder + "/S48"));
    ASSERT_TRUE(WriteText(card::AdlPath(cardFolder, "S48"), AdlText(adl::SampleRateCode::Hz48000, {})));
    for (int n = 1; n <= 16; ++n) {
        std::vector<uint8_t> header = PcWav(n, 0, {1, 8, 8000});
        PatchLe32(header, 4, 36 + frames);
        PatchLe32(header, 40, frames);
        ASSERT_TRUE(WriteBytes(Source(n), header));
        ASSERT_EQ(::truncate(Source(n).c_str(), 44 + frames), 0);
    }
    card::ExportParams p = Params({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, "S48");
    p.card = cardFolder;
    EXPECT_EQ(card::GetTransferSize(p), converted);
    ScriptedMessageBox box;
    const card::ExportResult r = card::RunExport(p, &box, nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, ExportOutcome::Refused);
    EXPECT_EQ(r.message.substr(0, 15), "File too large!");
    EXPECT_NE(r.message.find("WAVE : " + std::to_string(converted) + "(Total file size to transfer)"),
              std::string::npos)
        << r.message;
    // As they are, the files fit: the refusal is then the format's.
    p.conversion = card::Conversion::Refuse;
    ScriptedMessageBox asIsBox;
    EXPECT_EQ(card::RunExport(p, &asIsBox, nullptr, nullptr, nullptr).message,
              "Sampling Frequency not matched!");
    EXPECT_TRUE(platform::FindFiles(cardFolder + "/S48", "*.wav").empty());
}

// --- Never lose a song ------------------------------------------------------------------------

TEST_F(ConvertExport, AFailedWriteAnywhereLosesNothing) {
    // A stereo file split to two tracks and a mono file converted, into a song that already holds a track:
    // whatever write fails, every event names a complete file and no other file is left.
    Song("S48", 48000);
    ASSERT_TRUE(WritePcWav(Source(2), 2, 2000, {2, 24, 44100}));
    ASSERT_TRUE(WritePcWav(Source(9), 9, 3000, {1, 32, 44100}));
    const uint32_t length2 = static_cast<uint32_t>(wave::ConvertedFrames(2000, 44100, 48000));
    const uint32_t length9 = static_cast<uint32_t>(wave::ConvertedFrames(3000, 44100, 48000));
    const std::map<int, uint32_t> lengths = {{2, length2}, {3, length2}, {9, length9}};
    const std::string song = ReadText(card::AdlPath(Card(), "S48"));
    const int64_t struck = SweepFaults(3000, [&](int64_t n) {
        SCOPED_TRACE(n);
        for (const auto& entry : platform::FindFiles(m_card / "S48", "*"))
            platform::DeleteFile(platform::JoinPath(m_card / "S48", entry.name));
        EXPECT_TRUE(WriteText(card::AdlPath(Card(), "S48"), song));
        ScriptedMessageBox box;
        card::ExportResult r;
        int64_t writes = 0;
        {
            platform::faults::ScopedPlan plan({.failWriteAt = n});
            r = card::RunExport(Params({2, 9}, "S48"), &box, nullptr, nullptr, nullptr);
            writes = platform::faults::WriteCount();
        }
        EXPECT_EQ(r.outcome, writes < n ? ExportOutcome::Finished : ExportOutcome::Failed);
        EXPECT_EQ(box.Texts().size(), writes < n ? 0u : 1u);
        adl::CAdlFile adl;
        EXPECT_TRUE(adl.Open(card::AdlPath(Card(), "S48"), true));
        std::set<std::string> named;
        EXPECT_EQ(static_cast<size_t>(adl.GetEventCount()), r.written.size());
        for (int i = 0; i < adl.GetEventCount(); ++i) {
            const int track = adl.GetEventDestChannel(i);
            named.insert(adl.GetEventSourceName(i));
            EXPECT_EQ(adl.GetEventDestOut(i).GetSamples(), lengths.at(track));
            EXPECT_EQ(CardAudio(m_card / ("S48/" + adl.GetEventSourceName(i))).size(), lengths.at(track));
        }
        for (const auto& entry : platform::FindFiles(m_card / "S48", "*"))
            EXPECT_TRUE(named.count(entry.name) || entry.name == "S48.adl") << "left behind: " << entry.name;
        return writes;
    });
    EXPECT_GT(struck, 10);
}

} // namespace
