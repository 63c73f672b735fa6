#include "wave/Convert.h"

#include "Fakes.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>

using testsupport::TempDir;
using wave::CTpdfDither;

namespace {

std::vector<int16_t> Dithered(float value, size_t n, uint32_t seed = 7) {
    const std::vector<float> in(n, value);
    std::vector<int16_t> out(n);
    CTpdfDither(seed).Quantize(in.data(), 1, out.data(), n);
    return out;
}

double Mean(const std::vector<int16_t>& v) {
    double sum = 0;
    for (int16_t s : v)
        sum += s;
    return sum / static_cast<double>(v.size());
}

struct Converted {
    wave::ConvertStatus status;
    std::vector<std::vector<int16_t>> outputs;
};

// Converts a file into `count` new files in the card layout, as the export does.
Converted Convert(const TempDir& dir, const std::string& source, const wave::ConvertSpec& spec, size_t count,
                  testsupport::RecordingTarget* notify = nullptr,
                  const platform::CancelFlag* cancel = nullptr) {
    wave::CPcAudioReader reader;
    EXPECT_TRUE(reader.Open(source));
    std::vector<std::unique_ptr<wave::CWaveFile>> files;
    std::vector<wave::CWaveFile*> outputs;
    for (size_t i = 0; i < count; ++i) {
        std::remove((dir / ("out" + std::to_string(i) + ".wav")).c_str());
        files.push_back(std::make_unique<wave::CWaveFile>());
        EXPECT_TRUE(files.back()->Create(dir / ("out" + std::to_string(i) + ".wav"), 1, 16, spec.rate));
        outputs.push_back(files.back().get());
    }
    Converted result{wave::ConvertAudio(reader, spec, outputs, cancel, notify), {}};
    for (size_t i = 0; i < count; ++i) {
        files[i]->Close();
        result.outputs.push_back(testsupport::CardAudio(dir / ("out" + std::to_string(i) + ".wav")));
    }
    return result;
}

} // namespace

TEST(Convert, ConvertedLengthIsTheRateChangersCount) {
    const struct {
        uint64_t frames;
        uint32_t from, to;
        uint64_t expected;
    } cases[] = {
        {44100, 44100, 48000, 48000},
        {1000, 44100, 48000, 1088},
        {12345, 48000, 44100, 11342},
        {777, 96000, 48000, 389},
        {7, 44100, 48000, 8},
        {0, 44100, 48000, 0},
        {5, 48000, 48000, 5},
        {3, 0, 48000, 0},
        {1, 22050, 48000, 2},
        // An RF64 file of a day at 384 kHz: no overflow on the way.
        {384000ull * 86400, 384000, 48000, 48000ull * 86400},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wave::ConvertedFrames(c.frames, c.from, c.to), c.expected) << c.frames << " " << c.from;
}

TEST(Convert, DitherKeepsWhatIsBelowOneStepAndClipsAtFullScale) {
    // Truncation or plain rounding would give 0 for a third of a step; the dither keeps it on average,
    // with noise of at most one step either side.
    for (const float steps : {0.3f, -0.3f, 0.5f, 100.25f}) {
        const std::vector<int16_t> out = Dithered(steps / 32768.0f, 200000);
        EXPECT_NEAR(Mean(out), steps, 0.01) << steps;
        for (int16_t s : out)
            ASSERT_LE(std::abs(s - steps), 2.0f) << steps;
    }
    // Full scale and beyond: clipped, never wrapped; what is not a number is silence.
    const struct {
        float in;
        int16_t lowest, highest;
    } edges[] = {{1.5f, 32766, 32767},
                 {1.0f, 32766, 32767},
                 {-1.5f, -32768, -32768},
                 {-1.0f, -32768, -32767},
                 {std::numeric_limits<float>::quiet_NaN(), 0, 0},
                 {std::numeric_limits<float>::infinity(), 32767, 32767}};
    for (const auto& e : edges) {
        for (int16_t s : Dithered(e.in, 1000)) {
            ASSERT_GE(s, e.lowest) << e.in;
            ASSERT_LE(s, e.highest) << e.in;
        }
    }
    // One seed, one result; another seed, other noise.
    EXPECT_EQ(Dithered(0.1f / 32768, 1000, 3), Dithered(0.1f / 32768, 1000, 3));
    EXPECT_NE(Dithered(0.1f / 32768, 1000, 3), Dithered(0.1f / 32768, 1000, 4));
    // Samples exact in 16 bits stay exact without it.
    const std::vector<float> exact = {-1.0f, -0.5f, 1.0f / 32768, 32767.0f / 32768, 2.0f};
    std::vector<int16_t> out(exact.size());
    wave::QuantizeExact(exact.data(), 1, out.data(), exact.size());
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, -16384, 1, 32767, 32767}));
}

TEST(Convert, ChannelsAreSplitOrMixedAndAMixIsClippedSafely) {
    // Left a ramp, right its negation plus a full-scale offset: split gives both back exactly (16 bits,
    // same rate, no dither); the mix of two full-scale channels is clipped, never wrapped.
    TempDir dir;
    const uint32_t frames = 3000;
    std::vector<double> samples;
    for (uint32_t k = 0; k < frames; ++k) {
        const double left = (static_cast<int>(k % 2000) - 1000) / 32768.0;
        samples.push_back(left);
        samples.push_back(k < 1500 ? -left : 1.0);
    }
    const std::string source = dir / "stereo.wav";
    ASSERT_TRUE(testsupport::WriteSoundFile(source, samples, 2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const std::vector<double> back = testsupport::ReadSoundFile(source);

    testsupport::RecordingTarget notify;
    const Converted split = Convert(dir, source, {48000, false, false, 1}, 2, &notify);
    ASSERT_EQ(split.status, wave::ConvertStatus::Done);
    ASSERT_EQ(split.outputs[0].size(), frames);
    ASSERT_EQ(split.outputs[1].size(), frames);
    for (uint32_t k = 0; k < frames; ++k) {
        ASSERT_EQ(split.outputs[0][k], std::lrint(back[2 * k] * 32768)) << k;
        ASSERT_EQ(split.outputs[1][k], std::lrint(std::min(back[2 * k + 1] * 32768, 32767.0))) << k;
    }
    // The bar runs over both files' audio.
    EXPECT_EQ(notify.Values(wave::WM_TRANSFER_RANGE), std::vector<uintptr_t>{4u * frames});
    EXPECT_EQ(notify.Values(wave::WM_TRANSFER_POS).back(), 4u * frames);

    const Converted mix = Convert(dir, source, {48000, true, true, 1}, 1);
    ASSERT_EQ(mix.status, wave::ConvertStatus::Done);
    ASSERT_EQ(mix.outputs[0].size(), frames);
    for (uint32_t k = 0; k < frames; ++k) {
        const double expected = (back[2 * k] + back[2 * k + 1]) * wave::kMixGain * 32768;
        ASSERT_NEAR(mix.outputs[0][k], std::min(expected, 32767.0), 1.5) << k;
    }
}

TEST(Convert, CancelAndMismatchesStopTheConversion) {
    TempDir dir;
    const std::string source = dir / "long.wav";
    ASSERT_TRUE(testsupport::WriteSoundFile(source, std::vector<double>(200000, 0.25), 1, 44100,
                                            SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    platform::CancelFlag cancel{0};
    testsupport::RecordingTarget notify;
    notify.ActOn(wave::WM_TRANSFER_POS, 1, [&] { cancel = 1; });
    EXPECT_EQ(Convert(dir, source, {48000, false, true, 1}, 1, &notify, &cancel).status,
              wave::ConvertStatus::Cancelled);
    // A mono source for two outputs is not what was planned.
    EXPECT_EQ(Convert(dir, source, {48000, false, true, 1}, 2).status, wave::ConvertStatus::ReadFailed);
}
