#include "cdwriter/TrackInfo.h"
#include "Fakes.h"
#include "Wav.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace cdwriter;

namespace {

std::vector<uint8_t> WavWithFormat(uint16_t channels, uint32_t rate, size_t pcmBytes) {
    auto bytes = testsupport::MakeWav(testsupport::Pcm(pcmBytes));
    // fmt body starts at 20: tag, channels, rate, byte rate, align, bits
    bytes[22] = static_cast<uint8_t>(channels);
    for (int i = 0; i < 4; ++i)
        bytes[24 + i] = static_cast<uint8_t>(rate >> (8 * i));
    return bytes;
}

TEST(TrackInfo, CdAudioFilterAndSizes) {
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir / "cd.wav", WavWithFormat(2, 44100, 1000));
    testsupport::WriteBytes(dir / "48k.wav", WavWithFormat(2, 48000, 1000));
    testsupport::WriteBytes(dir / "mono.wav", WavWithFormat(1, 44100, 1000));
    testsupport::WriteText(dir / "text.wav", "not a wave file");
    EXPECT_TRUE(IsCdAudioFile(dir / "cd.wav"));
    EXPECT_FALSE(IsCdAudioFile(dir / "48k.wav"));
    EXPECT_FALSE(IsCdAudioFile(dir / "mono.wav"));
    EXPECT_FALSE(IsCdAudioFile(dir / "text.wav"));
    EXPECT_FALSE(IsCdAudioFile(dir / "missing.wav"));

    WaveTrackSizes sizes;
    ASSERT_TRUE(ReadWaveTrackSizes(dir / "cd.wav", &sizes));
    EXPECT_EQ(sizes.fileSize, 12u + 24 + 8 + 1000);
    EXPECT_EQ(sizes.dataSize, 1000u);
    EXPECT_FALSE(ReadWaveTrackSizes(dir / "missing.wav", &sizes));
}

TEST(TrackInfo, TimeTexts) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "0m0s"},
        {kCdBytesPerSecond - 1, "0m0s"},
        {kCdBytesPerSecond * 59, "0m59s"},
        {kCdBytesPerSecond * 245, "4m5s"},
        {kCdBytesPerSecond * 3600, "1h0m0s"},
        {kCdBytesPerSecond * 3725, "1h2m5s"},
        {UINT32_MAX, "6h45m47s"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(TrackTimeText(bytes), text) << bytes;
}

} // namespace
