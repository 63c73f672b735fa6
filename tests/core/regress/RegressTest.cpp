// Inputs the fuzz targets once crashed or hung on, replayed the way the target ran them: each must now
// end with a clean failure (or the result written next to it), and nothing may be left untested.

#include "Harness.h"
#include "TestSupport.h"
#include "adl/TimeCode.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

enum class Target { Adl, TimeCode, Wave, Staging };

fuzzing::Outcome Replay(Target target, const std::vector<uint8_t>& bytes, const std::string& workDir) {
    switch (target) {
    case Target::Adl:
        return fuzzing::ExerciseAdl(bytes.data(), bytes.size(), workDir);
    case Target::TimeCode:
        return fuzzing::CheckTimeCodeRoundTrip(bytes.data(), bytes.size());
    case Target::Wave:
        return fuzzing::ExerciseWave(bytes.data(), bytes.size(), workDir);
    case Target::Staging:
        return fuzzing::ExerciseStaging(bytes.data(), bytes.size(), workDir);
    }
    return fuzzing::Outcome::Broken;
}

struct Kept {
    const char* file; // in tests/data/fuzz
    Target target;
    fuzzing::Outcome outcome; // what the harness answers now; never Broken
};

// One row per kept input; the file name says what was wrong.
const Kept kKept[] = {
    // Passes 2^32 samples and lands between two 29.97 fps samples: reads back as the next one, as expected.
    {"timecode-2997-wrapped-between-samples.txt", Target::TimeCode, fuzzing::Outcome::Accepted},
};

TEST(FuzzRegression, KeptInputsEndCleanly) {
    for (const Kept& k : kKept) {
        SCOPED_TRACE(k.file);
        const auto bytes = testsupport::ReadBytes(testsupport::DataPath(std::string("fuzz/") + k.file));
        ASSERT_FALSE(bytes.empty());
        testsupport::TempDir dir;
        EXPECT_EQ(Replay(k.target, bytes, dir.Path()), k.outcome);
    }
}

TEST(FuzzRegression, EveryKeptInputHasARow) {
    std::set<std::string> listed;
    for (const Kept& k : kKept)
        listed.insert(k.file);
    for (const auto& entry : platform::FindFiles(testsupport::DataPath("fuzz"), "*"))
        EXPECT_TRUE(listed.count(entry.name)) << entry.name << " has no row in kKept";
}

// The rounding the time-code target lets pass, pinned: the text's position (wrapped at 2^32) lies between
// two 29.97 fps samples, and its text form reads back as the next sample.
TEST(FuzzRegression, WrappedNtscPositionFormatsAsTheNextSample) {
    adl::CTimeCode parsed;
    ASSERT_TRUE(parsed.Parse("26:63:00.00|0619"));
    EXPECT_EQ(parsed.GetSamples(), 3785781u);
    adl::CTimeCode again;
    ASSERT_TRUE(again.Parse(parsed.Format().c_str()));
    EXPECT_EQ(again.GetSamples(), 3785782u);
}

// The harness must tell a good input from a bad one, or the rows above would prove nothing.
TEST(FuzzRegression, HarnessAcceptsSoundInputs) {
    const std::string seeds = PELMORA_FUZZ_SEEDS;
    struct Case {
        Target target;
        std::string path;
    };
    const Case cases[] = {
        {Target::Adl, testsupport::DataPath("demo.adl")},     {Target::TimeCode, seeds + "/timecode/00.txt"},
        {Target::TimeCode, seeds + "/timecode/04.txt"},       {Target::Wave, seeds + "/wave/plain.wav"},
        {Target::Wave, seeds + "/wave/list-before-data.wav"}, {Target::Staging, seeds + "/wave/padded.wav"},
        {Target::Staging, seeds + "/wave/lowercase.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto bytes = testsupport::ReadBytes(c.path);
        ASSERT_FALSE(bytes.empty());
        testsupport::TempDir dir;
        EXPECT_EQ(Replay(c.target, bytes, dir.Path()), fuzzing::Outcome::Accepted);
    }
    testsupport::TempDir dir;
    const std::vector<uint8_t> empty;
    for (Target target : {Target::Adl, Target::TimeCode, Target::Wave, Target::Staging})
        EXPECT_EQ(Replay(target, empty, dir.Path()), fuzzing::Outcome::Refused);
}

} // namespace
