#include "card/ExportJob.h"
#include "card/Backup.h"
#include "card/JobLock.h"
#include "card/NewSong.h"
#include "card/SongName.h"

#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <unistd.h>

using namespace testsupport;
using card::ExportCommand;
using card::ExportOutcome;
using platform::MbResult;
using testsupport::ReadText;
using testsupport::TempDir;

namespace {

constexpr adl::SampleRateCode k44 = adl::SampleRateCode::Hz44100;
constexpr adl::SampleRateCode k48 = adl::SampleRateCode::Hz48000;

std::string LocalDate() {
    const platform::LocalTime now = platform::GetLocalTime();
    return platform::Format("%d-%02d-%02d", now.year, now.month, now.day);
}

// The golden file with the creation date of today.
std::string Golden(const std::string& name) {
    std::string text = ReadText(testsupport::DataPath(name));
    const size_t at = text.find("2026-12-07");
    EXPECT_NE(at, std::string::npos);
    return text.replace(at, 10, LocalDate());
}

std::string WithEvents(std::string song, const std::string& lines) {
    return song.insert(song.find("\t</EVENT_LIST>"), lines);
}

void ExpectSongIsWhole(const std::string& songFolder, const std::string& adlPath, const card::ExportResult& r,
                       const std::map<int, uint32_t>& lengths);

class ExportTest : public ::testing::Test {
protected:
    std::string Card() const { return m_card.Path(); }
    std::string Pc() const { return m_pc.Path(); }
    std::string SongFolder(const std::string& song = "Song04") const { return m_card / song; }
    std::string Adl(const std::string& song = "Song04") const { return card::AdlPath(Card(), song); }
    std::string Audio(int n, const std::string& song = "Song04") const {
        return platform::JoinPath(SongFolder(song), platform::Format("zt5%04d.wav", n));
    }

    card::ExportParams Params(std::initializer_list<int> tracks, const std::string& song = "Song04") const {
        card::ExportParams p;
        p.card = Card();
        p.song = song;
        p.pcFolder = Pc();
        for (int t : tracks)
            p.tracks[t - 1] = true;
        return p;
    }
    void PcTrack(int track, uint32_t samples, WavFormat f = {}) {
        ASSERT_TRUE(
            WritePcWav(platform::JoinPath(Pc(), platform::Format("tr%02d.wav", track)), track, samples, f));
    }
    // A new song made the way the Export button makes it, at the rate of tr01.wav.
    void NewSong(const std::string& song = "Song04") {
        ScriptedMessageBox quiet;
        ASSERT_TRUE(card::CreateNewSong(SongFolder(song), Pc(), Params({1}).tracks, &quiet));
        ASSERT_TRUE(quiet.Texts().empty());
    }
    card::ExportResult Run(const card::ExportParams& p, const platform::CancelFlag* cancel = nullptr) {
        return card::RunExport(p, &m_box, &m_lines, &m_bar, cancel, &m_page);
    }

    TempDir m_card;
    TempDir m_pc;
    ScriptedMessageBox m_box;
    RecordingTextLine m_lines;
    RecordingBar m_bar;
    RecordingTarget m_page;
};

// --- New songs -------------------------------------------------------------------------------

TEST_F(ExportTest, NewSongMatchesTheGoldenFile) {
    PcTrack(1, 100);
    NewSong();
    EXPECT_EQ(ReadText(Adl()), Golden("newsong44100.adl"));
    EXPECT_TRUE(platform::IsDirectory(SongFolder() + "/2mix"));
}

TEST_F(ExportTest, ThreeTracksIntoANewSong) {
    PcTrack(1, 1024);
    PcTrack(3, 3000);
    PcTrack(16, 5001);
    NewSong();
    const card::ExportResult r = Run(Params({1, 3, 16}));
    EXPECT_EQ(r.outcome, ExportOutcome::Finished);
    EXPECT_TRUE(m_box.Texts().empty());
    EXPECT_EQ(r.written, (std::vector<int>{1, 3, 16}));
    EXPECT_EQ(r.files, (std::vector<std::string>{"zt50001.wav", "zt50002.wav", "zt50003.wav"}));
    // Byte for byte: the new song plus three Cuts from 0 to each file's length on its own track.
    EXPECT_EQ(ReadText(Adl()), WithEvents(Golden("newsong44100.adl"), EntryLine(1, 1, 1, 1024, k44) +
                                                                          EntryLine(2, 2, 3, 3000, k44) +
                                                                          EntryLine(3, 3, 16, 5001, k44)));
    EXPECT_EQ(CardAudio(Audio(1)), Marks(1, 1024));
    EXPECT_EQ(CardAudio(Audio(2)), Marks(3, 3000));
    EXPECT_EQ(CardAudio(Audio(3)), Marks(16, 5001));
    EXPECT_EQ(m_lines.texts,
              (std::vector<std::string>{"PC to ZT   Track1", "PC to ZT   Track3", "PC to ZT   Track16"}));
    EXPECT_EQ(m_page.Values(wave::WM_TRANSFER_RANGE), (std::vector<uintptr_t>{2048, 6000, 10002}));
    for (const auto& m : m_page.messages)
        EXPECT_TRUE(m.notified) << "the page is never waited for: " << m.id;
    EXPECT_FALSE(platform::PathExists(adl::CAdlFile::UpdatePath(Adl())));

    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(Adl(), true));
    ASSERT_EQ(back.GetEventCount(), 3);
    EXPECT_EQ(back.GetEventDestChannel(2), 16);
    EXPECT_EQ(back.GetEventDestOut(2).GetSamples(), 5001u);
}

TEST_F(ExportTest, A48kHzSongOpensAgainAfterTheExport) {
    PcTrack(1, 2000, {.rate = 48000});
    PcTrack(2, 700, {.rate = 48000});
    NewSong();
    const std::string created = ReadText(Adl());
    EXPECT_NE(created.find("(SEQ_SAMPLE_RATE)\tS48000"), std::string::npos);
    EXPECT_NE(created.find("(SEQ_DEST_START)\t00.00.00.00/0000"), std::string::npos);
    EXPECT_EQ(Run(Params({1, 2})).outcome, ExportOutcome::Finished);
    EXPECT_EQ(ReadText(Adl()),
              WithEvents(created, EntryLine(1, 1, 1, 2000, k48) + EntryLine(2, 2, 2, 700, k48)));
    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(Adl(), true));
    ASSERT_EQ(back.GetEventCount(), 2);
    EXPECT_EQ(back.GetEventDestOut(0).GetSamples(), 2000u);
    EXPECT_EQ(back.GetEventDestOut(1).GetRateKind(), adl::TimeCodeRateKind(k48));
}

TEST_F(ExportTest, NewSongRateComesFromTheLowestTickedTrack) {
    PcTrack(1, 10, {.rate = 44100});
    PcTrack(2, 10, {.rate = 22050});
    ScriptedMessageBox box;
    ASSERT_TRUE(card::CreateNewSong(SongFolder(), Pc(), Params({2, 5}).tracks, &box));
    adl::CAdlFile back;
    ASSERT_TRUE(back.Open(Adl(), true));
    EXPECT_EQ(back.GetSampleRateCode(), adl::SampleRateCode::Hz22050);
    EXPECT_EQ(back.GetDestStart().GetRateKind(), adl::CTimeCode::RATE_22050);
}

TEST_F(ExportTest, NewSongRefusals) {
    PcTrack(1, 10, {.rate = 32000});
    const struct {
        const char* what;
        card::ExportParams params;
        const char* message;
    } cases[] = {
        // Refused before anything is made.
        {"unsupported rate", Params({1}), "Sampling Frequency not supported!"},
        {"no file for the track", Params({2}), "New song create error !"},
        {"no track ticked", Params({}), "New song create error !"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMessageBox box;
        EXPECT_FALSE(card::CreateNewSong(SongFolder(), Pc(), c.params.tracks, &box));
        EXPECT_EQ(box.Texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(platform::PathExists(SongFolder()));
    }
    // A folder that cannot be made (it is there already).
    PcTrack(1, 10);
    ASSERT_TRUE(platform::CreateDirectory(SongFolder()));
    ScriptedMessageBox box;
    EXPECT_FALSE(card::CreateNewSong(SongFolder(), Pc(), Params({1}).tracks, &box));
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"This song is protected !"});
}

TEST_F(ExportTest, NewSongWhoseAdlCannotBeWritten) {
    PcTrack(1, 10);
    // Open 1 reads tr01.wav, open 2 creates the ADL file; then every write of it in turn.
    bool made = false;
    for (int step = 0; step < 400 && !made; ++step) {
        SCOPED_TRACE(step);
        platform::faults::Plan plan;
        if (step == 0)
            plan.failOpenAt = 2;
        else
            plan.failWriteAt = step;
        ScriptedMessageBox box;
        {
            platform::faults::ScopedPlan armed(plan);
            made = card::CreateNewSong(SongFolder(), Pc(), Params({1}).tracks, &box);
        }
        if (made) {
            EXPECT_EQ(ReadText(Adl()), Golden("newsong44100.adl"));
        } else {
            EXPECT_EQ(box.Texts(), std::vector<std::string>{"New song create error !"});
            EXPECT_FALSE(platform::PathExists(SongFolder()));
        }
    }
    EXPECT_TRUE(made);
}

// --- The export command ----------------------------------------------------------------------

TEST_F(ExportTest, CommandForANewSong) {
    PcTrack(1, 10);
    m_box.QueueAnswer(MbResult::Cancel);
    EXPECT_EQ(card::PrepareExport(Params({1}), &m_box), ExportCommand::Stopped);
    EXPECT_FALSE(platform::PathExists(SongFolder()));
    EXPECT_EQ(card::PrepareExport(Params({1}), &m_box), ExportCommand::RunNewSong);
    EXPECT_TRUE(platform::PathExists(Adl()));
    EXPECT_EQ(m_box.Texts(), (std::vector<std::string>{"Create new song. Are you ok ?\nsong name : Song04",
                                                       "Create new song. Are you ok ?\nsong name : Song04"}));
    EXPECT_EQ(m_box.Messages()[0].buttons, platform::MbButtons::OkCancel);
}

TEST_F(ExportTest, CommandForAnExistingSong) {
    PcTrack(1, 10);
    NewSong();
    // A folder called chk must not make the card look unwritable.
    ASSERT_TRUE(platform::CreateDirectory(m_card / "chk"));
    m_box.QueueAnswer(MbResult::Cancel);
    EXPECT_EQ(card::PrepareExport(Params({1}), &m_box), ExportCommand::Stopped);
    EXPECT_EQ(card::PrepareExport(Params({1}), &m_box), ExportCommand::Run);
    EXPECT_EQ(m_box.Texts(), (std::vector<std::string>{"Overwrite this song?\nsong name : Song04",
                                                       "Overwrite this song?\nsong name : Song04"}));
}

TEST_F(ExportTest, CommandRefusals) {
    PcTrack(1, 10);
    for (int n = 1; n <= 99; ++n)
        ASSERT_TRUE(platform::CreateDirectory(m_card / platform::Format("S%02d", n)));
    EXPECT_EQ(card::PrepareExport(Params({1}), &m_box), ExportCommand::TooManySongs);
    EXPECT_FALSE(platform::PathExists(SongFolder()));
    // An existing song on a full card is fine.
    m_box.QueueAnswer(MbResult::Cancel);
    EXPECT_EQ(card::PrepareExport(Params({1}, "S50"), &m_box), ExportCommand::Stopped);

    card::ExportParams noCard = Params({1});
    noCard.card.clear();
    EXPECT_EQ(card::PrepareExport(noCard, &m_box), ExportCommand::Stopped);
    card::ExportParams badName = Params({1}, "a/b");
    EXPECT_EQ(card::PrepareExport(badName, &m_box), ExportCommand::Stopped);
    EXPECT_EQ(m_box.Texts(),
              (std::vector<std::string>{"Can't create song more !", "Overwrite this song?\nsong name : S50",
                                        "Can't export song !", "Can't export song !"}));
}

TEST_F(ExportTest, NewSongFilesAreCheckedBeforeTheQuestion) {
    // The new song's rate is that of the lowest-numbered ticked file; a refusal asks nothing and makes
    // nothing on the card.
    PcTrack(1, 10);
    PcTrack(2, 10, {.rate = 48000});
    PcTrack(3, 10, {.rate = 48000});
    PcTrack(4, 10, {.channels = 2, .rate = 48000});
    PcTrack(5, 10, {.bits = 24});
    PcTrack(6, 10, {.rate = 32000});
    card::ExportParams gone = Params({1});
    gone.pcFolder = m_pc / "gone";
    const struct {
        const char* what;
        card::ExportParams params;
        std::string message;
    } cases[] = {
        {"no track ticked", Params({}), "Select tracks."},
        {"a second file at another rate", Params({1, 2}), "Sampling Frequency not matched!"},
        {"the rate of the lowest ticked file", Params({2, 3, 4}), "Wave file not acceptable!"},
        {"24 bits", Params({5}), "Bit digit not matched!"},
        {"a rate no song can have", Params({6}), "Sampling Frequency not supported!"},
        {"a ticked file gone", Params({1, 7}), "Can not read wave file!\nfile : " + m_pc / "tr07.wav"},
        {"the PC folder gone", gone, "Can not read wave file!\nfile : " + m_pc / "gone/tr01.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMessageBox box;
        EXPECT_EQ(card::PrepareExport(c.params, &box), ExportCommand::Stopped);
        EXPECT_EQ(box.Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(platform::FindFiles(Card(), "*").empty());
    }
    ScriptedMessageBox box;
    ASSERT_EQ(card::PrepareExport(Params({2, 3}), &box), ExportCommand::RunNewSong);
    EXPECT_EQ(Run(Params({2, 3})).outcome, ExportOutcome::Finished);
    EXPECT_NE(ReadText(Adl()).find("(SEQ_SAMPLE_RATE)\tS48000"), std::string::npos);
}

TEST_F(ExportTest, ACardOrFolderGoneIsNamed) {
    // The song was chosen, then the card was pulled out, the song or the PC folder removed: the user is
    // told which, nothing is written, and what is on the card stays whole.
    const std::string sel = m_pc / "sel";
    const auto prepare = [&] {
        testsupport::RemoveTree(Card());
        testsupport::RemoveTree(sel);
        ASSERT_TRUE(platform::CreateDirectory(Card()));
        ASSERT_TRUE(platform::CreateDirectory(sel));
        for (int n = 1; n <= 2; ++n)
            ASSERT_TRUE(WritePcWav(platform::JoinPath(sel, platform::Format("tr%02d.wav", n)), n, 3000));
        ScriptedMessageBox quiet;
        ASSERT_TRUE(card::CreateNewSong(SongFolder(), sel, Params({1}).tracks, &quiet));
    };
    const std::string cardGone = "The card cannot be found.\ncard : " + Card();
    const std::string songGone = "The song cannot be found on the card.\nfolder : " + SongFolder();
    const struct {
        const char* what;
        std::function<void()> before;  // after the song was chosen
        std::function<void()> inTrack; // while track `track` is copied
        int track;
        ExportOutcome outcome;
        std::string message;
        std::vector<int> written;
    } cases[] = {
        {"card pulled out",
         [&] { testsupport::RemoveTree(Card()); },
         {},
         0,
         ExportOutcome::Refused,
         cardGone,
         {}},
        {"song removed",
         [&] { testsupport::RemoveTree(SongFolder()); },
         {},
         0,
         ExportOutcome::Refused,
         songGone,
         {}},
        {"PC folder removed",
         [&] { testsupport::RemoveTree(sel); },
         {},
         0,
         ExportOutcome::Refused,
         "Can not read wave file!\nfile : " + sel + "/tr01.wav",
         {}},
        {"card pulled out in the copy",
         {},
         [&] { testsupport::RemoveTree(Card()); },
         1,
         ExportOutcome::Failed,
         cardGone,
         {}},
        {"PC folder removed in the copy",
         {},
         [&] { testsupport::RemoveTree(sel); },
         1,
         ExportOutcome::Failed,
         "Can not read wave file!\nfile : " + sel + "/tr02.wav",
         {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prepare();
        card::ExportParams p = Params({1, 2});
        p.pcFolder = sel;
        ScriptedMessageBox box;
        ASSERT_EQ(card::PrepareExport(p, &box), ExportCommand::Run);
        if (c.before)
            c.before();
        if (c.inTrack)
            m_page.ActOn(wave::WM_TRANSFER_POS, 1, c.inTrack,
                         [&] { return m_lines.Last() == platform::Format("PC to ZT   Track%d", c.track); });
        const card::ExportResult r = card::RunExport(p, &box, &m_lines, nullptr, nullptr, &m_page);
        m_page.onMessage = {};
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(box.Texts(),
                  (std::vector<std::string>{"Overwrite this song?\nsong name : Song04", c.message}));
        EXPECT_EQ(r.written, c.written);
        if (platform::IsDirectory(SongFolder()))
            ExpectSongIsWhole(SongFolder(), Adl(), r, {{1, 3000}, {2, 3000}});
    }
    // Asked again with the card gone: no new song is offered in its place.
    testsupport::RemoveTree(Card());
    ScriptedMessageBox box;
    EXPECT_EQ(card::PrepareExport(Params({1}), &box), ExportCommand::Stopped);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{cardGone});
    EXPECT_FALSE(platform::PathExists(Card()));
}

TEST_F(ExportTest, ANewSongNamedWithSixteenBytesOfUtf8) {
    PcTrack(1, 700);
    for (const std::string name : {"S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng1",
                                   "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA9"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(name.size(), card::kMaxSongNameLength);
        ScriptedMessageBox box;
        ASSERT_EQ(card::PrepareExport(Params({1}, name), &box), ExportCommand::RunNewSong);
        const card::ExportResult r = card::RunExport(Params({1}, name), &box, nullptr, nullptr, nullptr);
        EXPECT_EQ(r.outcome, ExportOutcome::Finished);
        EXPECT_EQ(box.Texts(),
                  std::vector<std::string>{"Create new song. Are you ok ?\nsong name : " + name});
        EXPECT_NE(ReadText(Adl(name)).find("\"A:\\" + name + "\""), std::string::npos);
        EXPECT_EQ(CardAudio(Audio(1, name)), Marks(1, 700));
    }
    EXPECT_EQ(card::ListSongs(Card()).size(), 2u);
    // One byte more is refused whole, never cut inside a character.
    const std::string longer = "S\xC3\xA4ngS\xC3\xA4ngS\xC3\xA4ng\xC3\xA4";
    ScriptedMessageBox box;
    EXPECT_EQ(card::PrepareExport(Params({1}, longer), &box), ExportCommand::Stopped);
    EXPECT_EQ(box.Texts(),
              std::vector<std::string>{"The song name is longer than 16 characters.\nsong name : " + longer});
    EXPECT_EQ(card::ListSongs(Card()).size(), 2u);
}

// --- The job's checks ------------------------------------------------------------------------

TEST_F(ExportTest, TrackChecks) {
    PcTrack(1, 10);
    NewSong();
    const struct {
        const char* what;
        WavFormat format;
        const char* message;
    } cases[] = {
        {"rate", {.rate = 48000}, "Sampling Frequency not matched!"},
        {"8 bits", {.bits = 8}, "Bit digit not matched!"},
        {"24 bits", {.bits = 24}, "Bit digit not matched!"},
        {"stereo", {.channels = 2}, "Wave file not acceptable!"},
    };
    const std::string song = ReadText(Adl());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PcTrack(2, 10, c.format);
        ScriptedMessageBox box;
        const card::ExportResult r = card::RunExport(Params({1, 2}), &box, nullptr, nullptr, nullptr);
        EXPECT_EQ(r.outcome, ExportOutcome::Refused);
        EXPECT_EQ(box.Texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(card::CheckTracks(Params({2}), nullptr));
        EXPECT_EQ(ReadText(Adl()), song);
        EXPECT_FALSE(platform::PathExists(Audio(1)));
    }
    ScriptedMessageBox box;
    EXPECT_FALSE(card::CheckTracks(Params({}), &box));
    EXPECT_FALSE(card::CheckTracks(Params({1}, "NoSuchSong"), &box));
    EXPECT_TRUE(card::CheckTracks(Params({1}), &box));
    EXPECT_EQ(box.Texts(), (std::vector<std::string>{"Select tracks.", "Can not open ADL file!"}));
}

TEST_F(ExportTest, JobRefusals) {
    PcTrack(1, 10);
    NewSong();
    card::ExportParams noCard = Params({1});
    noCard.card.clear();
    EXPECT_EQ(Run(noCard).outcome, ExportOutcome::Refused);
    ASSERT_TRUE(platform::SetFileAttributes(Adl(), platform::FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Run(Params({1})).outcome, ExportOutcome::Refused);
    ASSERT_TRUE(platform::SetFileAttributes(Adl(), 0));
    EXPECT_EQ(Run(Params({1}, "Gone")).outcome, ExportOutcome::Refused);
    EXPECT_EQ(m_box.Texts(), (std::vector<std::string>{"Can't export song !", "This song is Protected.",
                                                       "The song cannot be found on the card.\nfolder : " +
                                                           SongFolder("Gone")}));
    EXPECT_FALSE(platform::PathExists(Audio(1)));
}

TEST_F(ExportTest, TransferSizeCountsWhatIsWritten) {
    PcTrack(1, 1000);
    PcTrack(2, 5);
    EXPECT_EQ(card::GetTransferSize(Pc(), Params({1, 2, 3}).tracks), 32768u + 2000u + 32768u + 10u);
    EXPECT_EQ(card::GetFreeSpace(""), 0u);
    EXPECT_GT(card::GetFreeSpace(Card()), 0u);
}

TEST_F(ExportTest, FileTooLargeShowsBothNumbersInFull) {
    // Sixteen sparse files claiming almost 4 GiB of audio each, exported to a smaller file system.
    const char* small = "/dev/shm";
    const uint32_t claimed = 0xFFFF0000u;
    for (int n = 1; n <= 16; ++n) {
        std::vector<uint8_t> header = PcWav(n, 0);
        PatchLe32(header, 4, 36 + claimed);
        PatchLe32(header, 40, claimed);
        const std::string path = platform::JoinPath(Pc(), platform::Format("tr%02d.wav", n));
        ASSERT_TRUE(testsupport::WriteBytes(path, header));
        ASSERT_EQ(::truncate(path.c_str(), 44 + claimed), 0);
    }
    const uint64_t transfer = 16ull * (32768ull + claimed);
    if (!platform::IsDirectory(small) || card::GetFreeSpace(small) >= transfer)
        GTEST_SKIP() << "needs a file system with less than " << transfer << " bytes free";
    // A card there holding the song.
    std::string smallCard = std::string(small) + "/pelmora-test-XXXXXX";
    ASSERT_NE(::mkdtemp(smallCard.data()), nullptr);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> removeLater(
        &smallCard, [](const std::string* path) { testsupport::RemoveTree(*path); });
    ASSERT_TRUE(platform::CreateDirectory(smallCard + "/Song04"));
    card::ExportParams p = Params({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    p.card = smallCard;
    const card::ExportResult r = card::RunExport(p, &m_box, nullptr, nullptr, nullptr);
    EXPECT_EQ(r.outcome, ExportOutcome::Refused);
    ASSERT_EQ(m_box.Texts().size(), 1u);
    const std::string text = m_box.Texts()[0];
    const std::string head = "File too large!\r\n\r\nZT-5 : ";
    ASSERT_EQ(text.substr(0, head.size()), head);
    const std::string freeText = text.substr(head.size(), text.find('(') - head.size());
    EXPECT_GT(std::strtoull(freeText.c_str(), nullptr, 10), 0xFFFFFFFFull);
    EXPECT_EQ(text.substr(head.size() + freeText.size()),
              "(available capacity inside ZT-5)\r\nWAVE : " + std::to_string(transfer) +
                  "(Total file size to transfer)");
}

// --- The job ---------------------------------------------------------------------------------

TEST_F(ExportTest, ASourcePastFourGigabytesIsRefusedByName) {
    // Its data size wrapped to 2000: read by it, the track would come out as a thousand samples.
    PcTrack(1, 10);
    NewSong();
    std::vector<uint8_t> header = PcWav(2, 0);
    PatchLe32(header, 40, 2000);
    const std::string path = platform::JoinPath(Pc(), "tr02.wav");
    ASSERT_TRUE(testsupport::WriteBytes(path, header));
    ASSERT_EQ(::truncate(path.c_str(), 44 + 0x100000000LL + 2000), 0);
    const std::string song = ReadText(Adl());
    const card::ExportResult r = Run(Params({2}));
    EXPECT_EQ(r.outcome, ExportOutcome::Refused);
    EXPECT_EQ(m_box.Texts(), std::vector<std::string>{"The wave file is larger than 4 GB.\nfile : " + path});
    EXPECT_EQ(ReadText(Adl()), song);
    EXPECT_FALSE(card::CheckTracks(Params({2}), nullptr));
}

TEST_F(ExportTest, NextFreeFileNames) {
    PcTrack(1, 10);
    PcTrack(2, 20);
    NewSong();
    ASSERT_TRUE(testsupport::WriteText(Audio(1), "one"));
    ASSERT_TRUE(testsupport::WriteText(Audio(3), "three"));
    const card::ExportResult r = Run(Params({1, 2}));
    EXPECT_EQ(r.files, (std::vector<std::string>{"zt50002.wav", "zt50004.wav"}));
    EXPECT_EQ(ReadText(Audio(1)), "one");
    EXPECT_EQ(ReadText(Audio(3)), "three");
    EXPECT_EQ(CardAudio(Audio(4)), Marks(2, 20));
}

TEST_F(ExportTest, TrackFilesNamedInCapitals) {
    ASSERT_TRUE(WritePcWav(m_pc / "TR02.wav", 2, 300, {.rate = 22050}));
    ASSERT_TRUE(WritePcWav(m_pc / "Tr03.wav", 3, 300)); // stands for no track
    ScriptedMessageBox quiet;
    ASSERT_TRUE(card::CreateNewSong(SongFolder(), Pc(), Params({2}).tracks, &quiet));
    EXPECT_EQ(Run(Params({2})).outcome, ExportOutcome::Finished);
    EXPECT_EQ(CardAudio(Audio(1)), Marks(2, 300));
    EXPECT_EQ(card::GetTransferSize(Pc(), Params({2, 3}).tracks), 32768u + 600u);
    EXPECT_EQ(Run(Params({3})).outcome, ExportOutcome::Refused);
    EXPECT_EQ(m_box.Texts(),
              std::vector<std::string>{"Can not read wave file!\nfile : " + m_pc / "tr03.wav"});
}

TEST_F(ExportTest, AllFileNamesTaken) {
    PcTrack(1, 10);
    NewSong();
    const std::string song = ReadText(Adl());
    for (int n = 1; n <= 5000; ++n)
        ASSERT_TRUE(testsupport::WriteText(Audio(n), ""));
    const card::ExportResult r = Run(Params({1}));
    EXPECT_EQ(r.outcome, ExportOutcome::Failed);
    EXPECT_EQ(m_box.Texts(), std::vector<std::string>{"Can't create wave file more !"});
    EXPECT_EQ(ReadText(Adl()), song);
    EXPECT_EQ(ReadText(Audio(1)), "");
    EXPECT_EQ(ReadText(Audio(5000)), "");
}

TEST_F(ExportTest, CancelInTheSecondOfThreeTracks) {
    PcTrack(1, 3000);
    PcTrack(2, 9000);
    PcTrack(3, 3000);
    NewSong();
    platform::CancelFlag cancel{0};
    m_page.ActOn(
        wave::WM_TRANSFER_POS, 2, [&] { cancel = 1; }, [&] { return m_lines.Last() == "PC to ZT   Track2"; });
    const card::ExportResult r = Run(Params({1, 2, 3}), &cancel);
    EXPECT_EQ(r.outcome, ExportOutcome::Cancelled);
    EXPECT_EQ(r.written, std::vector<int>{1});
    EXPECT_EQ(CardAudio(Audio(1)), Marks(1, 3000));
    EXPECT_FALSE(platform::PathExists(Audio(2)));
    EXPECT_FALSE(platform::PathExists(Audio(3)));
    EXPECT_EQ(m_lines.texts.back(), "PC to ZT   Track2");
    EXPECT_EQ(m_page.Count(wave::WM_TRANSFER_RANGE), 2);
    EXPECT_TRUE(m_box.Texts().empty());
    EXPECT_EQ(ReadText(Adl()), WithEvents(Golden("newsong44100.adl"), EntryLine(1, 1, 1, 3000, k44)));
}

TEST_F(ExportTest, EmptySourceAddsNoEvent) {
    PcTrack(1, 10);
    PcTrack(2, 0);
    PcTrack(3, 30);
    NewSong();
    const card::ExportResult r = Run(Params({1, 2, 3}));
    EXPECT_EQ(r.outcome, ExportOutcome::Finished);
    EXPECT_EQ(r.written, (std::vector<int>{1, 3}));
    EXPECT_EQ(r.skipped, std::vector<int>{2});
    EXPECT_EQ(ReadText(Adl()), WithEvents(Golden("newsong44100.adl"),
                                          EntryLine(1, 1, 1, 10, k44) + EntryLine(2, 2, 3, 30, k44)));
    EXPECT_FALSE(platform::PathExists(Audio(3)));
}

TEST_F(ExportTest, EventTimeKindsWithoutADestinationStart) {
    PcTrack(1, 4800, {.rate = 48000});
    NewSong();
    std::string song = ReadText(Adl());
    const size_t at = song.find("\t\t(SEQ_DEST_START)");
    song.erase(at, song.find("\r\n", at) + 2 - at);
    // Entries behind a comment line still count for the numbering.
    song =
        WithEvents(song, EntryLine(3, 9, 5, 10, k48) + "\t\t(Note)\tkept\r\n" + EntryLine(1, 8, 4, 10, k48));
    ASSERT_TRUE(testsupport::WriteText(Adl(), song));
    EXPECT_EQ(Run(Params({1})).outcome, ExportOutcome::Finished);
    EXPECT_EQ(ReadText(Adl()), WithEvents(song, EntryLine(4, 1, 1, 4800, k48)));
}

TEST_F(ExportTest, ExtensibleSourceGetsAPlainPcmFormat) {
    PcTrack(1, 10);
    NewSong();
    PcTrack(1, 100, {.extensible = true});
    EXPECT_EQ(Run(Params({1})).outcome, ExportOutcome::Finished);
    const auto bytes = testsupport::ReadBytes(Audio(1));
    ASSERT_GT(bytes.size(), 38u);
    const std::vector<uint8_t> fmt(bytes.begin() + 12, bytes.begin() + 38);
    const std::vector<uint8_t> expected = {'f',  'm', 't', ' ',  18,   0,    0, 0, 1, 0,  1, 0, 0x44,
                                           0xAC, 0,   0,   0x88, 0x58, 0x01, 0, 2, 0, 16, 0, 0, 0};
    EXPECT_EQ(fmt, expected);
    EXPECT_EQ(CardAudio(Audio(1)), Marks(1, 100));
}

TEST_F(ExportTest, ALeftoverFromACrashIsRemoved) {
    PcTrack(1, 10);
    NewSong();
    ASSERT_TRUE(testsupport::WriteText(adl::CAdlFile::UpdatePath(Adl()), "<ADL>\r\n\t<VERS"));
    EXPECT_EQ(Run(Params({1})).outcome, ExportOutcome::Finished);
    EXPECT_FALSE(platform::PathExists(adl::CAdlFile::UpdatePath(Adl())));
}

// --- Two programs, one card -----------------------------------------------------------------

TEST_F(ExportTest, ASecondWriterIsToldTheSongIsInUse) {
    PcTrack(1, 300);
    NewSong();
    const std::string song = ReadText(Adl());
    {
        card::CJobLock other; // another program exporting into the song
        ASSERT_EQ(other.LockSong(Card(), "Song04", card::CJobLock::Use::Write),
                  card::CJobLock::Result::Locked);
        const card::ExportResult r = Run(Params({1}));
        EXPECT_EQ(r.outcome, ExportOutcome::Refused);
        EXPECT_EQ(m_box.Texts(), std::vector<std::string>{card::SongInUseText("Song04")});
        EXPECT_EQ(ReadText(Adl()), song);
        EXPECT_FALSE(platform::PathExists(Audio(1)));
    }
    EXPECT_EQ(Run(Params({1})).outcome, ExportOutcome::Finished) << "free once the other has finished";
}

TEST_F(ExportTest, TwoExportsAtOnceLoseNoEvent) {
    // Whatever the order, every export that says it finished has its events in the song.
    PcTrack(1, 2000);
    PcTrack(2, 3000);
    NewSong();
    size_t events = 0;
    for (int round = 0; round < 20; ++round) {
        card::ExportResult a, b;
        ScriptedMessageBox boxA, boxB;
        std::thread first([&] { a = card::RunExport(Params({1, 2}), &boxA, nullptr, nullptr, nullptr); });
        b = card::RunExport(Params({1, 2}), &boxB, nullptr, nullptr, nullptr);
        first.join();
        adl::CAdlFile back;
        ASSERT_TRUE(back.Open(Adl(), true));
        std::set<std::string> named;
        for (int i = 0; i < back.GetEventCount(); ++i)
            named.insert(back.GetEventSourceName(i));
        for (const card::ExportResult* r : {&a, &b}) {
            if (r->outcome == ExportOutcome::Finished) {
                for (const std::string& file : r->files)
                    EXPECT_EQ(named.count(file), 1u) << file;
            } else {
                EXPECT_EQ(r->message, card::SongInUseText("Song04"));
            }
        }
        events += a.files.size() + b.files.size();
        EXPECT_EQ(back.GetEventCount(), static_cast<int>(events));
    }
}

TEST_F(ExportTest, ABackupDuringAnExportHoldsEveryFileItsAdlNames) {
    // A backup started during an export says the song is in use and leaves nothing; one started after
    // it copies the song as it stood under its lock: every event of its ADL names a file it holds.
    PcTrack(1, 2000);
    PcTrack(2, 3000);
    NewSong();
    for (int round = 0; round < 10; ++round) {
        const std::string dest = m_pc / platform::Format("backup%d", round);
        ScriptedMessageBox exportBox, backupBox;
        std::thread writer([&] { card::RunExport(Params({1, 2}), &exportBox, nullptr, nullptr, nullptr); });
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * round)); // from mid-export to after it
        const card::BackupResult b =
            card::RunBackup({Card(), dest, {"Song04"}}, &backupBox, nullptr, nullptr, nullptr);
        writer.join();
        if (b.outcome != card::BackupOutcome::Finished) {
            ASSERT_EQ(b.problems.size(), 1u);
            EXPECT_NE(b.problems[0].find(card::SongInUseText("Song04")), std::string::npos) << b.problems[0];
            EXPECT_FALSE(platform::PathExists(dest + "/Song04"));
            continue;
        }
        adl::CAdlFile back;
        ASSERT_TRUE(back.Open(card::AdlPath(dest, "Song04"), true));
        for (int i = 0; i < back.GetEventCount(); ++i)
            EXPECT_TRUE(platform::PathExists(dest + "/Song04/" + back.GetEventSourceName(i)))
                << back.GetEventSourceName(i);
    }
}

TEST_F(ExportTest, LeftoversOfThisProgramAreNeverSongs) {
    // A song half-made by a kill and a write test left behind keep this program's own names; a folder
    // the user named "chk" is a song like any other.
    const std::string half = m_card / (std::string(platform::kOwnNamePrefix) + "new-77-1-Song05");
    ASSERT_TRUE(platform::CreateDirectory(half));
    ASSERT_TRUE(testsupport::WriteText(half + "/Song05.adl", "<ADL>\r\n"));
    ASSERT_TRUE(platform::CreateDirectory(m_card / (std::string(platform::kOwnNamePrefix) + "test-77-2")));
    ASSERT_TRUE(platform::CreateDirectory(m_card / "chk"));
    EXPECT_EQ(card::ListSongs(Card()), std::vector<std::string>{"chk"});
    EXPECT_TRUE(card::IsCardWritable(Card()));
    EXPECT_EQ(platform::FindFiles(Card(), "*").size(), 3u) << "the write test leaves nothing";
}

TEST_F(ExportTest, NewSongNamesFollowOneRule) {
    PcTrack(1, 10);
    for (const std::string& name : {std::string("Two\nlines"), std::string(300, 'x'), std::string("  ")}) {
        ScriptedMessageBox box;
        EXPECT_EQ(card::PrepareExport(Params({1}, name), &box), ExportCommand::Stopped);
        EXPECT_EQ(box.Texts(), std::vector<std::string>{card::NewSongNameProblem(name)});
    }
    EXPECT_TRUE(card::ListSongs(Card()).empty());
}

TEST_F(ExportTest, JobWithoutAPageMovesTheBar) {
    PcTrack(1, 3000);
    PcTrack(2, 1000);
    NewSong();
    card::CExportJob job(Params({1, 2}), &m_box);
    platform::CancelFlag cancel{0};
    job.RunJob(nullptr, &m_lines, &m_bar, &cancel);
    EXPECT_EQ(job.Result().outcome, ExportOutcome::Finished);
    EXPECT_EQ(m_bar.ranges, (std::vector<std::pair<int64_t, int64_t>>{{0, 6000}, {0, 2000}}));
    EXPECT_EQ(m_bar.Pos(), 2000);
}

// --- Never lose a song -----------------------------------------------------------------------

// What every fault must leave: a song that opens, each event naming a complete file with the audio of
// its track, no file that no event names, and no temporary file.
void ExpectSongIsWhole(const std::string& songFolder, const std::string& adlPath, const card::ExportResult& r,
                       const std::map<int, uint32_t>& lengths) {
    adl::CAdlFile adl;
    ASSERT_TRUE(adl.Open(adlPath, true));
    EXPECT_FALSE(platform::PathExists(adl::CAdlFile::UpdatePath(adlPath)));
    std::set<std::string> named;
    ASSERT_EQ(static_cast<size_t>(adl.GetEventCount()), r.written.size());
    for (int i = 0; i < adl.GetEventCount(); ++i) {
        const int track = adl.GetEventDestChannel(i);
        EXPECT_EQ(track, r.written[static_cast<size_t>(i)]);
        EXPECT_EQ(adl.GetEventDestOut(i).GetSamples(), lengths.at(track));
        const std::string name = adl.GetEventSourceName(i);
        named.insert(name);
        EXPECT_EQ(CardAudio(platform::JoinPath(songFolder, name)), Marks(track, lengths.at(track))) << name;
    }
    for (const auto& entry : platform::FindFiles(songFolder, "*.wav"))
        EXPECT_EQ(named.count(entry.name), 1u) << "file without an event: " << entry.name;
}

// Three tracks exported into a new song again and again, a fault planned somewhere in each run.
class ExportSweep : public ExportTest {
protected:
    void SetUp() override {
        for (const auto& [track, samples] : lengths)
            PcTrack(track, samples);
        PcTrack(1, 10);
        NewSong();
        song = ReadText(Adl());
        expectedWhole = WithEvents(song, EntryLine(1, 1, 2, 1024, k44) + EntryLine(2, 2, 5, 3000, k44) +
                                             EntryLine(3, 3, 9, 2500, k44));
    }
    // The song as it was before the first run.
    void Fresh() {
        for (const auto& entry : platform::FindFiles(SongFolder(), "*.wav"))
            platform::DeleteFile(platform::JoinPath(SongFolder(), entry.name));
        EXPECT_TRUE(testsupport::WriteText(Adl(), song));
    }
    const std::map<int, uint32_t> lengths = {{2, 1024}, {5, 3000}, {9, 2500}};
    std::string song, expectedWhole;
};

TEST_F(ExportSweep, AFailedWriteAnywhereLosesNothing) {

    for (bool cardFull : {false, true}) {
        const int64_t struck = SweepFaults(2000, [&](int64_t n) {
            SCOPED_TRACE(testing::Message() << (cardFull ? "card full from write " : "write ") << n);
            Fresh();
            ScriptedMessageBox box;
            card::ExportResult r;
            int64_t writes = 0;
            {
                platform::faults::ScopedPlan plan({.failWriteAt = n, .writesStayFailed = cardFull});
                r = card::RunExport(Params({2, 5, 9}), &box, nullptr, nullptr, nullptr);
                writes = platform::faults::WriteCount();
            }
            ExpectSongIsWhole(SongFolder(), Adl(), r, lengths);
            if (writes < n) {
                // The export ran out of writes before the planned failure: it is complete.
                EXPECT_EQ(r.outcome, ExportOutcome::Finished);
                EXPECT_EQ(ReadText(Adl()), expectedWhole);
                return writes;
            }
            EXPECT_EQ(r.outcome, ExportOutcome::Failed);
            const std::vector<std::string> texts = box.Texts();
            EXPECT_EQ(texts.size(), 1u);
            const std::string failed =
                r.written.size() < 3 ? Audio(static_cast<int>(r.written.size()) + 1) : std::string("?");
            if (!texts.empty()) {
                EXPECT_TRUE(texts[0] == "Wave file write error !\nfile : " + failed ||
                            texts[0] == "ADL file write error !\nfile : " + Adl())
                    << texts[0];
            }
            return writes;
        });
        EXPECT_GT(struck, 30);
    }
}

TEST_F(ExportSweep, AFailedReadOrOpenAnywhereLosesNothing) {
    for (bool opens : {false, true}) {
        SweepFaults(5000, [&](int64_t n) {
            SCOPED_TRACE(testing::Message() << (opens ? "open " : "read ") << n);
            Fresh();
            ScriptedMessageBox box;
            card::ExportResult r;
            int64_t calls = 0;
            {
                platform::faults::Plan plan;
                (opens ? plan.failOpenAt : plan.failReadAt) = n;
                platform::faults::ScopedPlan armed(plan);
                r = card::RunExport(Params({2, 5, 9}), &box, nullptr, nullptr, nullptr);
                calls = opens ? platform::faults::OpenCount() : platform::faults::ReadCount();
            }
            ExpectSongIsWhole(SongFolder(), Adl(), r, lengths);
            // A failed look at a size or a format only changes a check; any other stops with a message.
            if (r.outcome == ExportOutcome::Finished)
                EXPECT_EQ(ReadText(Adl()), expectedWhole);
            else
                EXPECT_EQ(box.Texts().size(), 1u);
            return calls;
        });
    }
}

} // namespace
