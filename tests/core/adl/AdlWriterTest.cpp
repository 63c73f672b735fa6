#include "adl/AdlFile.h"

#include "platform/Faults.h"
#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::ReadText;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

adl::CTimeCode Zero(uint8_t rateKind) {
    adl::CTimeCode t;
    t.Set(0, adl::CTimeCode::FPS_25, rateKind);
    return t;
}

// Writes a complete new song file in the order and with the masks a new song is made with.
void WriteNewSong(adl::CAdlFile& adl, adl::SampleRateCode sampleRateCode, uint8_t rateKind) {
    ASSERT_TRUE(adl.WriteVersion());
    adl::AdlProject project;
    std::snprintf(project.m_title, sizeof project.m_title, "A:\\Song04");
    std::snprintf(project.m_originator, sizeof project.m_originator, "Studio");
    std::snprintf(project.m_createDate, sizeof project.m_createDate, "2026-12-07");
    std::snprintf(project.m_notes, sizeof project.m_notes, " ");
    std::snprintf(project.m_clientData, sizeof project.m_clientData, " ");
    ASSERT_TRUE(adl.WriteProject(project, 0x1F));
    adl::AdlSequence sequence;
    sequence.m_sampleRateCode = sampleRateCode;
    sequence.m_frameRateCode = adl::FrameRateCode::Fps25;
    sequence.m_adlLevel = 1;
    sequence.m_destStart = Zero(rateKind);
    ASSERT_TRUE(adl.WriteSequence(sequence, 0x274));
    ASSERT_TRUE(adl.WriteTrackList());
    for (uint16_t n = 1; n <= 16; ++n) {
        adl::AdlTrack track;
        track.m_number = n;
        std::snprintf(track.m_name, sizeof track.m_name, " ");
        ASSERT_TRUE(adl.AddTrack(track));
    }
    ASSERT_TRUE(adl.WriteMemoryList());
    for (const char* name : {"IN", "OUT"}) {
        adl::AdlLocate locate;
        locate.m_number = 77; // the writer numbers locate points itself
        std::snprintf(locate.m_name, sizeof locate.m_name, "%s", name);
        locate.m_time = Zero(rateKind);
        ASSERT_TRUE(adl.AddLocate(locate));
    }
    adl::AdlTempoMap tempo;
    tempo.m_offset = 2;
    std::snprintf(tempo.m_signatureBar, sizeof tempo.m_signatureBar, "0001Bar");
    std::snprintf(tempo.m_signatureBeat, sizeof tempo.m_signatureBeat, "4/4Beat");
    std::snprintf(tempo.m_tempoBar, sizeof tempo.m_tempoBar, "0001Bar");
    std::snprintf(tempo.m_tempoBeat, sizeof tempo.m_tempoBeat, "1Beat");
    std::snprintf(tempo.m_tempoValue, sizeof tempo.m_tempoValue, "120.0BPS");
    ASSERT_TRUE(adl.WriteTempoMap(tempo, 0x7));
    ASSERT_TRUE(adl.WriteEventList());
}

adl::AdlEvent Cut(const char* name, uint8_t track, uint32_t length,
                  uint8_t rateKind = adl::CTimeCode::RATE_44100) {
    adl::AdlEvent ev;
    ev.m_editType = adl::EditType::Cut;
    ev.m_sourceKind = adl::SourceKind::File;
    std::snprintf(ev.m_sourceName, sizeof ev.m_sourceName, "%s", name);
    ev.m_sourceChannel = 1;
    ev.m_destChannel = track;
    ev.m_sourceIn = Zero(rateKind);
    ev.m_destIn = Zero(rateKind);
    ev.m_destOut = Zero(rateKind);
    ev.m_destOut.SetSamples(length);
    ev.m_flag = adl::EventFlag::Plain;
    return ev;
}

// A minimal readable song whose event list body is given.
std::string SongText(const std::string& events, const std::string& tail = "</ADL>\r\n") {
    return "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<PROJECT>\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n"
           "\t\t(SEQ_SAMPLE_RATE)\tS44100\r\n\t\t(SEQ_DEST_START)\t00.00.00.00|0000\r\n\t</SEQUENCE>\r\n"
           "\t<TRACKLIST>\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n\t</MEMLIST>\r\n\t<TEMPO_MAP>\r\n\t</"
           "TEMPO_MAP>\r\n"
           "\t<EVENT_LIST>\r\n" +
           events + "\t</EVENT_LIST>\r\n" + tail;
}

std::string Entry(int number) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "\t\t(Entry)\t%04d\t(Cut)\tF\t\"a.wav\"\t1\t1\t00.00.00.00|0000\t00.00.00.00|0000\t"
                  "00.00.01.00|0000\t_\r\n",
                  number);
    return line;
}

class AdlWrite : public ::testing::Test {
protected:
    std::string Path(const char* name = "song.adl") const { return dir / name; }
    // Writes text as song.adl and opens it for update.
    void OpenText(const std::string& text) {
        ASSERT_TRUE(WriteText(Path(), text));
        ASSERT_TRUE(adl.Open(Path(), false));
    }

    TempDir dir;
    adl::CAdlFile adl;
};

// --- New files -------------------------------------------------------------------------------

TEST_F(AdlWrite, NewSongReadsBackWithEveryField) {
    ASSERT_TRUE(adl.Create(Path()));
    WriteNewSong(adl, adl::SampleRateCode::Hz44100, adl::CTimeCode::RATE_44100);
    adl.Close();

    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(Path(), true));
    EXPECT_EQ(back.GetProjectTitle(), "\"A:\\Song04\"");
    EXPECT_EQ(back.GetProjectCreateDate(), "2026-12-07");
    EXPECT_EQ(back.GetProjectClientData(), "\" \"");
    // Written under keywords that the reader does not take.
    EXPECT_EQ(back.GetProjectOriginator(), "");
    EXPECT_EQ(back.GetProjectNotes(), "");
    EXPECT_EQ(back.GetSampleRateCode(), adl::SampleRateCode::Hz44100);
    EXPECT_EQ(back.GetFrameRateCode(), adl::FrameRateCode::Fps25);
    EXPECT_EQ(back.GetAdlLevel(), 1);
    EXPECT_EQ(back.GetClean(), 0);
    EXPECT_FALSE(back.GetDestStart().IsInvalid());
    EXPECT_EQ(back.GetDestStart().GetFrameKind(), adl::CTimeCode::FPS_25);
    EXPECT_EQ(back.GetDestStart().GetRateKind(), adl::CTimeCode::RATE_44100);
    ASSERT_EQ(back.GetTrackCount(), 16);
    for (int i = 0; i < 16; ++i) {
        adl::AdlTrack track;
        ASSERT_TRUE(back.GetTrack(i, &track));
        EXPECT_EQ(track.m_number, i + 1);
        EXPECT_STREQ(track.m_name, "\" \"");
    }
    ASSERT_EQ(back.GetLocateCount(), 2);
    std::string name;
    EXPECT_TRUE(back.GetLocateName(1, &name));
    EXPECT_EQ(name, "\"IN\"");
    EXPECT_TRUE(back.GetLocateName(2, &name));
    EXPECT_EQ(name, "\"OUT\"");
    const adl::AdlTempoMap tempo = back.GetTempoMap();
    EXPECT_EQ(tempo.m_offset, 2);
    EXPECT_STREQ(tempo.m_signatureBar, "0001Bar");
    EXPECT_STREQ(tempo.m_signatureBeat, "4/4Beat");
    EXPECT_STREQ(tempo.m_tempoBar, "0001Bar");
    EXPECT_STREQ(tempo.m_tempoBeat, "1Beat");
    EXPECT_STREQ(tempo.m_tempoValue, "120.0BPS");
    EXPECT_EQ(back.GetEventCount(), 0);
    // The closing line comes once, from Close of the created file.
    const std::string text = ReadText(Path());
    EXPECT_EQ(text.substr(0, 7), "<ADL>\r\n");
    EXPECT_EQ(text.substr(text.size() - 24), "\t</EVENT_LIST>\r\n</ADL>\r\n");
}

TEST_F(AdlWrite, A48kHzSongWritesSlashAndReadsBack) {
    ASSERT_TRUE(adl.Create(Path()));
    WriteNewSong(adl, adl::SampleRateCode::Hz48000, adl::CTimeCode::RATE_48000);
    ASSERT_TRUE(adl.AddEvent(Cut("zt50001.wav", 3, 48000, adl::CTimeCode::RATE_48000)));
    adl.Close();
    const std::string text = ReadText(Path());
    EXPECT_NE(text.find("\t\t(SEQ_SAMPLE_RATE)\tS48000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t(SEQ_DEST_START)\t00.00.00.00/0000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t(Memory)\t01\t\"IN\"\t00.00.00.00/0000\r\n"), std::string::npos);

    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(Path(), true));
    EXPECT_EQ(back.GetSampleRateCode(), adl::SampleRateCode::Hz48000);
    EXPECT_EQ(back.GetDestStart().GetRateKind(), adl::CTimeCode::RATE_48000);
    ASSERT_EQ(back.GetEventCount(), 1);
    EXPECT_EQ(back.GetEventDestOut(0).GetSamples(), 48000u);
}

TEST_F(AdlWrite, MasksChooseTheLines) {
    ASSERT_TRUE(adl.Create(Path()));
    adl::AdlProject project;
    std::snprintf(project.m_title, sizeof project.m_title, "T");
    std::snprintf(project.m_notes, sizeof project.m_notes, "N");
    ASSERT_TRUE(adl.WriteProject(project, 0x09));
    adl::AdlSequence seq;
    seq.m_sampleRateCode = adl::SampleRateCode::None;         // no sample-rate line
    seq.m_frameRateCode = static_cast<adl::FrameRateCode>(4); // no frame-rate line
    seq.m_sampleRateFactor = 7;
    seq.m_sort = 3;
    seq.m_multichannel = 1;
    seq.m_clean = 5;
    std::snprintf(seq.m_title, sizeof seq.m_title, "Seq");
    std::snprintf(seq.m_description, sizeof seq.m_description, "Desc");
    ASSERT_TRUE(adl.WriteSequence(seq, 0x3FF));
    adl::AdlTempoMap tempo;
    tempo.m_offset = 9;
    ASSERT_TRUE(adl.WriteTempoMap(tempo, 0x1));
    adl.Close();
    EXPECT_EQ(ReadText(Path()),
              "<ADL>\r\n"
              "\t<PROJECT>\r\n\t\t(PROJ_TITLE)\t\"T\"\r\n\t\t(PROJ_NOTE)\t\"N\"\r\n\t</PROJECT>\r\n"
              "\t<SEQUENCE>\r\n\t\t(SEQ_TITLE)\tSeq\r\n\t\t(SEQ_DESCRIPT)\tDesc\r\n"
              "\t\t(SEQ_SAMP_RATE_FACTOR)\t7\r\n\t\t(SEQ_ADL_LEVEL)\t0\r\n\t\t(SEQ_CLEAN)\tTRUE\r\n"
              "\t\t(SEQ_SORT)\t3\r\n\t\t(SEQ_MULTICHAN)\tTRUE\r\n"
              "\t\t(SEQ_DEST_START)\t00.00.00.00|0000\r\n\t</SEQUENCE>\r\n"
              "\t<TEMPO_MAP>\r\n\t\t(Offset)\t9\r\n\t</TEMPO_MAP>\r\n"
              "</ADL>\r\n");
}

TEST_F(AdlWrite, FrameAndRateCodesHaveTheirTexts) {
    const struct {
        adl::FrameRateCode frame;
        const char* line;
    } frames[] = {{adl::FrameRateCode::Fps24, "(SEQ_FRAME_RATE)\t24"},
                  {adl::FrameRateCode::Fps25, "(SEQ_FRAME_RATE)\t25"},
                  {adl::FrameRateCode::Fps2997, "(SEQ_FRAME_RATE)\t29"},
                  {adl::FrameRateCode::Fps30, "(SEQ_FRAME_RATE)\t30"}};
    for (const auto& f : frames) {
        TempDir d;
        adl::CAdlFile a;
        ASSERT_TRUE(a.Create(d / "x.adl"));
        adl::AdlSequence seq;
        seq.m_frameRateCode = f.frame;
        seq.m_sampleRateCode = static_cast<adl::SampleRateCode>(static_cast<int>(f.frame) % 4); // 1, 2, 3, 1
        ASSERT_TRUE(a.WriteSequence(seq, 0x014));
        a.Close();
        const std::string text = ReadText(d / "x.adl");
        EXPECT_NE(text.find(f.line), std::string::npos) << f.line;
        static const char* const kRates[] = {"", "S48000", "S44100", "S22050"};
        EXPECT_NE(text.find(kRates[static_cast<int>(f.frame) % 4]), std::string::npos);
    }
}

TEST_F(AdlWrite, SectionsAreWrittenOnce) {
    ASSERT_TRUE(adl.Create(Path()));
    ASSERT_TRUE(adl.WriteVersion());
    ASSERT_TRUE(adl.WriteVersion());
    ASSERT_TRUE(adl.WriteEventList());
    ASSERT_TRUE(adl.WriteEventList());
    adl::AdlProject project;
    ASSERT_TRUE(adl.WriteProject(project, 0x1));
    ASSERT_TRUE(adl.WriteProject(project, 0x1));
    adl.Close();
    EXPECT_EQ(ReadText(Path()),
              "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n\t<EVENT_LIST>\r\n\t</EVENT_LIST>\r\n"
              "\t<PROJECT>\r\n\t\t(PROJ_TITLE)\t\"\"\r\n\t</PROJECT>\r\n</ADL>\r\n");

    // On a song read from the card as well.
    const std::string song = SongText("");
    OpenText(song);
    EXPECT_TRUE(adl.WriteVersion());
    adl.Close();
    EXPECT_EQ(ReadText(Path()), song);
}

TEST_F(AdlWrite, CreateNeverOverwrites) {
    ASSERT_TRUE(WriteText(Path(), "keep me"));
    EXPECT_FALSE(adl.Create(Path()));
    EXPECT_FALSE(adl.IsOpen());
    EXPECT_EQ(ReadText(Path()), "keep me");
    // The extension rule of Open holds here too.
    EXPECT_FALSE(adl.Create(Path("new.Adl")));
    EXPECT_FALSE(platform::PathExists(Path("new.Adl")));
    EXPECT_TRUE(adl.Create(Path("new.ADL")));
}

// --- Inserted lines --------------------------------------------------------------------------

TEST_F(AdlWrite, EventLineFields) {
    OpenText(SongText(""));
    adl::AdlEvent ev = Cut("zt50001.wav", 200, 441);
    ev.m_sourceChannel = 9;        // always written as 1
    ev.m_flag = adl::EventFlag::R; // always written as "_"
    ev.m_entryNumber = 55;         // numbered by the writer
    ev.m_sourceIn.SetSamples(44100);
    ev.m_destIn.SetSamples(88200);
    ev.m_destOut.SetSamples(132300);
    ASSERT_TRUE(adl.AddEvent(ev));
    const struct {
        adl::EditType type;
        adl::SourceKind kind;
        const char* text;
    } kinds[] = {{adl::EditType::Aux, adl::SourceKind::File, "(Aux)\tF"},
                 {adl::EditType::Vid, adl::SourceKind::None, "(Vid)\tF"},
                 {adl::EditType::Alt, adl::SourceKind::Silence, "(Alt)\tF"},
                 {adl::EditType::None, adl::SourceKind::File, "(Cut)\tF"},
                 {static_cast<adl::EditType>(9), adl::SourceKind::File, "(Cut)\tF"}};
    for (const auto& k : kinds) {
        adl::AdlEvent other = Cut("b.wav", 2, 10);
        other.m_editType = k.type;
        other.m_sourceKind = k.kind;
        ASSERT_TRUE(adl.AddEvent(other));
    }
    adl.Close();
    const std::string text = ReadText(Path());
    EXPECT_NE(
        text.find("\t\t(Entry)\t0001\t(Cut)\tF\t\"zt50001.wav\"\t1\t200\t00.00.01.00|0000\t00.00.02.00|0000\t"
                  "00.00.03.00|0000\t_\r\n"),
        std::string::npos);
    int number = 2;
    for (const auto& k : kinds) {
        char head[64];
        std::snprintf(head, sizeof head, "\t\t(Entry)\t%04d\t%s\t\"b.wav\"\t1\t2\t", number++, k.text);
        EXPECT_NE(text.find(head), std::string::npos) << head;
    }
}

TEST_F(AdlWrite, EntryNumbersFollowTheHighest) {
    const struct {
        const char* what;
        std::string events;
        const char* expected;
    } cases[] = {
        {"empty list", "", "\t\t(Entry)\t0001\t"},
        {"0001 to 0007", Entry(1) + Entry(2) + Entry(3) + Entry(4) + Entry(5) + Entry(6) + Entry(7),
         "\t\t(Entry)\t0008\t"},
        // Numbers behind another line still count, so no number is given twice.
        {"comment in between", Entry(1) + "\t\t(Comment)\tx\r\n" + Entry(5) + Entry(2),
         "\t\t(Entry)\t0006\t"},
        {"out of order", Entry(9) + Entry(3), "\t\t(Entry)\t0010\t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        adl::CAdlFile a;
        ASSERT_TRUE(WriteText(Path(), SongText(c.events)));
        ASSERT_TRUE(a.Open(Path(), false));
        ASSERT_TRUE(a.AddEvent(Cut("n.wav", 1, 10)));
        a.Close();
        const std::string text = ReadText(Path());
        const std::string expectedLine = std::string(c.expected) + "(Cut)\tF\t\"n.wav\"";
        const size_t at = text.find(expectedLine);
        ASSERT_NE(at, std::string::npos);
        // Everything before the new line is as it was, and the line stands last in the list.
        EXPECT_EQ(text.substr(0, at), SongText(c.events).substr(0, at));
        EXPECT_EQ(text.find("\r\n", at) + 2, text.find("\t</EVENT_LIST>"));
    }
}

TEST_F(AdlWrite, LocateNumbersFollowTheHighest) {
    std::string song = SongText("");
    song.replace(song.find("\t</MEMLIST>"), 0,
                 "\t\t(Memory)\t02\t\"B\"\t00.00.00.00|0000\r\n\t\t(Note)\tx\r\n"
                 "\t\t(Memory)\t04\t\"D\"\t00.00.00.00|0000\r\n");
    OpenText(song);
    adl::AdlLocate locate;
    std::snprintf(locate.m_name, sizeof locate.m_name, "E");
    ASSERT_TRUE(adl.AddLocate(locate));
    adl.Close();
    EXPECT_NE(ReadText(Path()).find("\t\t(Memory)\t05\t\"E\"\t00.00.00.00|0000\r\n\t</MEMLIST>"),
              std::string::npos);
}

TEST_F(AdlWrite, TextAfterTheEndIsKept) {
    OpenText(SongText(Entry(1), "</ADL>\r\ntrailing\r\nmore"));
    ASSERT_TRUE(adl.AddEvent(Cut("t.wav", 4, 100)));
    adl.Close();
    const std::string text = ReadText(Path());
    const size_t at = text.find("\t\t(Entry)\t0002");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(text.find("\r\n", at) + 2), "\t</EVENT_LIST>\r\n</ADL>\r\ntrailing\r\nmore");
}

TEST_F(AdlWrite, UnwritableTimeCodesWriteNothing) {
    const std::string song = SongText(Entry(1));
    OpenText(song);
    adl::AdlEvent ev = Cut("x.wav", 1, 10);
    ev.m_destOut.Set(10, adl::CTimeCode::FPS_25, adl::CTimeCode::RATE_32000); // has no text form
    EXPECT_FALSE(adl.AddEvent(ev));
    ev = Cut("x.wav", 1, 10);
    ev.m_sourceIn.Set(0, 0, 0);
    EXPECT_FALSE(adl.AddEvent(ev));
    adl::AdlLocate locate;
    locate.m_time.Set(0, 0, 0);
    EXPECT_FALSE(adl.AddLocate(locate));
    adl.Close();
    EXPECT_EQ(ReadText(Path()), song);
}

TEST_F(AdlWrite, InsertWithoutTheSectionFails) {
    ASSERT_TRUE(adl.Create(Path()));
    ASSERT_TRUE(adl.WriteVersion());
    EXPECT_FALSE(adl.AddEvent(Cut("x.wav", 1, 10)));
    adl::AdlTrack track;
    EXPECT_FALSE(adl.AddTrack(track));
    adl.Close();
    EXPECT_EQ(ReadText(Path()), "<ADL>\r\n\t<VERSION>\r\n\t</VERSION>\r\n</ADL>\r\n");
    adl::CAdlFile closed;
    EXPECT_FALSE(closed.AddEvent(Cut("x.wav", 1, 10)));
    EXPECT_FALSE(closed.WriteVersion());
    // A song opened for reading only never changes.
    const std::string song = SongText(Entry(1));
    ASSERT_TRUE(WriteText(Path("ro.adl"), song));
    adl::CAdlFile readOnly;
    ASSERT_TRUE(readOnly.Open(Path("ro.adl"), true));
    EXPECT_FALSE(readOnly.AddEvent(Cut("x.wav", 1, 10)));
    EXPECT_FALSE(readOnly.ClearEvents());
    readOnly.Close();
    EXPECT_EQ(ReadText(Path("ro.adl")), song);
}

TEST_F(AdlWrite, FindLinePositionsAtTheLine) {
    OpenText(SongText(Entry(1)));
    char line[adl::CAdlFile::kLineBufferSize];
    ASSERT_TRUE(adl.FindLine("(Entry)"));
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_EQ(std::string(line) + "\r\n", Entry(1));
    EXPECT_FALSE(adl.FindLine("(Nowhere)"));
    EXPECT_FALSE(adl.ReadLine(line)); // at the end of the file
}

TEST_F(AdlWrite, ClearRemovesEveryContentLine) {
    std::string song = SongText(Entry(1) + Entry(2));
    song.replace(song.find("\t</TRACKLIST>"), 0, "\t\t(Track)\t1\t\"a\"\r\n\t\t(Track)\t2\t\"b\"\r\n");
    OpenText(song);
    EXPECT_EQ(adl.GetEventCount(), 2);
    ASSERT_TRUE(adl.ClearEvents());
    ASSERT_TRUE(adl.ClearTracks());
    ASSERT_TRUE(adl.ClearLocates()); // none there: nothing changes
    EXPECT_EQ(adl.GetEventCount(), 0);
    EXPECT_EQ(adl.GetTrackCount(), 0);
    adl.Close();
    EXPECT_EQ(ReadText(Path()), SongText(""));
}

// --- Changing a song that is on the card -----------------------------------------------------

TEST_F(AdlWrite, AnOpenedSongStaysHeldAcrossUpdates) {
    OpenText(SongText(""));
    ASSERT_TRUE(adl.AddEvent(Cut("a.wav", 1, 10)));
    ASSERT_TRUE(adl.AddEvent(Cut("b.wav", 2, 10)));
    // No second program can open the song meanwhile, and no temporary file is left.
    adl::CAdlFile other;
    EXPECT_FALSE(other.Open(Path(), true));
    EXPECT_FALSE(platform::PathExists(adl::CAdlFile::UpdatePath(Path())));
    adl.Close();
    ASSERT_TRUE(other.Open(Path(), true));
    EXPECT_EQ(other.GetEventCount(), 2);
}

TEST_F(AdlWrite, AFailedWriteLeavesTheSongAsItWas) {
    const std::string song = SongText(Entry(1));
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        adl::CAdlFile a;
        ASSERT_TRUE(WriteText(Path(), song));
        ASSERT_TRUE(a.Open(Path(), false));
        bool added = false;
        {
            platform::faults::ScopedPlan plan({.failWriteAt = n});
            added = a.AddEvent(Cut("c.wav", 1, 10));
        }
        a.Close();
        EXPECT_FALSE(platform::PathExists(adl::CAdlFile::UpdatePath(Path())));
        adl::CAdlFile back;
        ASSERT_TRUE(back.Open(Path(), true));
        EXPECT_EQ(back.GetEventCount(), added ? 2 : 1);
        if (!added) {
            EXPECT_EQ(ReadText(Path()), song);
        }
    }
}

TEST_F(AdlWrite, AFailedReadNeverRepeatsANumber) {
    const std::string song = SongText(Entry(1) + Entry(2));
    testsupport::SweepFaults(200, [&](int64_t n) {
        SCOPED_TRACE(n);
        adl::CAdlFile a;
        EXPECT_TRUE(WriteText(Path(), song));
        EXPECT_TRUE(a.Open(Path(), false));
        bool added = false;
        int64_t reads = 0;
        {
            platform::faults::ScopedPlan plan({.failReadAt = n});
            added = a.AddEvent(Cut("c.wav", 1, 10));
            reads = platform::faults::ReadCount();
        }
        a.Close();
        const std::string text = ReadText(Path());
        if (added) {
            EXPECT_NE(text.find("\t\t(Entry)\t0003\t(Cut)\tF\t\"c.wav\""), std::string::npos);
        } else {
            EXPECT_EQ(text, song);
        }
        if (reads < n) {
            EXPECT_TRUE(added);
        }
        return reads;
    });
}

} // namespace
