#include "wave/Riff.h"

#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

using namespace wave;

namespace {

// The chunk walk over files of every shape: what it finds, in which letter case, and why it stops.
TEST(RiffWalk, FindsTellsMissingFromShortAndMatchesCaseOnlyWhenAsked) {
    testsupport::WavShape lower;
    lower.riff = "riff";
    lower.wave = "Wave";
    lower.dataId = "DATA";
    testsupport::WavShape odd;
    odd.before = {{"LIST", std::vector<uint8_t>(7, 1)}};
    testsupport::WavShape noData;
    noData.withData = false;
    const auto plain = testsupport::MakeWav(testsupport::Pcm(100));
    auto junkFirst = plain;
    junkFirst.insert(junkFirst.begin(), {'J', 'U', 'N', 'K', 2, 0, 0, 0, 0, 0});
    auto overrun = testsupport::MakeWav({}, noData);
    overrun.insert(overrun.end(), {'L', 'I', 'S', 'T', 9, 0, 0, 0, 1}); // a chunk past the end

    using R = FindResult;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        FindOptions options;
        R riff, data; // data is looked for after the RIFF header, up to the end of the file
    };
    const FindOptions exact, anyCase{IdCase::Any}, first{IdCase::Any, true};
    const Case cases[] = {
        {"plain", plain, exact, R::Found, R::Found},
        {"odd chunk with its pad byte", testsupport::MakeWav({}, odd), exact, R::Found, R::Found},
        {"lower case, exact", testsupport::MakeWav({}, lower), exact, R::Missing, R::Missing},
        {"lower case, any case", testsupport::MakeWav({}, lower), anyCase, R::Found, R::Found},
        {"no data chunk", testsupport::MakeWav({}, noData), exact, R::Found, R::Missing},
        {"a chunk past the end", overrun, exact, R::Found, R::Short},
        {"RIFF after another chunk", junkFirst, exact, R::Found, R::Found},
        {"RIFF after another chunk, first only", junkFirst, first, R::Missing, R::Missing},
        {"empty, first only", {}, first, R::Short, R::Short},
        {"cut in the RIFF header", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A'}, exact, R::Short, R::Short},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / "t.wav";
        ASSERT_TRUE(testsupport::WriteBytes(path, c.bytes));
        platform::File file;
        ASSERT_TRUE(file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting));
        ChunkInfo riff;
        riff.formType = kWaveId;
        EXPECT_EQ(Find(file, &riff, nullptr, FindKind::Riff, c.options), c.riff);
        if (c.riff != R::Found)
            continue;
        EXPECT_EQ(file.Tell(), riff.dataOffset + 4);
        ChunkInfo data;
        data.id = kDataId;
        EXPECT_EQ(Find(file, &data, nullptr, FindKind::Chunk, {c.options.idCase}), c.data);
        if (c.data == R::Found) {
            EXPECT_EQ(file.Tell(), data.dataOffset);
        }
    }
}

} // namespace
