// Broken WAV files wherever the program reads one: as the source of an import (a song's audio file),
// as the source of an export (a PC track file) and as a CD track. Each must end in one message and
// leave nothing half-made; a file that is only oddly sized where it does no harm still works.

#include "BadInputSupport.h"
#include "Fakes.h"
#include "Song.h"
#include "TestSupport.h"
#include "Wav.h"
#include "adl/AdlFile.h"
#include "card/ExportJob.h"
#include "card/ImportJob.h"
#include "card/NewSong.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/ImageDiscBackend.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <functional>

using namespace badinput;
using namespace testsupport;

namespace {

struct Variant {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    // What the user sees ("" = the job succeeds); {src} stands for the damaged file's path.
    std::string import, exportText, cd;
};

const std::string kImportRead = "Can not read wave file!\nfile : {src}";
const std::string kExportRate = "Sampling Frequency not matched!";
const std::string kExportRead = "Can not read wave file!\nfile : {src}";

std::vector<Variant> Variants() {
    return {
        {"0 bytes", [](auto& b) { b.clear(); }, kImportRead, kExportRate, "File read error."},
        {"RIFF header only", [](auto& b) { b.resize(12); }, kImportRead, kExportRate, "File read error."},
        {"cut inside fmt", [](auto& b) { b.resize(28); }, kImportRead, kExportRate, "File read error."},
        {"no data chunk",
         [](auto& b) {
             b.resize(36);
             PatchLe32(b, 4, 28);
         },
         kImportRead, kExportRead, "File read error."},
        {"cut inside data", [](auto& b) { b.resize(44 + 200); }, kImportRead, kExportRead,
         "File read error."},
        // The format itself is whole; the walk past it finds no "data".
        {"fmt size past the end", [](auto& b) { PatchLe32(b, 16, 0x7FFFFFF0); }, kImportRead, kExportRead,
         "File read error."},
        // The song's entry covers only samples that are there; the export copies up to the claim.
        {"data size past the end", [](auto& b) { PatchLe32(b, 40, 0x10000); }, "", kExportRead,
         "File read error."},
        {"4 GB data size", [](auto& b) { PatchLe32(b, 40, 0xFFFFFFFF); }, "", kExportRead,
         "The disc cannot hold any more data."},
        {"RIFF size past the end", [](auto& b) { PatchLe32(b, 4, 0xFFFFFFF0); }, "", "", ""},
        // Half a sample short of the entry's 2000 samples.
        {"odd data size", [](auto& b) { PatchLe32(b, 40, 3999); }, kImportRead, "", ""},
    };
}

std::string WithSource(std::string text, const std::string& path) {
    if (const auto at = text.find("{src}"); at != std::string::npos)
        text.replace(at, 5, path);
    return text;
}

TEST(BadWave, AsTheSourceOfAnImport) {
    for (const auto& v : Variants()) {
        SCOPED_TRACE(v.name);
        TempDir card, pc;
        platform::CreateDirectory(card / "song");
        const std::string source = card / "song/zt50001.wav";
        auto bytes = PcWav(1, 2000, {1, 16, 48000});
        v.damage(bytes);
        ASSERT_TRUE(testsupport::WriteBytes(source, bytes));
        ASSERT_TRUE(testsupport::WriteText(
            card::AdlPath(card.Path(), "song"),
            AdlText(adl::SampleRateCode::Hz48000, {{1, adl::EditType::Cut, "zt50001.wav", 1, 0, 0, 2000}})));
        ScriptedMessageBox box;
        const auto r =
            card::RunImport(ImportAll(card.Path(), "song", pc.Path()), &box, nullptr, nullptr, nullptr);
        if (v.import.empty()) {
            EXPECT_EQ(r.outcome, card::ImportOutcome::Finished);
            EXPECT_TRUE(box.Texts().empty());
            const auto samples = CardAudio(card::TrackFilePath(pc.Path(), 1));
            ASSERT_EQ(samples.size(), 2000u);
            EXPECT_EQ(samples[1999], Mark(1, 1999));
        } else {
            EXPECT_EQ(r.outcome, card::ImportOutcome::Failed);
            EXPECT_EQ(box.Texts(), std::vector<std::string>{WithSource(v.import, source)});
            // What was rendered before the source failed stays; nothing of it comes from elsewhere.
            EXPECT_LE(CardAudio(card::TrackFilePath(pc.Path(), 1)).size(), 2000u);
        }
    }
}

TEST(BadWave, AsTheSourceOfAnExport) {
    for (const auto& v : Variants()) {
        SCOPED_TRACE(v.name);
        TempDir card, pc;
        const std::string source = card::TrackFilePath(pc.Path(), 1);
        ASSERT_TRUE(testsupport::WriteBytes(source, PcWav(1, 2000, {1, 16, 44100})));
        const auto p = ExportParams(card.Path(), "Song", pc.Path());
        ScriptedMessageBox quiet;
        ASSERT_TRUE(card::CreateNewSong(card / "Song", pc.Path(), p.tracks, &quiet));
        const std::string song = testsupport::ReadText(card::AdlPath(card.Path(), "Song"));
        auto bytes = PcWav(1, 2000, {1, 16, 44100});
        v.damage(bytes);
        ASSERT_TRUE(testsupport::WriteBytes(source, bytes));

        ScriptedMessageBox box;
        const auto r = card::RunExport(p, &box, nullptr, nullptr, nullptr);
        const auto files = platform::FindFiles(card / "Song", "*.wav");
        if (v.exportText.empty()) {
            EXPECT_EQ(r.outcome, card::ExportOutcome::Finished);
            EXPECT_TRUE(box.Texts().empty());
            EXPECT_EQ(files.size(), 1u);
        } else {
            EXPECT_NE(r.outcome, card::ExportOutcome::Finished);
            EXPECT_EQ(box.Texts(), std::vector<std::string>{WithSource(v.exportText, source)});
            EXPECT_TRUE(files.empty()) << "no half copy on the card";
            EXPECT_EQ(testsupport::ReadText(card::AdlPath(card.Path(), "Song")), song)
                << "the song is untouched";
        }
    }
}

TEST(BadWave, AsACdTrack) {
    for (const auto& v : Variants()) {
        SCOPED_TRACE(v.name);
        TempDir dir;
        auto bytes = PcWav(1, 2000, {2, 16, 44100});
        v.damage(bytes);
        ASSERT_TRUE(testsupport::WriteBytes(dir / "t.wav", bytes));
        platform::CreateDirectory(dir / "out");
        cdwriter::CImageDiscBackend backend(dir / "out", "Disc");
        cdwriter::BurnParams params;
        params.backend = &backend;
        params.recorderIndex = 0;
        params.tracks = {{"t.wav", dir / "t.wav"}};
        ScriptedMessageBox box;
        platform::CancelFlag cancel{0};
        cdwriter::CBurnJob job(params, &box, nullptr);
        job.RunJob(nullptr, nullptr, nullptr, &cancel);
        const auto out = platform::FindFiles(dir / "out", "*");
        if (v.cd.empty()) {
            EXPECT_EQ(job.Result().outcome, cdwriter::BurnOutcome::Burned);
            EXPECT_TRUE(box.Texts().empty());
            EXPECT_EQ(out.size(), 2u);
        } else {
            EXPECT_EQ(job.Result().outcome, cdwriter::BurnOutcome::Failed);
            EXPECT_EQ(box.Texts(), std::vector<std::string>{v.cd});
            EXPECT_TRUE(out.empty()) << "no partial image";
        }
    }
}

} // namespace
