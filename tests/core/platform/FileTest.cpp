#include "platform/File.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::Whence;
using testsupport::TempDir;

namespace {

TEST(FileOpen, CreateNewRefusesAnExistingFileAndLeavesItAlone) {
    TempDir dir;
    const auto path = dir / "a.adl";
    testsupport::WriteText(path, "keep");
    File f;
    EXPECT_FALSE(f.Open(path, Access::ReadWrite, Disposition::CreateNew));
    EXPECT_EQ(f.LastError(), EEXIST);
    EXPECT_EQ(testsupport::ReadText(path), "keep");
}

TEST(FileOpen, OpenExistingFailsOnMissingFileAndOnDirectory) {
    TempDir dir;
    File f;
    EXPECT_FALSE(f.Open(dir / "missing.adl", Access::Read, Disposition::OpenExisting));
    EXPECT_FALSE(f.Open(dir.Path(), Access::Read, Disposition::OpenExisting));
    EXPECT_FALSE(f.IsOpen());
}

TEST(FileOpen, ASecondOpenOfAHeldFileFailsUntilTheFirstCloses) {
    TempDir dir;
    const auto path = dir / "held.wav";
    testsupport::WriteText(path, "x");
    File first, second;
    ASSERT_TRUE(first.Open(path, Access::Read, Disposition::OpenExisting));
    EXPECT_FALSE(second.Open(path, Access::Read, Disposition::OpenExisting));
    EXPECT_FALSE(second.Open(path, Access::ReadWrite, Disposition::OpenExisting));
    first.Close();
    EXPECT_TRUE(second.Open(path, Access::ReadWrite, Disposition::OpenExisting));
}

TEST(FileOpen, ReadOnlyFileRefusesWrites) {
    TempDir dir;
    const auto path = dir / "r.bin";
    testsupport::WriteText(path, "abc");
    File f;
    ASSERT_TRUE(f.Open(path, Access::Read, Disposition::OpenExisting));
    EXPECT_EQ(f.Write("x", 1), -1);
    EXPECT_FALSE(f.SetEndOfFile());
}

TEST(FileIo, BufferedReadsKeepTheLogicalPosition) {
    TempDir dir;
    const auto path = dir / "lines.txt";
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += static_cast<char>('a' + i % 26);
    testsupport::WriteText(path, text);
    File f;
    ASSERT_TRUE(f.Open(path, Access::Read, Disposition::OpenExisting));
    uint8_t b = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(f.ReadByte(&b), 1);
        ASSERT_EQ(b, static_cast<uint8_t>(text[static_cast<size_t>(i)]));
        ASSERT_EQ(f.Tell(), i + 1);
    }
    // Moving back one byte, as a line reader does after a lone CR, re-reads that byte.
    EXPECT_EQ(f.Seek(-1, Whence::Current), 999);
    ASSERT_EQ(f.ReadByte(&b), 1);
    EXPECT_EQ(b, static_cast<uint8_t>(text[999]));
    EXPECT_EQ(f.Seek(-1, Whence::End), 49999);
    ASSERT_EQ(f.ReadByte(&b), 1);
    EXPECT_EQ(f.ReadByte(&b), 0);
    EXPECT_EQ(f.Tell(), 50000);
}

TEST(FileIo, WritesReadBackAcrossSeeksAndBuffering) {
    TempDir dir;
    const auto path = dir / "w.bin";
    File f;
    ASSERT_TRUE(f.Open(path, Access::ReadWrite, Disposition::CreateNew));
    std::vector<uint8_t> block(2048);
    for (int i = 0; i < 300; ++i) {
        std::fill(block.begin(), block.end(), static_cast<uint8_t>(i));
        ASSERT_EQ(f.Write(block.data(), block.size()), 2048);
    }
    EXPECT_EQ(f.Size(), 300 * 2048);
    // Patch a header while the tail is still buffered, then read both back.
    ASSERT_EQ(f.Seek(4, Whence::Begin), 4);
    ASSERT_EQ(f.Write("WXYZ", 4), 4);
    ASSERT_EQ(f.Seek(0, Whence::Begin), 0);
    uint8_t head[8] = {};
    ASSERT_EQ(f.Read(head, 8), 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 4), 4), "WXYZ");
    ASSERT_EQ(f.Seek(-1, Whence::End), 300 * 2048 - 1);
    uint8_t last = 0;
    ASSERT_EQ(f.Read(&last, 1), 1);
    EXPECT_EQ(last, 299 % 256);
    ASSERT_TRUE(f.Close());
    EXPECT_EQ(testsupport::ReadBytes(path).size(), 300u * 2048u);
}

TEST(FileIo, SequentialWritesFromUnalignedStartsReadBackWhole) {
    // Starts and piece sizes around the write buffer's 256 KiB boundaries: before, on and after one,
    // pieces that straddle it, and pieces larger than the buffer.
    struct Case {
        int64_t start;
        size_t piece;
        int count;
    } cases[] = {
        {0, 2048, 300}, {32760, 8, 1},       {32760, 2048, 200}, {262143, 2, 3}, {262144 - 2048, 2352, 150},
        {1, 262144, 3}, {262144, 600000, 2}, {100, 1, 5000},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " + " << c.count << " x " << c.piece);
        const auto path = dir / "w.bin";
        platform::DeleteFile(path);
        std::vector<uint8_t> expect(static_cast<size_t>(c.start), 0), piece(c.piece);
        File f;
        ASSERT_TRUE(f.Open(path, Access::ReadWrite, Disposition::CreateNew));
        ASSERT_EQ(f.Seek(c.start, Whence::Begin), c.start);
        for (int i = 0; i < c.count; ++i) {
            for (size_t k = 0; k < piece.size(); ++k)
                piece[k] = static_cast<uint8_t>(i * 31 + k);
            ASSERT_EQ(f.Write(piece.data(), piece.size()), static_cast<int64_t>(piece.size()));
            expect.insert(expect.end(), piece.begin(), piece.end());
            ASSERT_EQ(f.Tell(), static_cast<int64_t>(expect.size()));
            if (i == c.count / 2) {
                // Reading back in the middle hands the buffer over; writing then goes on where it stood.
                ASSERT_EQ(f.Size(), static_cast<int64_t>(expect.size()));
                ASSERT_EQ(f.Seek(c.start, Whence::Begin), c.start);
                std::vector<uint8_t> got(expect.size() - static_cast<size_t>(c.start));
                ASSERT_EQ(f.Read(got.data(), got.size()), static_cast<int64_t>(got.size()));
                ASSERT_TRUE(std::equal(got.begin(), got.end(), expect.begin() + c.start));
            }
        }
        EXPECT_EQ(f.Size(), static_cast<int64_t>(expect.size()));
        ASSERT_TRUE(f.Close());
        EXPECT_TRUE(testsupport::ReadBytes(path) == expect);
    }
}

TEST(FileIo, SetEndOfFileTruncatesAtThePosition) {
    TempDir dir;
    const auto path = dir / "t.bin";
    File f;
    ASSERT_TRUE(f.Open(path, Access::ReadWrite, Disposition::CreateNew));
    ASSERT_EQ(f.Write("0123456789", 10), 10);
    ASSERT_EQ(f.Seek(4, Whence::Begin), 4);
    ASSERT_TRUE(f.SetEndOfFile());
    EXPECT_EQ(f.Size(), 4);
    f.Close();
    EXPECT_EQ(testsupport::ReadText(path), "0123");
}

TEST(FileIo, SeekBeforeTheStartIsRefused) {
    TempDir dir;
    const auto path = dir / "s.bin";
    testsupport::WriteText(path, "ab");
    File f;
    ASSERT_TRUE(f.Open(path, Access::Read, Disposition::OpenExisting));
    EXPECT_EQ(f.Seek(-3, Whence::End), -1);
    EXPECT_EQ(f.Tell(), 0);
}

TEST(FileFaults, TheNthWriteFailsAndOnlyThatOne) {
    TempDir dir;
    File f;
    ASSERT_TRUE(f.Open(dir / "f.bin", Access::ReadWrite, Disposition::CreateNew));
    platform::faults::ScopedPlan plan({.failWriteAt = 3, .error = ENOSPC});
    EXPECT_EQ(f.Write("a", 1), 1);
    EXPECT_EQ(f.Write("b", 1), 1);
    EXPECT_EQ(f.Write("c", 1), -1);
    EXPECT_EQ(f.LastError(), ENOSPC);
    EXPECT_EQ(f.Write("d", 1), 1);
    EXPECT_EQ(platform::faults::WriteCount(), 4);
}

TEST(FileFaults, AFullCardFailsEveryWriteFromTheNthOn) {
    TempDir dir;
    File f;
    ASSERT_TRUE(f.Open(dir / "f.bin", Access::ReadWrite, Disposition::CreateNew));
    platform::faults::ScopedPlan plan({.failWriteAt = 2, .writesStayFailed = true, .error = ENOSPC});
    EXPECT_EQ(f.Write("a", 1), 1);
    EXPECT_EQ(f.Write("b", 1), -1);
    EXPECT_EQ(f.Write("c", 1), -1);
}

TEST(FileFaults, InjectedReadAndOpenFailures) {
    TempDir dir;
    const auto path = dir / "r.bin";
    testsupport::WriteText(path, "abc");
    {
        platform::faults::ScopedPlan plan({.failOpenAt = 1});
        File f;
        EXPECT_FALSE(f.Open(path, Access::Read, Disposition::OpenExisting));
    }
    platform::faults::ScopedPlan plan({.failReadAt = 2});
    File f;
    ASSERT_TRUE(f.Open(path, Access::Read, Disposition::OpenExisting));
    uint8_t b = 0;
    EXPECT_EQ(f.ReadByte(&b), 1);
    EXPECT_EQ(f.ReadByte(&b), -1);
    EXPECT_EQ(f.ReadByte(&b), 1);
    EXPECT_EQ(b, 'b');
}

} // namespace
