#include "adl/AdlFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A silence written by AddEvent must read back: the line carries no source fields.
TEST(AdlWriterSilence, ASilenceEntryReadsBackAndKeepsTheSongOpenable) {
    testsupport::TempDir dir;
    const std::string path = dir / "song.adl";
    {
        adl::CAdlFile adl;
        ASSERT_TRUE(adl.Create(path));
        adl.WriteVersion();
        adl.WriteProject(adl::AdlProject{}, 0);
        adl::AdlSequence sequence;
        sequence.m_sampleRateCode = adl::SampleRateCode::Hz44100;
        adl.WriteSequence(sequence, 0x004);
        adl.WriteTrackList();
        adl.WriteMemoryList();
        adl.WriteTempoMap(adl::AdlTempoMap{}, 0);
        adl.WriteEventList();
        adl.Close();
    }
    adl::CAdlFile adl;
    ASSERT_TRUE(adl.Open(path, false));
    adl::AdlEvent silence;
    silence.m_editType = adl::EditType::Silence;
    silence.m_sourceKind = adl::SourceKind::Silence;
    silence.m_destChannel = 7;
    silence.m_destIn.Set(44100, adl::CTimeCode::FPS_25, adl::CTimeCode::RATE_44100);
    silence.m_destOut.Set(88200, adl::CTimeCode::FPS_25, adl::CTimeCode::RATE_44100);
    ASSERT_TRUE(adl.AddEvent(silence));
    adl.Close();
    EXPECT_NE(testsupport::ReadText(path).find(
                  "\t\t(Entry)\t0001\t(Silence)\t7\t00.00.01.00|0000\t00.00.02.00|0000\t_\r\n"),
              std::string::npos);

    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(path, true));
    ASSERT_EQ(back.GetEventCount(), 1);
    EXPECT_EQ(back.GetEventEditType(0), adl::EditType::Silence);
    EXPECT_EQ(back.GetEventSourceKind(0), adl::SourceKind::Silence);
    EXPECT_EQ(back.GetEventDestChannel(0), 7);
    EXPECT_EQ(back.GetEventDestIn(0).GetSamples(), 44100u);
    EXPECT_EQ(back.GetEventDestOut(0).GetSamples(), 88200u);
    EXPECT_EQ(back.GetEventFlag(0), adl::EventFlag::Plain);
}

} // namespace
