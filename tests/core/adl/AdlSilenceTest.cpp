#include "adl/AdlFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A silence written by AddEvent must read back: the line carries no source fields.
TEST(AdlWriterSilence, ASilenceEntryReadsBackAndKeepsTheSongOpenable) {
    testsupport::TempDir dir;
    const std::string path = dir / "song.adl";
    {
        CAdlFile adl;
        ASSERT_TRUE(adl.Create(path));
        adl.WriteVersion();
        adl.WriteProject(AdlProject{}, 0);
        AdlSequence sequence;
        sequence.m_sampleRateCode = 2;
        adl.WriteSequence(sequence, 0x004);
        adl.WriteTrackList();
        adl.WriteMemoryList();
        adl.WriteTempoMap(AdlTempoMap{}, 0);
        adl.WriteEventList();
        adl.Close();
    }
    CAdlFile adl;
    ASSERT_TRUE(adl.Open(path, false));
    AdlEvent silence;
    silence.m_editType = 2;
    silence.m_sourceKind = 3;
    silence.m_destChannel = 7;
    silence.m_destIn.Set(44100, CTimeCode::FPS_25, CTimeCode::RATE_44100);
    silence.m_destOut.Set(88200, CTimeCode::FPS_25, CTimeCode::RATE_44100);
    ASSERT_TRUE(adl.AddEvent(silence));
    adl.Close();
    EXPECT_NE(testsupport::ReadText(path).find(
                  "\t\t(Entry)\t0001\t(Silence)\t7\t00.00.01.00|0000\t00.00.02.00|0000\t_\r\n"),
              std::string::npos);

    CAdlFile back;
    ASSERT_TRUE(back.Open(path, true));
    ASSERT_EQ(back.GetEventCount(), 1);
    EXPECT_EQ(back.GetEventEditType(0), 2);
    EXPECT_EQ(back.GetEventSourceKind(0), 3);
    EXPECT_EQ(back.GetEventDestChannel(0), 7);
    EXPECT_EQ(back.GetEventDestIn(0).GetSamples(), 44100u);
    EXPECT_EQ(back.GetEventDestOut(0).GetSamples(), 88200u);
    EXPECT_EQ(back.GetEventFlag(0), 6);
}

} // namespace
