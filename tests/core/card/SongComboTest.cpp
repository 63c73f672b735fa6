#include "card/SongCombo.h"

#include "card/PcWaveList.h"

#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

using card::CSongComboModel;
using card::SongEntryKind;

namespace {

std::vector<std::string> Texts(const CSongComboModel& model) {
    std::vector<std::string> texts;
    for (const card::SongEntry& e : model.Entries())
        texts.push_back(e.text);
    return texts;
}

// The list opened, then closed on `choice` (the entry's text), as the user does it.
void Choose(CSongComboModel& model, const std::string& choice) {
    model.DropDown(true);
    model.Select(model.Find(choice));
    model.CloseUp();
    model.OnSelectionChanged();
}

} // namespace

TEST(SongCombo, NewSongTurnsIntoTheFirstFreeProposal) {
    const struct {
        std::vector<std::string> songs;
        std::string proposal;
    } cases[] = {
        {{"Song01", "Song02", "Song03"}, "Song04"},
        {{"Song01", "Song02", "Song04"}, "Song04-01"},
        {{"Song01", "Song02", "Song04", "Song04-01"}, "Song05"},
        {{"Song02", "Song03", "Song05", "Song05-01"}, "Song05-02"},
        {{}, "Song01"},
    };
    for (const auto& c : cases) {
        CSongComboModel model;
        model.Fill(c.songs);
        model.DropDown(true);
        EXPECT_EQ(model.Entries().back().text, card::kNewSongEntry);
        EXPECT_EQ(model.Entries().back().kind, SongEntryKind::NewSong);
        model.Select(model.Count() - 1);
        model.CloseUp();
        EXPECT_EQ(model.SelectedText(), c.proposal);
        EXPECT_EQ(model.Entries().back().kind, SongEntryKind::Pending);
        EXPECT_EQ(model.Find(card::kNewSongEntry), -1);
        EXPECT_FALSE(model.OnSelectionChanged()) << "a proposal is not shared with the other pages";
    }
}

TEST(SongCombo, SpecialEntriesComeAndGoWithTheList) {
    CSongComboModel model;
    model.Fill({"b", "A", "c"});
    EXPECT_EQ(Texts(model), (std::vector<std::string>{"A", "b", "c"}));
    model.Select(1);
    model.DropDown(true);
    model.CloseUp(); // closed on "b": the unchosen "---:(New Song)" goes
    EXPECT_EQ(Texts(model), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(model.SelectedText(), "b");

    Choose(model, card::kNewSongEntry);
    EXPECT_EQ(Texts(model), (std::vector<std::string>{"A", "b", "c", "Song04"}));
    model.DropDown(true); // the proposal goes when the list opens again
    EXPECT_EQ(Texts(model), (std::vector<std::string>{"A", "b", "c", card::kNewSongEntry}));
    EXPECT_EQ(model.Selection(), -1);

    model.DropDown(false); // without a drive nothing new is offered
    EXPECT_EQ(model.Count(), 3);

    std::vector<std::string> full;
    for (int i = 1; i <= card::kMaxSongs; ++i)
        full.push_back("S" + std::to_string(i));
    model.Fill(full);
    model.DropDown(true);
    EXPECT_EQ(model.Find(card::kNewSongEntry), -1) << "99 songs: no new one";
}

TEST(SongCombo, AProposalChosenTwiceIsWithdrawn) {
    CSongComboModel model;
    model.Fill({"Song01", "Song02"});
    Choose(model, card::kNewSongEntry); // marked once by the choice
    ASSERT_EQ(model.SelectedText(), "Song03");
    model.Select(2);
    EXPECT_TRUE(model.OnSelectionChanged()) << "the entry before it is a song to share";
    EXPECT_EQ(Texts(model), (std::vector<std::string>{"Song01", "Song02"}));
    EXPECT_EQ(model.SelectedText(), "Song02");
}

TEST(SongCombo, ExportsAddCreatedSongsInOrderAndDropProposals) {
    CSongComboModel model;
    model.Fill({"Alpha", "Song04"});
    Choose(model, card::kNewSongEntry);
    EXPECT_EQ(model.RemovePending(), 2);
    const int at = model.AddSorted("Beta", SongEntryKind::Created);
    EXPECT_EQ(at, 1);
    EXPECT_EQ(model.Entries()[1].kind, SongEntryKind::Created);
    model.Select(2);
    model.AddSorted("Aaa", SongEntryKind::Created);
    EXPECT_EQ(model.SelectedText(), "Song04") << "the selection stays on its entry";
}

TEST(PcWaveRows, TextsOfEachColumn) {
    testsupport::TempDir pc;
    const struct {
        std::string name;
        std::vector<uint8_t> bytes;
        card::PcWaveRow row;
    } cases[] = {
        // 44-byte header + 980 bytes of audio = 1024 bytes: 2KB; 44 + 978 bytes: 1KB.
        {"tr01.wav", testsupport::PcWav(1, 490), {"tr01.wav", "44.10kHz", "16bit", "1", "2KB", 1}},
        {"TR02.wav",
         testsupport::PcWav(1, 200, {2, 16, 48000}),
         {"TR02.wav", "48.00kHz", "16bit", "2", "1KB", 2}},
        {"Tr03.wav",
         testsupport::PcWav(1, 326, {1, 24, 22050}),
         {"Tr03.wav", "22.05kHz", "24bit", "1", "1KB", 0}},
        {"take.wav", {'n', 'o', 't', ' ', 'w', 'a', 'v'}, {"take.wav", "0.00kHz", "0bit", "0", "1KB", 0}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(testsupport::WriteBytes(pc / c.name, c.bytes));
        const card::PcWaveRow row = card::DescribePcWaveFile(pc.Path(), c.name);
        EXPECT_EQ(row.name, c.row.name);
        EXPECT_EQ(row.rate, c.row.rate) << c.name;
        EXPECT_EQ(row.bits, c.row.bits) << c.name;
        EXPECT_EQ(row.channels, c.row.channels) << c.name;
        EXPECT_EQ(row.size, c.row.size) << c.name << ", " << c.bytes.size() << " bytes";
        EXPECT_EQ(row.track, c.row.track) << c.name;
    }
    const auto offered = card::TracksOffered(card::ListPcWaveRows(pc.Path()));
    EXPECT_TRUE(offered[0] && offered[1]);
    EXPECT_FALSE(offered[2]);
}
