#include "adl/AdlFile.h"

#include "platform/Faults.h"
#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

using testsupport::TempDir;

namespace {

// A song description built in code; each section body is a list of lines joined with "\n", which
// Render turns into the line end under test.
struct Song {
    std::string version = "";
    std::string project = "\t\t(PROJ_TITLE)\t\"Demo\"\n"
                          "\t\t(PROJ_ORIGINATOR)\t\"Studio\"\n"
                          "\t\t(PROJ_CREATE_DATE)\t2026-12-07\n"
                          "\t\t(PROJ_NOTES)\t\"take 3\"\n"
                          "\t\t(PROJ_CLIENT_DATA)\t\"x\"\n";
    std::string sequence = "\t\t(SEQ_SAMPLE_RATE)\tS44100\n"
                           "\t\t(SEQ_FRAME_RATE)\t25\n"
                           "\t\t(SEQ_ADL_LEVEL)\t1\n"
                           "\t\t(SEQ_CLEAN)\tFALSE\n"
                           "\t\t(SEQ_DEST_START)\t00.00.00.00|0000\n";
    std::string tracks = "\t\t(Track)\t1\t\"Kick\"\n"
                         "\t\t(Track)\t3\t\"Bass\"\n";
    std::string memlist = "\t\t(Memory)\t01\t\"IN\"\t00.00.01.00|0000\n"
                          "\t\t(Memory)\t02\t\"OUT\"\t00.00.09.00|0000\n";
    std::string tempo = "\t\t(Offset)\t2\n"
                        "\t\t(Signature)\t0001Bar\t4/4Beat\n"
                        "\t\t(Tempo)\t0001Bar\t1Beat\t120.0BPS\n";
    std::string events = "\t\t(Entry)\t0001\t(Cut)\tF\t\"zt50001.wav\"\t1\t3\t00.00.00.00|0000\t"
                         "00.00.02.00|0000\t00.00.04.00|0000\t_\n";
    std::string tail = "</ADL>\n";

    std::string Render(const std::string& eol = "\r\n") const {
        std::string text = "<ADL>\n";
        auto section = [&](const char* tag, const std::string& body) {
            text += std::string("\t<") + tag + ">\n" + body + "\t</" + tag + ">\n";
        };
        section("VERSION", version);
        section("PROJECT", project);
        section("SEQUENCE", sequence);
        section("TRACKLIST", tracks);
        section("MEMLIST", memlist);
        section("TEMPO_MAP", tempo);
        section("EVENT_LIST", events);
        text += tail;
        std::string out;
        for (char c : text) {
            if (c == '\n') {
                out += eol;
            } else {
                out += c;
            }
        }
        return out;
    }
};

std::string EntryLine(int number, const std::string& name = "\"a.wav\"", int track = 1) {
    char head[64];
    std::snprintf(head, sizeof head, "\t\t(Entry)\t%04d\t(Cut)\tF\t", number);
    return head + name + "\t1\t" + std::to_string(track) +
           "\t00.00.00.00|0000\t00.00.01.00|0000\t00.00.02.00|0000\t_\n";
}

class AdlRead : public ::testing::Test {
protected:
    // Writes the text as song.adl and opens it read-only.
    bool OpenText(const std::string& text, bool readOnly = true) {
        path = dir / "song.adl";
        testsupport::WriteText(path, text);
        return adl.Open(path, readOnly);
    }
    bool OpenSong(const Song& song) { return OpenText(song.Render()); }

    TempDir dir;
    std::string path;
    adl::CAdlFile adl;
};

// --- Opening and bad input -------------------------------------------------------------------

TEST_F(AdlRead, ReadsEverySection) {
    ASSERT_TRUE(OpenSong(Song{}));
    EXPECT_TRUE(adl.IsOpen());
    EXPECT_EQ(adl.GetProjectTitle(), "\"Demo\"");
    EXPECT_EQ(adl.GetProjectOriginator(), "\"Studio\"");
    EXPECT_EQ(adl.GetProjectCreateDate(), "2026-12-07");
    EXPECT_EQ(adl.GetProjectNotes(), "\"take 3\"");
    EXPECT_EQ(adl.GetSampleRateCode(), adl::SampleRateCode::Hz44100);
    EXPECT_EQ(adl.GetFrameRateCode(), adl::FrameRateCode::Fps25);
    EXPECT_EQ(adl.GetAdlLevel(), 1);
    EXPECT_EQ(adl.GetClean(), 0);
    EXPECT_EQ(adl.GetDestStart().GetFrameKind(), 2);
    EXPECT_EQ(adl.GetDestStart().GetRateKind(), 2);
    EXPECT_EQ(adl.GetTrackCount(), 2);
    EXPECT_EQ(adl.GetLocateCount(), 2);
    const adl::AdlTempoMap tempo = adl.GetTempoMap();
    EXPECT_EQ(tempo.m_offset, 2);
    EXPECT_STREQ(tempo.m_signatureBar, "0001Bar");
    EXPECT_STREQ(tempo.m_signatureBeat, "4/4Beat");
    EXPECT_STREQ(tempo.m_tempoBar, "0001Bar");
    EXPECT_STREQ(tempo.m_tempoBeat, "1Beat");
    EXPECT_STREQ(tempo.m_tempoValue, "120.0BPS");
    ASSERT_EQ(adl.GetEventCount(), 1);
    adl::AdlEvent ev;
    ASSERT_TRUE(adl.GetEvent(0, &ev));
    EXPECT_EQ(ev.m_entryNumber, 1);
    EXPECT_EQ(ev.m_editType, adl::EditType::Cut);
    EXPECT_EQ(ev.m_sourceKind, adl::SourceKind::File);
    EXPECT_STREQ(ev.m_sourceName, "zt50001.wav");
    EXPECT_EQ(ev.m_sourceChannel, 1);
    EXPECT_EQ(ev.m_destChannel, 3);
    EXPECT_EQ(ev.m_destIn.GetSamples(), 88200u);
    EXPECT_EQ(ev.m_destOut.GetSamples(), 176400u);
    EXPECT_EQ(ev.m_flag, adl::EventFlag::Plain);
    EXPECT_EQ(adl.GetEventSourceName(0), "zt50001.wav");
    EXPECT_EQ(adl.GetEventDestChannel(0), 3);
    EXPECT_EQ(adl.GetEventDestOut(0).GetSamples(), 176400u);
}

TEST_F(AdlRead, ExtensionMustBeAdlOrADL) {
    const std::string text = Song{}.Render();
    for (const char* name : {"a.adl", "b.ADL"}) {
        testsupport::WriteText(dir / name, text);
        adl::CAdlFile f;
        EXPECT_TRUE(f.Open(dir / name, true)) << name;
    }
    for (const char* name : {"c.Adl", "d", "e.adl.bak", "f.adlx"}) {
        testsupport::WriteText(dir / name, text);
        adl::CAdlFile f;
        EXPECT_FALSE(f.Open(dir / name, true)) << name;
    }
    EXPECT_FALSE(adl::CAdlFile::HasAdlExtension("x.adl/song"));
}

TEST_F(AdlRead, BadInputFailsWithTheFileClosed) {
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"junk", std::string("\x00\xff\x7f<ADL\r\r\n\x01", 10) + std::string(5000, '\xfe')},
        {"huge line", "<ADL>\n\t<VERSION>" + std::string(10 * 1024 * 1024, 'x') + "\n"},
        {"no line ends", Song{}.Render("")},
        {"truncated", Song{}.Render().substr(0, 600)},
    };
    for (const Case& c : cases) {
        adl::CAdlFile f;
        testsupport::WriteText(dir / "bad.adl", c.text);
        EXPECT_FALSE(f.Open(dir / "bad.adl", true)) << c.name;
        EXPECT_FALSE(f.IsOpen()) << c.name;
    }
}

TEST_F(AdlRead, FilesThatCannotBeOpened) {
    adl::CAdlFile f;
    EXPECT_FALSE(f.Open(dir / "missing.adl", true));
    ASSERT_TRUE(platform::CreateDirectory(dir / "folder.adl"));
    EXPECT_FALSE(f.Open(dir / "folder.adl", true));
    EXPECT_FALSE(f.IsOpen());

    // Held by another open: no sharing.
    testsupport::WriteText(dir / "held.adl", Song{}.Render());
    adl::CAdlFile first, second;
    ASSERT_TRUE(first.Open(dir / "held.adl", false));
    EXPECT_FALSE(second.Open(dir / "held.adl", true));
    first.Close();
    EXPECT_TRUE(second.Open(dir / "held.adl", true));
    second.Close();

    // A read-only file cannot be opened for writing; an unreadable one not at all.
    ::chmod((dir / "held.adl").c_str(), 0444);
    if (::geteuid() != 0) {
        EXPECT_FALSE(f.Open(dir / "held.adl", false));
        EXPECT_TRUE(f.Open(dir / "held.adl", true));
        f.Close();
        ::chmod((dir / "held.adl").c_str(), 0);
        EXPECT_FALSE(f.Open(dir / "held.adl", true));
    }
    ::chmod((dir / "held.adl").c_str(), 0644);

    // An open refused by the system (as for an unreadable file, also when running as root).
    platform::faults::Plan plan;
    plan.failOpenAt = 1;
    plan.error = EACCES;
    platform::faults::ScopedPlan scoped(plan);
    EXPECT_FALSE(f.Open(dir / "held.adl", true));
    EXPECT_FALSE(f.IsOpen());
}

TEST_F(AdlRead, AReadErrorAnywhereFailsTheOpen) {
    testsupport::WriteText(dir / "song.adl", Song{}.Render());
    int64_t reads = 0;
    {
        platform::faults::ScopedPlan counting(platform::faults::Plan{});
        adl::CAdlFile f;
        ASSERT_TRUE(f.Open(dir / "song.adl", true));
        reads = platform::faults::ReadCount();
    }
    ASSERT_GT(reads, 3);
    for (int64_t at = 1; at <= reads; ++at) {
        platform::faults::Plan plan;
        plan.failReadAt = at;
        platform::faults::ScopedPlan scoped(plan);
        adl::CAdlFile f;
        EXPECT_FALSE(f.Open(dir / "song.adl", true)) << at;
        EXPECT_FALSE(f.IsOpen());
    }
}

TEST_F(AdlRead, CloseLeavesAnOpenedFileUnchanged) {
    const std::string text = Song{}.Render();
    ASSERT_TRUE(OpenText(text, false));
    adl.Close();
    EXPECT_FALSE(adl.IsOpen());
    EXPECT_EQ(testsupport::ReadText(path), text);
}

// --- Line ends ---------------------------------------------------------------------------------

TEST_F(AdlRead, LfCrAndCrLfReadTheSame) {
    Song song;
    song.events = EntryLine(1) + EntryLine(2, "\"b.wav\"", 5);
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        adl::CAdlFile f;
        testsupport::WriteText(dir / "eol.adl", song.Render(eol));
        ASSERT_TRUE(f.Open(dir / "eol.adl", true)) << static_cast<int>(eol[0]);
        EXPECT_EQ(f.GetProjectTitle(), "\"Demo\"");
        EXPECT_EQ(f.GetTrackCount(), 2);
        EXPECT_EQ(f.GetLocateTime(2).GetSamples(), 9u * 44100);
        ASSERT_EQ(f.GetEventCount(), 2);
        EXPECT_EQ(f.GetEventDestChannel(1), 5);
        EXPECT_EQ(f.GetEventSourceName(1), "b.wav");
    }
}

TEST_F(AdlRead, LastLinesWithoutLineEnds) {
    Song song;
    song.tail = "</ADL>";
    std::string text = song.Render();
    text.resize(text.size() - 2); // "</ADL>" without its line end
    EXPECT_TRUE(OpenText(text));
    adl.Close();

    // The event list's closing tag as the last line, ended by a lone CR: the CR ends the line.
    song.tail = "";
    text = song.Render();
    text.resize(text.size() - 1);
    EXPECT_TRUE(OpenText(text));
    adl.Close();

    // A CR as the last byte before a section is complete ends the reading instead of looping.
    EXPECT_FALSE(OpenText("<ADL>\r\n\t<VERSION>\r"));
    EXPECT_FALSE(adl.IsOpen());
}

TEST_F(AdlRead, ReadLineAfterOpenContinuesBehindTheEventList) {
    const std::string text = Song{}.Render() + std::string(398, 'a') + "\r\n" + "x\ry\n\r";
    ASSERT_TRUE(OpenText(text));
    char line[adl::CAdlFile::kLineBufferSize];
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_STREQ(line, "</ADL>");
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_EQ(std::string(line), std::string(398, 'a'));
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_STREQ(line, "x");
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_STREQ(line, "y");
    ASSERT_TRUE(adl.ReadLine(line)); // the lone CR at the end of the file
    EXPECT_STREQ(line, "");
    EXPECT_FALSE(adl.ReadLine(line));
    EXPECT_FALSE(adl.ReadLine(line));

    ASSERT_TRUE(OpenText(Song{}.Render() + std::string(399, 'b') + "\n"));
    ASSERT_TRUE(adl.ReadLine(line));
    EXPECT_FALSE(adl.ReadLine(line));
}

// --- Structure failures --------------------------------------------------------------------------

TEST_F(AdlRead, StructureFailures) {
    struct Case {
        const char* name;
        std::string text;
    };
    const std::string good = Song{}.Render();
    auto without = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    Song emptyProjectLine;
    emptyProjectLine.project += "\t\t\n";
    Song trackWithoutName;
    trackWithoutName.tracks = "\t\t(Track)\t3\n";
    Song tempoTwoValues;
    tempoTwoValues.tempo = "\t\t(Tempo)\t0001Bar\t1Beat\n";
    Song badTime;
    badTime.events = "\t\t(Entry)\t0001\t(Cut)\tF\t\"a.wav\"\t1\t1\t00.00.00.00|0000\t00.00.01.00|000\t"
                     "00.00.02.00|0000\t_\t\n";
    Song badFlag;
    badFlag.events = EntryLine(1);
    badFlag.events.replace(badFlag.events.find("\t_\n"), 3, "\tQ\n");
    Song emptyEventLine;
    emptyEventLine.events = EntryLine(1) + "\n" + EntryLine(2);
    const Case cases[] = {
        {"missing tempo map", without("\t<TEMPO_MAP>", "\t<TEMPO>")},
        {"missing closing tag", without("\t</MEMLIST>", "\t<MEM>")},
        {"version after the event list",
         without("\t<VERSION>\r\n\t</VERSION>\r\n", "") + "\t<VERSION>\r\n\t</VERSION>\r\n"},
        {"project and sequence swapped",
         [&] {
             std::string t = good;
             const size_t p = t.find("\t<PROJECT>"), s = t.find("\t<SEQUENCE>"), e = t.find("\t<TRACKLIST>");
             return t.substr(0, p) + t.substr(s, e - s) + t.substr(p, s - p) + t.substr(e);
         }()},
        {"empty line in project", emptyProjectLine.Render()},
        {"track without name", trackWithoutName.Render()},
        {"tempo with two values", tempoTwoValues.Render()},
        {"unparsable event time", badTime.Render()},
        {"unknown flag", badFlag.Render()},
        {"empty line in event list", emptyEventLine.Render()},
    };
    for (const Case& c : cases) {
        adl::CAdlFile f;
        testsupport::WriteText(dir / "s.adl", c.text);
        EXPECT_FALSE(f.Open(dir / "s.adl", true)) << c.name;
        EXPECT_FALSE(f.IsOpen()) << c.name;
    }
}

// --- Tolerated content ---------------------------------------------------------------------------

TEST_F(AdlRead, ToleratedContent) {
    Song song;
    song.version = "\t\tanything at all\n\n";
    song.project = "\t\t(PROJ_TITLE)\n\t\t(PROJ_UNKNOWN)\tx\n\t\t(PROJ_ORIGNATOR)\t\"written name\"\n"
                   "\t\t(PROJ_NOTE)\t\"n\"\n";
    song.sequence = "\t\t(SEQ_FRAME_RATE)\t29\n\t\t(SEQ_SAMPLE_RATE)\tS96000\n\t\t(SEQ_DEST_START)\tgarbage\n"
                    "\t\t(SEQ_CLEAN)\tTRUE\n\t\t(SEQ_MULTICHAN)\ttrue\n\t\t(SEQ_SORT)\t99999999999\n";
    song.tracks = "\t\t(Track)\t3\t\"Bass\"\n\t\t(Comment)\tx\n";
    song.memlist = "\t\t(Memory)\t01\t\"IN\"\n\t\t(Other)\n\t\t(Memory)\t02\t\"OUT\"\tbad time\textra\n";
    song.tempo = "\t\t(Signature)\t0001Bar\n\t\t(Tempo)\tthis would fail\n";
    song.events = "\t\t(Entry)\t0001\t(Cut)\tF\t\"a.wav\"\t1\t1\n\t\t(Mark)\tx\n" + EntryLine(2) +
                  EntryLine(3) + "\t\t(Entry)\n";
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetProjectTitle(), "");
    EXPECT_EQ(adl.GetProjectOriginator(), ""); // only the reader's keyword counts
    EXPECT_EQ(adl.GetProjectNotes(), "");
    EXPECT_EQ(adl.GetFrameRateCode(), adl::FrameRateCode::None);
    EXPECT_EQ(adl.GetSampleRateCode(), adl::SampleRateCode::None);
    EXPECT_TRUE(adl.GetDestStart().IsInvalid());
    EXPECT_EQ(adl.GetDestStart().GetSamples(), 0u);
    EXPECT_EQ(adl.GetClean(), 1);
    EXPECT_EQ(adl.GetMultichannel(), 0);

    // Any line of the track list takes a record; an unknown one an empty record.
    ASSERT_EQ(adl.GetTrackCount(), 2);
    adl::AdlTrack track;
    ASSERT_TRUE(adl.GetTrack(1, &track));
    EXPECT_EQ(track.m_number, 0);
    EXPECT_STREQ(track.m_name, "");
    std::string name;
    ASSERT_TRUE(adl.GetTrackName(3, &name));
    EXPECT_EQ(name, "\"Bass\"");
    EXPECT_EQ(name.size(), 6u);

    // The short "(Memory)" line is dropped; the bad time marks the time invalid.
    ASSERT_EQ(adl.GetLocateCount(), 1);
    adl::AdlLocate locate;
    ASSERT_TRUE(adl.GetLocate(0, &locate));
    EXPECT_EQ(locate.m_number, 2);
    EXPECT_STREQ(locate.m_name, "\"OUT\"");
    EXPECT_TRUE(locate.m_time.IsInvalid());

    // A signature without beat clears the signature and skips the rest of the tempo map.
    const adl::AdlTempoMap tempo = adl.GetTempoMap();
    EXPECT_STREQ(tempo.m_signatureBar, "");
    EXPECT_STREQ(tempo.m_tempoBar, "");

    ASSERT_EQ(adl.GetEventCount(), 2);
    EXPECT_EQ(adl.GetEventEntryNumber(0), 2);
    EXPECT_EQ(adl.GetEventEntryNumber(1), 3);
}

TEST_F(AdlRead, TempoFieldsMayBeSeparatedBySpaces) {
    Song song;
    song.tempo = "\t\t(Offset)\t7\n\t\t(Tempo)\t0002Bar 2Beat\t96.0BPS\n\t\t(Signature)\t0003Bar 3/4Beat\n";
    ASSERT_TRUE(OpenSong(song));
    const adl::AdlTempoMap tempo = adl.GetTempoMap();
    EXPECT_EQ(tempo.m_offset, 7);
    EXPECT_STREQ(tempo.m_tempoBar, "0002Bar");
    EXPECT_STREQ(tempo.m_tempoBeat, "2Beat");
    EXPECT_STREQ(tempo.m_tempoValue, "96.0BPS");
    EXPECT_STREQ(tempo.m_signatureBar, "0003Bar");
    EXPECT_STREQ(tempo.m_signatureBeat, "3/4Beat"); // the beat is the rest up to the next tab
}

// --- Field values ----------------------------------------------------------------------------------

TEST_F(AdlRead, SourceNameQuotes) {
    struct Row {
        const char* field;
        const char* expected;
    } rows[] = {
        {"\"take one.wav\"", "take one.wav"},
        {"plain.wav", "plain.wav"},
        {"\"open.wav", "open.wav"},
        {"\"", ""},
        {"\"\"", ""},
        {"\"a\"b\"", "a\"b"},
        {"ab\"", "b"},
    };
    std::string events;
    for (int i = 0; i < 7; ++i) {
        events += EntryLine(i + 1, rows[i].field);
    }
    Song song;
    song.events = events;
    ASSERT_TRUE(OpenSong(song));
    ASSERT_EQ(adl.GetEventCount(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(adl.GetEventSourceName(i), rows[i].expected) << rows[i].field;
    }
}

TEST_F(AdlRead, LongValuesAreCutToTheirFields) {
    Song song;
    song.project =
        "\t\t(PROJ_TITLE)\t" + std::string(300, 'T') + "\n\t\t(PROJ_CREATE_DATE)\t2026-12-07T10:00\n";
    song.tracks = "\t\t(Track)\t1\t" + std::string(380, 'n') + "\n";
    song.tempo = "\t\t(Tempo)\t0000000001Bar\t1Beat\t120.0BPS\n";
    song.events = EntryLine(1, "\"" + std::string(300, 'w') + "\"");
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetProjectTitle(), std::string(255, 'T'));
    EXPECT_EQ(adl.GetProjectCreateDate(), "2026-12-07");
    std::string name;
    ASSERT_TRUE(adl.GetTrackName(1, &name));
    EXPECT_EQ(name, std::string(255, 'n'));
    EXPECT_STREQ(adl.GetTempoMap().m_tempoBar, "000000000");
    EXPECT_EQ(adl.GetEventSourceName(0), std::string(259, 'w'));
}

TEST_F(AdlRead, SilenceEntriesCarryNoSourceFields) {
    Song song;
    song.events = "\t\t(Entry)\t0004\t(Silence)\t7\t00.00.03.00|0000\t00.00.05.00|0000\tR\n";
    ASSERT_TRUE(OpenSong(song));
    ASSERT_EQ(adl.GetEventCount(), 1);
    adl::AdlEvent ev;
    ASSERT_TRUE(adl.GetEvent(0, &ev));
    EXPECT_EQ(ev.m_entryNumber, 4);
    EXPECT_EQ(ev.m_editType, adl::EditType::Silence);
    EXPECT_EQ(ev.m_sourceKind, adl::SourceKind::Silence);
    EXPECT_STREQ(ev.m_sourceName, "");
    EXPECT_EQ(ev.m_sourceChannel, 0);
    EXPECT_EQ(ev.m_destChannel, 7);
    EXPECT_EQ(ev.m_sourceIn.GetSamples(), 0u);
    EXPECT_EQ(ev.m_sourceIn.GetFrameKind(), 5);
    EXPECT_EQ(ev.m_sourceIn.GetRateKind(), 2);
    EXPECT_EQ(ev.m_destIn.GetSamples(), 3u * 44100);
    EXPECT_EQ(ev.m_destOut.GetSamples(), 5u * 44100);
    EXPECT_EQ(ev.m_flag, adl::EventFlag::R);
}

TEST_F(AdlRead, EmptyFieldsShiftTheFollowingOnes) {
    // Leading tabs and doubled tabs are one separator: the values move up by one position.
    Song song;
    song.sequence = "(SEQ_SAMPLE_RATE)\t\t\tS22050\n";
    song.tracks = "\t\t(Track)\t\t5\t\t\"Keys\"\n";
    song.events = "\t\t(Entry)\t0001\t(Cut)\tF\t\"a.wav\"\t1\t3\t00.00.00.00|0000\t00.00.01.00|0000\t\t"
                  "00.00.02.00|0000\n"; // flag missing, out field moved up: the line runs out of fields
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetSampleRateCode(), adl::SampleRateCode::Hz22050);
    std::string name;
    ASSERT_TRUE(adl.GetTrackName(5, &name));
    EXPECT_EQ(name, "\"Keys\"");
    EXPECT_EQ(adl.GetEventCount(), 0);

    // An empty destination channel moves a time code onto the channel and "_" onto a time code.
    song.events = "\t\t(Entry)\t0001\t(Cut)\tF\t\"a.wav\"\t1\t\t00.00.00.00|0000\t00.00.01.00|0000\t"
                  "00.00.02.00|0000\t_\tR\n";
    EXPECT_FALSE(OpenSong(song));
}

// --- Line length limit -------------------------------------------------------------------------------

TEST_F(AdlRead, LinesOf398CharactersAreReadAnd399Fail) {
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        Song song;
        const std::string prefix = "\t\t(PROJ_CLIENT_DATA)\t";
        song.project = prefix + std::string(398 - prefix.size(), 'c') + "\n";
        ASSERT_TRUE(OpenText(song.Render(eol))) << static_cast<int>(eol[0]);
        EXPECT_EQ(adl.GetProjectClientData(), std::string(255, 'c'));
        adl.Close();

        song.project = prefix + std::string(399 - prefix.size(), 'c') + "\n";
        EXPECT_FALSE(OpenText(song.Render(eol)));
        EXPECT_FALSE(adl.IsOpen());
    }
}

// --- The event cap ---------------------------------------------------------------------------------

TEST_F(AdlRead, At5000EntriesTheRestIsIgnored) {
    Song song;
    song.events.clear();
    for (int i = 1; i <= 5003; ++i) {
        song.events += EntryLine(i % 10000, "\"a.wav\"", 1 + i % 16);
    }
    song.events += "\t\t(Entry)\tbroken line\n\t\tno keyword\t\n";
    ASSERT_TRUE(OpenSong(song));
    ASSERT_EQ(adl.GetEventCount(), 5000);
    EXPECT_EQ(adl.GetEventEntryNumber(4999), 5000);
    adl::AdlEvent ev;
    EXPECT_TRUE(adl.GetEvent(4999, &ev));
    EXPECT_FALSE(adl.GetEvent(5000, &ev));

    song.events.clear();
    for (int i = 1; i <= 4999; ++i) {
        song.events += EntryLine(i);
    }
    song.events += "\t\t(Entry)\n" + EntryLine(5000) + "\t\t\n"; // the cap stops before the bad line
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetEventCount(), 5000);
}

// --- Queries -----------------------------------------------------------------------------------------

TEST(AdlQueries, FreshObject) {
    adl::CAdlFile adl;
    EXPECT_EQ(adl.GetEventCount(), 0);
    EXPECT_EQ(adl.GetDestStart().Format(), "00.00.00.00|0000");
    adl::AdlEvent ev;
    EXPECT_FALSE(adl.GetEvent(0, &ev));
    EXPECT_EQ(adl.GetEventFlag(0), adl::EventFlag::None);
    EXPECT_EQ(adl.GetEventSourceName(-1), "");
    EXPECT_EQ(adl.GetLocateTime(1).GetSamples(), 0u);
}

TEST_F(AdlRead, LocateTimeLookup) {
    Song song;
    song.memlist = "\t\t(Memory)\t01\t\"A\"\t00.00.01.00|0000\n";
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetLocateTime(2).GetSamples(), 44100u); // 2 exceeds the count: taken as 1
    EXPECT_EQ(adl.GetLocateTime(1).GetSamples(), 44100u);
    adl.Close();

    song.memlist = "\t\t(Memory)\t02\t\"B\"\t00.00.02.00|0000\n"
                   "\t\t(Memory)\t05\t\"X\"\t00.00.05.00|0000\n"
                   "\t\t(Memory)\t01\t\"A\"\t00.00.01.00|0000\n";
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetLocateTime(2).GetSamples(), 2u * 44100);
    EXPECT_EQ(adl.GetLocateTime(1).GetSamples(), 0u); // only the first two records are examined
    EXPECT_EQ(adl.GetLocateTime(1).GetFrameKind(), 2);
    std::string name = "unchanged";
    EXPECT_TRUE(adl.GetLocateName(1, &name));
    EXPECT_EQ(name, "\"A\"");
    name = "unchanged";
    EXPECT_FALSE(adl.GetLocateName(9, &name));
    EXPECT_FALSE(adl.GetTrackName(16, &name));
    EXPECT_EQ(name, "unchanged");
}

TEST_F(AdlRead, ReopeningReplacesTheLists) {
    Song song;
    song.events = EntryLine(1) + EntryLine(2) + EntryLine(3);
    ASSERT_TRUE(OpenSong(song));
    EXPECT_EQ(adl.GetEventCount(), 3);
    ASSERT_TRUE(OpenSong(Song{}));
    EXPECT_EQ(adl.GetEventCount(), 1);
    EXPECT_EQ(adl.GetTrackCount(), 2);
}

} // namespace

namespace {

TEST(AdlFixture, DemoSongOpens) {
    adl::CAdlFile adl;
    ASSERT_TRUE(adl.Open(testsupport::DataPath("demo.adl"), true));
    EXPECT_EQ(adl.GetTrackCount(), 16);
    EXPECT_EQ(adl.GetEventCount(), 9);
    EXPECT_EQ(adl.GetEventEditType(8), adl::EditType::Silence);
    EXPECT_EQ(adl.GetLocateTime(2).Format(), "00.03.12.10|0000");
}

} // namespace

namespace {

// Damaged copies of a real song: any outcome is fine as long as a failed open leaves the file closed
// and nothing reads or writes out of bounds (the sanitizer build watches that).
TEST(AdlFixture, DamagedSongsOpenOrFailCleanly) {
    const std::string song = testsupport::ReadText(testsupport::DataPath("demo.adl"));
    ASSERT_FALSE(song.empty());
    TempDir dir;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const char kBytes[] = {'\t', '\r', '\n', '"', '|', '.', ',', '/', '0', '9', ' ', '\0', '(', 'L', '\xff'};
    for (int round = 0; round < 300; ++round) {
        std::string text = song;
        const int edits = 1 + static_cast<int>(next() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text[at] = kBytes[next() % sizeof kBytes];
                break;
            case 1:
                text.erase(at, 1 + next() % 40);
                break;
            default:
                text.insert(at, std::string(1 + next() % 300, kBytes[next() % sizeof kBytes]));
                break;
            }
        }
        testsupport::WriteText(dir / "d.adl", text);
        adl::CAdlFile adl;
        if (adl.Open(dir / "d.adl", true)) {
            EXPECT_LE(adl.GetEventCount(), adl::CAdlFile::kMaxEvents);
            for (int i = 0; i < adl.GetEventCount(); ++i) {
                EXPECT_LT(adl.GetEventSourceName(i).size(), 260u);
            }
        } else {
            EXPECT_FALSE(adl.IsOpen()) << round;
        }
    }
}

} // namespace
