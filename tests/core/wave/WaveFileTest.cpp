#include "wave/WaveFile.h"

#include "Fakes.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;
using wave::CWaveFile;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
std::string Id(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

void Put(std::vector<uint8_t>& b, const char* id, uint32_t size) {
    b.insert(b.end(), id, id + 4);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(size >> (8 * i)));
}

// A mono 44.1 kHz WAV file as other programs write it: no pad chunk, and when asked an odd-sized
// chunk (with its pad byte) ahead of the format.
std::vector<uint8_t> ForeignWave(int fmtSize, const std::vector<uint8_t>& audio, bool oddChunkFirst = false) {
    testsupport::WavShape shape;
    shape.format = {1, 16, 44100};
    shape.fmtSize = fmtSize;
    if (oddChunkFirst)
        shape.beforeFmt.push_back({"LIST", {'a', 'b', 'c'}});
    return testsupport::MakeWav(audio, shape);
}

std::vector<uint8_t> Ramp(size_t bytes, uint8_t seed) {
    std::vector<uint8_t> v(bytes);
    for (size_t i = 0; i < bytes; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return v;
}

std::string MakeSource(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& audio) {
    const std::string path = dir / name;
    CWaveFile w;
    EXPECT_EQ(1, w.Create(path, 1, 16, 44100));
    EXPECT_EQ(1, w.WriteData(audio.data(), static_cast<uint32_t>(audio.size()), 0));
    EXPECT_EQ(1, w.Close());
    return path;
}

std::vector<uint8_t> Audio(const std::string& path) {
    auto b = ReadBytes(path);
    return std::vector<uint8_t>(b.begin() + wave::kAudioOffset, b.end());
}

} // namespace

TEST(WaveFileLayout, CreatedFileIsByteExact) {
    TempDir dir;
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "a.wav", 1, 16, 48000));
    ASSERT_EQ(1, w.Close());
    const auto b = ReadBytes(dir / "a.wav");
    ASSERT_EQ(32768u, b.size());
    EXPECT_EQ("RIFF", Id(b, 0));
    EXPECT_EQ(32760u, Le32(b, 4));
    EXPECT_EQ("WAVE", Id(b, 8));
    EXPECT_EQ("fmt ", Id(b, 12));
    EXPECT_EQ(18u, Le32(b, 16));
    EXPECT_EQ(1, Le16(b, 20));
    EXPECT_EQ(1, Le16(b, 22));
    EXPECT_EQ(48000u, Le32(b, 24));
    EXPECT_EQ(96000u, Le32(b, 28));
    EXPECT_EQ(2, Le16(b, 32));
    EXPECT_EQ(16, Le16(b, 34));
    EXPECT_EQ(0, Le16(b, 36));
    EXPECT_EQ("pad ", Id(b, 38));
    EXPECT_EQ(32714u, Le32(b, 42));
    for (size_t i = 46; i < 32760; ++i)
        ASSERT_EQ(0, b[i]) << i;
    EXPECT_EQ("data", Id(b, 32760));
    EXPECT_EQ(0u, Le32(b, 32764));

    CWaveFile r;
    ASSERT_EQ(1, r.Open(dir / "a.wav", 1));
    EXPECT_EQ(32768u, r.GetRiffSize());
    EXPECT_EQ(18u, r.GetChunkSize(1));
    EXPECT_EQ(32714u, r.GetChunkSize(2));
    EXPECT_EQ(0u, r.GetChunkSize(3));
}

TEST(WaveFileLayout, CreateRefusesExistingFilesAndWrongExtensions) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / "old.wav", {1, 2, 3}));
    CWaveFile w;
    EXPECT_EQ(0, w.Create(dir / "old.wav", 1, 16, 44100));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), ReadBytes(dir / "old.wav"));
    for (const char* name : {"x.Wav", "x.wave", "x", "x.wav.txt", "x.WAv"}) {
        EXPECT_EQ(0, w.Create(dir / name, 1, 16, 44100)) << name;
        EXPECT_FALSE(platform::PathExists(dir / name)) << name;
    }
    ASSERT_TRUE(WriteBytes(dir / "y.Wav", ForeignWave(16, {})));
    EXPECT_EQ(0, w.Open(dir / "y.Wav", 1));
    EXPECT_EQ(1, w.Create(dir / "z.WAV", 1, 16, 44100));
    EXPECT_EQ(0, w.Create(dir / "z2.wav", 1, 16, 44100)) << "already holds a file";
    EXPECT_EQ(1, w.Close());
}

TEST(WaveFileLayout, FormatQueries) {
    TempDir dir;
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "s.wav", 1, 16, 44100));
    ASSERT_EQ(1, w.SetFormat(2, 24, 48000));
    uint16_t ch = 0, bits = 0;
    uint32_t rate = 0;
    ASSERT_EQ(1, w.GetFormat(&ch, &bits, &rate));
    EXPECT_EQ(2, ch);
    EXPECT_EQ(24, bits);
    EXPECT_EQ(48000u, rate);
    ASSERT_EQ(1, w.Close());
    const auto b = ReadBytes(dir / "s.wav");
    EXPECT_EQ(6, Le16(b, 32));       // block align
    EXPECT_EQ(288000u, Le32(b, 28)); // bytes per second

    // A PC program's 16-byte format chunk, an odd-sized chunk before it: both read normally.
    ASSERT_TRUE(WriteBytes(dir / "pc.wav", ForeignWave(16, {5, 6}, true)));
    CWaveFile pc;
    ASSERT_EQ(1, pc.Open(dir / "pc.wav", 0));
    ASSERT_EQ(1, pc.GetFormat(&ch, &bits, &rate));
    EXPECT_EQ(1, ch);
    EXPECT_EQ(16, bits);
    EXPECT_EQ(44100u, rate);
    EXPECT_EQ(2u, pc.GetChunkSize(3));
    ASSERT_EQ(1, pc.SetFormat(1, 16, 48000)); // must not spill into the data header
    EXPECT_EQ(2u, pc.GetChunkSize(3));
    EXPECT_EQ(0u, pc.GetChunkSize(2));
    EXPECT_EQ(CWaveFile::ERR_NO_CHUNK, pc.GetLastError());
    pc.Close();

    // No format chunk, or one too short for the PCM fields: no format.
    for (int size : {12, 0}) {
        ASSERT_TRUE(WriteBytes(dir / "bad.wav", ForeignWave(size, {})));
        CWaveFile bad;
        ASSERT_EQ(1, bad.Open(dir / "bad.wav", 1));
        EXPECT_EQ(0, bad.GetFormat(&ch, &bits, &rate)) << size;
    }
    ASSERT_TRUE(WriteBytes(dir / "junk.wav", std::vector<uint8_t>(100, 'x')));
    CWaveFile junk;
    ASSERT_EQ(1, junk.Open(dir / "junk.wav", 1));
    EXPECT_EQ(0, junk.GetFormat(&ch, &bits, &rate));
    EXPECT_EQ(0u, junk.GetRiffSize());
    EXPECT_EQ(CWaveFile::ERR_NO_RIFF, junk.GetLastError());
    EXPECT_EQ(0u, junk.GetChunkSize(4));
    EXPECT_EQ(CWaveFile::ERR_NO_RIFF, junk.GetLastError()) << "kind 4 sets no code";
}

TEST(WaveFileLayout, ClosingReadOnlyWritesNothing) {
    TempDir dir;
    auto bytes = ForeignWave(18, {1, 2, 3, 4});
    bytes[4] = 0x77; // a wrong RIFF size stays wrong
    ASSERT_TRUE(WriteBytes(dir / "r.wav", bytes));
    CWaveFile r;
    ASSERT_EQ(1, r.Open(dir / "r.wav", 1));
    EXPECT_EQ(1, r.Close());
    EXPECT_EQ(bytes, ReadBytes(dir / "r.wav"));
    ASSERT_EQ(1, r.Open(dir / "r.wav", 0));
    EXPECT_EQ(1, r.Close());
    EXPECT_EQ(bytes.size() - 8, Le32(ReadBytes(dir / "r.wav"), 4)) << "a writer repairs it";
}

TEST(WaveTransfer, WritesSetSizesAndBytes) {
    TempDir dir;
    const auto audio = Ramp(5000, 3);
    const std::string src = MakeSource(dir, "src.wav", audio);
    EXPECT_EQ(audio, Audio(src));

    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "out.wav", 1, 16, 44100));
    ASSERT_EQ(1, w.WriteSilence(0, 100));
    EXPECT_EQ(100u, w.GetChunkSize(3)) << "WriteSilence(0, x) sets the size to x";
    ASSERT_EQ(1, w.WriteSilence(2049, 0));
    ASSERT_EQ(1, w.CopyFrom(src, 4096, 10, 2049));
    EXPECT_EQ(2049u + 4096u, w.GetChunkSize(3));
    EXPECT_EQ(2049u + 4096u, w.GetBytesWritten());
    ASSERT_EQ(1, w.Close());
    const auto b = ReadBytes(dir / "out.wav");
    // An odd data size gets its pad byte; the RIFF size counts the whole file.
    ASSERT_EQ(32768u + 6145u + 1u, b.size());
    EXPECT_EQ(b.size() - 8, Le32(b, 4));
    EXPECT_EQ(6145u, Le32(b, 32764));
    auto out = Audio(dir / "out.wav");
    for (size_t i = 0; i < 2049; ++i)
        ASSERT_EQ(0, out[i]);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(audio[10 + i], out[2049 + i]) << i;

    // A rewrite at a lower offset shortens the counted data; the bytes beyond stay in the file.
    CWaveFile again;
    ASSERT_EQ(1, again.Open(dir / "out.wav", 0));
    ASSERT_EQ(1, again.WriteData("\x01\x02", 2, 10));
    EXPECT_EQ(12u, again.GetChunkSize(3));
    ASSERT_EQ(1, again.Close());
    EXPECT_EQ(b.size(), ReadBytes(dir / "out.wav").size());
}

TEST(WaveTransfer, MessagesPerBlock) {
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", Ramp(4100, 1));
    testsupport::RecordingTarget rec;
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "out.wav", 1, 16, 44100));
    w.SetNotify(&rec, 0);
    ASSERT_EQ(1, w.CopyFrom(src, 4100, 0, 0));
    ASSERT_EQ(6u, rec.messages.size());
    const uintptr_t pos[] = {2048, 4096, 4100};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wave::WM_TRANSFER_POS, rec.messages[2 * i].id);
        EXPECT_EQ(pos[i], rec.messages[2 * i].wParam);
        EXPECT_EQ(wave::WM_TRANSFER_TOTAL, rec.messages[2 * i + 1].id);
        EXPECT_EQ(pos[i], rec.messages[2 * i + 1].wParam);
        for (const auto& m : {rec.messages[2 * i], rec.messages[2 * i + 1]}) {
            EXPECT_TRUE(m.notified && m.notice == platform::Notice::Value) << "positions need no answer";
            EXPECT_FALSE(m.posted);
        }
    }
    rec.messages.clear();
    w.SetNotify(&rec, 1);
    ASSERT_EQ(1, w.WriteSilence(10, 4100));
    ASSERT_EQ(2u, rec.messages.size());
    EXPECT_EQ(10u, rec.messages[0].wParam);
    EXPECT_EQ(4110u, rec.messages[1].wParam) << "running total since construction";
    EXPECT_TRUE(rec.messages[1].posted);
    EXPECT_EQ(0x4C8u, wave::WM_TRANSFER_RANGE);
    EXPECT_EQ(0x4CAu, wave::WM_TRANSFER_TOTAL);
}

TEST(WaveTransfer, CancelIsReadBeforeEveryBlock) {
    TempDir dir;
    platform::CancelFlag cancel{0};
    testsupport::RecordingTarget rec;
    rec.ActOn(wave::WM_TRANSFER_TOTAL, 2, [&] { cancel = 1; });
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "out.wav", 1, 16, 44100));
    w.SetNotify(&rec, 0);
    w.SetCancelFlag(&cancel);
    EXPECT_EQ(1, w.WriteSilence(10000, 0)) << "a cancelled transfer succeeds";
    EXPECT_EQ(4096u, w.GetChunkSize(3));
    EXPECT_EQ(1, w.WriteSilence(10000, 4096));
    EXPECT_EQ(4096u, w.GetChunkSize(3)) << "set before the first block: nothing written";
    EXPECT_EQ(1, w.Close());
}

TEST(WaveTransfer, SourceFailures) {
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", Ramp(3000, 9));
    ASSERT_TRUE(WriteBytes(dir / "junk.wav", std::vector<uint8_t>(64, 'x')));
    auto noData = ForeignWave(16, {});
    noData[noData.size() - 8] = 'D';
    ASSERT_TRUE(WriteBytes(dir / "nodata.wav", noData));
    // A data chunk followed by another chunk: only the audio counts as source bytes.
    auto trailing = ForeignWave(16, {1, 2, 3, 4});
    Put(trailing, "LIST", 4);
    trailing.insert(trailing.end(), {9, 9, 9, 9});
    ASSERT_TRUE(WriteBytes(dir / "trail.wav", trailing));

    struct Case {
        std::string source;
        uint32_t count, offset;
        uint16_t code;
        uint32_t dataAfter;
    } cases[] = {
        {dir / "missing.wav", 10, 0, CWaveFile::ERR_SOURCE_OPEN, 0},
        {dir / "junk.wav", 10, 0, CWaveFile::ERR_NO_RIFF, 0},
        {dir / "nodata.wav", 10, 0, CWaveFile::ERR_NO_DATA, 0},
        {src, 3001, 0, CWaveFile::ERR_SOURCE_SHORT, 3000},
        {src, 10, 3000, CWaveFile::ERR_SOURCE_SHORT, 0},
        {dir / "trail.wav", 6, 0, CWaveFile::ERR_SOURCE_SHORT, 4},
    };
    for (const auto& c : cases) {
        CWaveFile w;
        const std::string out = dir / "out.wav";
        platform::DeleteFile(out);
        ASSERT_EQ(1, w.Create(out, 1, 16, 44100));
        EXPECT_EQ(0, w.CopyFrom(c.source, c.count, c.offset, 0)) << c.source;
        EXPECT_EQ(c.code, w.GetLastError()) << c.source;
        EXPECT_EQ(c.dataAfter, w.GetChunkSize(3)) << c.source;
        EXPECT_EQ(1, w.Close());
    }
}

TEST(WaveTransfer, ImportFileTakesTheSourceFormat) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / "pc.wav", ForeignWave(16, Ramp(5001, 4), true)));
    testsupport::RecordingTarget rec;
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "out.wav", 2, 16, 44100));
    w.SetNotify(&rec, 0);
    ASSERT_EQ(1, w.ImportFile(dir / "pc.wav"));
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_EQ(wave::WM_TRANSFER_RANGE, rec.messages[0].id);
    EXPECT_EQ(5001u, rec.messages[0].wParam);
    EXPECT_TRUE(rec.messages[0].notified && rec.messages[0].notice == platform::Notice::Event)
        << "a range is never merged with the positions around it";
    EXPECT_EQ(7u, rec.messages.size());
    ASSERT_EQ(1, w.Close());
    const auto b = ReadBytes(dir / "out.wav");
    ASSERT_EQ(32768u + 5001u + 1u, b.size());
    EXPECT_EQ(18u, Le32(b, 16));
    EXPECT_EQ(1, Le16(b, 22)) << "mono, as the source";
    EXPECT_EQ(0, Le16(b, 36));
    EXPECT_EQ(32714u, Le32(b, 42));
    EXPECT_EQ("data", Id(b, 32760));
    EXPECT_EQ(5001u, Le32(b, 32764));
    EXPECT_EQ(b.size() - 8, Le32(b, 4));
    const auto audio = Ramp(5001, 4);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), b.begin() + 32768));

    CWaveFile cut;
    ASSERT_EQ(1, cut.Create(dir / "cut.wav", 1, 16, 44100));
    platform::CancelFlag cancel{1};
    cut.SetCancelFlag(&cancel);
    EXPECT_EQ(1, cut.ImportFile(dir / "pc.wav"));
    EXPECT_EQ(0u, cut.GetChunkSize(3));
    EXPECT_EQ(0, cut.ImportFile(dir / "gone.wav"));
    cut.Close();
}

TEST(WaveFaults, FailedWritesAreReported) {
    TempDir dir;
    {
        // The pad chunk cannot be written: no file is left behind.
        platform::faults::ScopedPlan plan({.failWriteAt = 6});
        CWaveFile w;
        EXPECT_EQ(0, w.Create(dir / "pad.wav", 1, 16, 44100));
        EXPECT_FALSE(w.IsOpen());
    }
    EXPECT_FALSE(platform::PathExists(dir / "pad.wav"));

    const std::string src = MakeSource(dir, "src.wav", Ramp(8192, 2));
    for (int64_t n = 1; n <= 6; ++n) {
        CWaveFile w;
        const std::string out = dir / "out.wav";
        platform::DeleteFile(out);
        ASSERT_EQ(1, w.Create(out, 1, 16, 44100));
        {
            platform::faults::ScopedPlan plan({.failWriteAt = n});
            EXPECT_EQ(0, w.CopyFrom(src, 8192, 0, 0)) << n;
        }
        EXPECT_EQ(CWaveFile::ERR_WRITE, w.GetLastError()) << n;
        EXPECT_EQ(1, w.Close());
    }
}

TEST(WaveIndependentReader, SoxAgrees) {
    if (!testsupport::HaveTool("sox") || !testsupport::HaveTool("soxi"))
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", Ramp(8000, 1));
    CWaveFile w;
    ASSERT_EQ(1, w.Create(dir / "out.wav", 1, 16, 22050));
    ASSERT_EQ(1, w.WriteSilence(1000, 0));
    ASSERT_EQ(1, w.CopyFrom(src, 6000, 0, 1000));
    ASSERT_EQ(1, w.Close());
    CWaveFile e;
    ASSERT_EQ(1, e.Create(dir / "empty.wav", 1, 16, 48000));
    ASSERT_EQ(1, e.Close());
    for (auto [name, expect] : {std::pair<std::string, std::string>{"out.wav", "22050 1 16 3500"},
                                {"empty.wav", "48000 1 16 0"},
                                {"src.wav", "44100 1 16 4000"}}) {
        std::string got;
        ASSERT_EQ(0, testsupport::RunCommand("soxi -r '" + dir / name + "' && soxi -c '" + dir / name +
                                                 "' && soxi -b '" + dir / name + "' && soxi -s '" +
                                                 dir / name + "'",
                                             &got));
        for (char& c : got)
            if (c == '\n')
                c = ' ';
        EXPECT_EQ(expect + " ", got) << name;
    }
}
