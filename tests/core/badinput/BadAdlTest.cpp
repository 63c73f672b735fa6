// Malformed ADL files: what the import, the export and the song listing make of each, and that an
// export never changes a song it could not read.

#include "BadInputSupport.h"
#include "Cli.h"
#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace badinput;
using namespace testsupport;

namespace {

std::string Good() {
    return AdlText(adl::SampleRateCode::Hz48000, {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 1000},
                                                  {2, adl::EditType::Cut, "zt50001.wav", 2, 0, 500, 1500}});
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string Section(const std::string& text, const std::string& tag) {
    const auto from = text.find("\t<" + tag + ">");
    const auto to = text.find("\t</" + tag + ">\r\n");
    return text.substr(from, to + tag.size() + 6 - from);
}

std::string Without(const std::string& text, const std::string& tag) {
    return Replace(text, Section(text, tag), "");
}

std::string AllLineEnds(std::string text, const std::string& to) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += to.size())
        text.replace(at, 2, to);
    return text;
}

std::string Junk() {
    std::mt19937 random(7);
    std::string bytes(600, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

std::string Utf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (char c : text)
        out += std::string{c, '\0'};
    return out;
}

// A line of exactly `length` characters before its line end, in the project section.
std::string WithNotesLine(size_t length) {
    const std::string head = "\t\t(PROJ_NOTES)\t\"";
    const std::string line = head + std::string(length - head.size() - 1, 'n') + "\"";
    return Replace(Good(), "\t</PROJECT>", line + "\r\n\t</PROJECT>");
}

constexpr const char* kUnreadable = "Can not open ADL file!";

struct Case {
    const char* name;
    std::string text;
    std::string import; // the import's message, "" = none
    std::vector<int> imported;
    std::string exportText; // the export's message, "" = none
};

std::vector<Case> Cases() {
    const std::string good = Good();
    const std::string entry1 = "\t\t(Entry)\t0001\t(Cut)\tF\t\"zt50001.wav\"\t1\t1\t";
    return {
        {"well formed", good, "", {1, 2}, ""},
        {"0 bytes", "", kUnreadable, {}, kUnreadable},
        {"binary junk", Junk(), kUnreadable, {}, kUnreadable},
        {"UTF-16 text", Utf16(good), kUnreadable, {}, kUnreadable},
        {"no VERSION section", Without(good, "VERSION"), kUnreadable, {}, kUnreadable},
        {"no TEMPO_MAP section", Without(good, "TEMPO_MAP"), kUnreadable, {}, kUnreadable},
        {"no EVENT_LIST section", Without(good, "EVENT_LIST"), kUnreadable, {}, kUnreadable},
        {"EVENT_LIST before TEMPO_MAP",
         Replace(Without(good, "EVENT_LIST"), "\t<TEMPO_MAP>", Section(good, "EVENT_LIST") + "\t<TEMPO_MAP>"),
         kUnreadable,
         {},
         kUnreadable},
        {"EVENT_LIST never closed", Replace(good, "\t</EVENT_LIST>\r\n", ""), kUnreadable, {}, kUnreadable},
        {"no closing </ADL>", Replace(good, "</ADL>\r\n", ""), "", {1, 2}, ""},
        {"LF line ends", AllLineEnds(good, "\n"), "", {1, 2}, ""},
        {"CR line ends", AllLineEnds(good, "\r"), "", {1, 2}, ""},
        {"longest line (398 characters)", WithNotesLine(398), "", {1, 2}, ""},
        {"overlong line (399 characters)", WithNotesLine(399), kUnreadable, {}, kUnreadable},
        {"bad time code in an entry",
         Replace(good, entry1 + "00.00.00.00/0000", entry1 + "garbage"),
         kUnreadable,
         {},
         kUnreadable},
        {"bad flag in an entry", Replace(good, "/1000\t_\r\n", "/1000\tZ\r\n"), kUnreadable, {}, kUnreadable},
        {"entry with too few fields", Replace(good, "\t00.00.00.00/1000\t_\r\n", "\r\n"), "", {2}, ""},
        {"bad destination start",
         Replace(good, "(SEQ_DEST_START)\t", "(SEQ_DEST_START)\tjunk"),
         "",
         {1, 2},
         ""},
        {"unknown sample rate",
         Replace(good, "S48000", "S96000"),
         "Sampling Frequency not supported!",
         {},
         "Sampling Frequency not matched!"},
    };
}

TEST(BadAdl, ImportExportAndListing) {
    TempDir card, pc;
    ASSERT_TRUE(testsupport::WriteBytes(card::TrackFilePath(pc.Path(), 1), PcWav(5, 300, {1, 16, 48000})));
    const auto cases = Cases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string song = platform::Format("case%02zu", i);
        platform::CreateDirectory(card / song);
        ASSERT_TRUE(WriteCardWav(card / (song + "/zt50001.wav"), 1, 1000));
        const std::string adl = card::AdlPath(card.Path(), song);
        ASSERT_TRUE(testsupport::WriteText(adl, c.text));

        const std::string out = pc / song;
        platform::CreateDirectory(out);
        ScriptedMessageBox box;
        const auto imported =
            card::RunImport(ImportAll(card.Path(), song, out, {1, 2}), &box, nullptr, nullptr, nullptr);
        EXPECT_EQ(imported.written, c.imported);
        EXPECT_EQ(box.Texts(),
                  c.import.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.import});

        ScriptedMessageBox exportBox;
        const auto exported = card::RunExport(ExportParams(card.Path(), song, pc.Path()), &exportBox, nullptr,
                                              nullptr, nullptr);
        if (c.exportText.empty()) {
            EXPECT_EQ(exported.outcome, card::ExportOutcome::Finished);
            EXPECT_TRUE(exportBox.Texts().empty());
            adl::CAdlFile reopened;
            EXPECT_TRUE(reopened.Open(adl, true)) << "the song opens after the export";
        } else {
            EXPECT_EQ(exportBox.Texts(), std::vector<std::string>{c.exportText});
            EXPECT_EQ(testsupport::ReadText(adl), c.text) << "a song that cannot be read is never changed";
            EXPECT_EQ(platform::FindFiles(card / song, "*.wav").size(), 1u);
        }
    }

    // The listing names every song and says which ones cannot be read.
    const CliRun run = RunCli("songs " + Quote(card.Path()));
    ASSERT_EQ(run.status, 0) << run.err;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string head = platform::Format("\ncase%02zu ", i);
        const auto at = run.out.find(head);
        ASSERT_NE(at, std::string::npos) << run.out;
        const std::string line = run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
        EXPECT_EQ(line.find("(no readable ADL file)") != std::string::npos, cases[i].import == kUnreadable)
            << line;
    }
}

} // namespace
