#include "card/NewSong.h"

#include "adl/AdlFile.h"
#include "card/JobLock.h"
#include "card/Leftovers.h"
#include "card/TrackSource.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace card {
namespace {

template <size_t N> void SetText(char (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// The file is on the card, not in a cache, and ends in the closing line that Close appends (Close
// cannot report a failure of its own).
bool SyncAndCheckEnd(const std::string& path) {
    static const char kClosing[] = "</ADL>\r\n";
    constexpr int64_t kLength = sizeof(kClosing) - 1;
    platform::File file;
    char tail[kLength] = {};
    return file.Open(path, platform::Access::Read, platform::Disposition::OpenExisting) && file.Sync() &&
           file.Seek(-kLength, platform::Whence::End) >= 0 && file.Read(tail, kLength) == kLength &&
           std::memcmp(tail, kClosing, kLength) == 0;
}

// The rate of a new song: that of the first ticked track's file. Told and false when there is none or
// a song cannot have it, before anything is made.
bool NewSongRate(const std::string& pcFolder, const std::array<bool, kTrackCount>& tracks,
                 platform::IMessageBox* box, adl::SampleRateCode* code) {
    int first = 0;
    for (int n = 1; n <= kTrackCount && first == 0; ++n) {
        if (tracks[n - 1]) {
            first = n;
        }
    }
    uint32_t rate = 0;
    if (first != 0) {
        wave::CWaveFile source;
        uint16_t channels = 0, bits = 0;
        if (source.Open(PcTrackSourcePath(pcFolder, first), 1)) {
            if (!source.GetFormat(&channels, &bits, &rate)) {
                rate = 0;
            }
            source.Close();
        }
    }
    if (first == 0 || rate == 0) {
        platform::Tell(box, "New song create error !");
        return false;
    }
    *code = adl::SampleRateCodeOfRate(rate);
    if (*code == adl::SampleRateCode::None) {
        platform::Tell(box, "Sampling Frequency not supported!");
        return false;
    }
    return true;
}

// The song's "2mix" folder and its ADL file in `folder`, everything on the medium. Hidden while it is
// built where the card keeps a hidden bit, so the recorder never shows a half-made song.
bool BuildSong(const std::string& folder, const std::string& song, adl::SampleRateCode code) {
    const bool hidden = platform::SetFileAttributes(folder, platform::FILE_ATTRIBUTE_HIDDEN);
    const platform::LocalTime now = platform::GetLocalTime();
    const std::string date = platform::Format("%d-%02d-%02d", now.year, now.month, now.day);
    // Shown again before it takes the song's name: a song must never end up hidden.
    return platform::CreateDirectory(platform::JoinPath(folder, "2mix")) &&
           WriteNewSongAdl(platform::JoinPath(folder, song + ".adl"), song, code, date) &&
           platform::SyncDirectory(folder) && (!hidden || platform::SetFileAttributes(folder, 0));
}

} // namespace

bool WriteNewSongAdl(const std::string& adlPath, const std::string& song, adl::SampleRateCode sampleRateCode,
                     const std::string& date) {
    const uint8_t rateKind = adl::TimeCodeRateKind(sampleRateCode);
    if (rateKind == 0) {
        return false;
    }
    adl::CTimeCode zero;
    zero.Set(0, adl::CTimeCode::FPS_25, rateKind);

    adl::CAdlFile adl;
    if (!adl.Create(adlPath)) {
        if (adl.IsOpen()) { // made, but its first line could not be written
            adl.Close();
            platform::DeleteFile(adlPath);
        }
        return false;
    }
    bool ok = adl.WriteVersion();

    adl::AdlProject project;
    SetText(project.m_title, "A:\\" + song);
    SetText(project.m_originator, "TAVRIX CO.");
    SetText(project.m_createDate, date);
    SetText(project.m_notes, " ");
    SetText(project.m_clientData, " ");
    ok = adl.WriteProject(project, 0x1F) && ok;

    adl::AdlSequence sequence;
    sequence.m_sampleRateCode = sampleRateCode;
    sequence.m_frameRateCode = adl::FrameRateCode::Fps25;
    sequence.m_adlLevel = 1;
    sequence.m_clean = 0;
    sequence.m_destStart = zero;
    ok = adl.WriteSequence(sequence, 0x274) && ok;

    ok = adl.WriteTrackList() && ok;
    for (uint16_t n = 1; n <= kTrackCount; ++n) {
        adl::AdlTrack track;
        track.m_number = n;
        SetText(track.m_name, " ");
        ok = adl.AddTrack(track) && ok;
    }
    ok = adl.WriteMemoryList() && ok;
    for (const char* name : {"IN", "OUT"}) {
        adl::AdlLocate locate;
        SetText(locate.m_name, name);
        locate.m_time = zero;
        ok = adl.AddLocate(locate) && ok;
    }

    adl::AdlTempoMap tempo;
    tempo.m_offset = 2;
    SetText(tempo.m_signatureBar, "0001Bar");
    SetText(tempo.m_signatureBeat, "4/4Beat");
    SetText(tempo.m_tempoBar, "0001Bar");
    SetText(tempo.m_tempoBeat, "1Beat");
    SetText(tempo.m_tempoValue, "120.0BPS");
    ok = adl.WriteTempoMap(tempo, 0x7) && ok;
    ok = adl.WriteEventList() && ok;
    adl.Close();

    // A file that does not open again was not written whole.
    adl::CAdlFile check;
    ok = ok && SyncAndCheckEnd(adlPath) && check.Open(adlPath, true);
    if (!ok) {
        platform::DeleteFile(adlPath);
    }
    return ok;
}

bool CreateNewSong(const std::string& songPath, const std::string& pcFolder,
                   const std::array<bool, kTrackCount>& tracks, platform::IMessageBox* box) {
    adl::SampleRateCode code = adl::SampleRateCode::None;
    return NewSongRate(pcFolder, tracks, box, &code) && CreateSong(songPath, code, box);
}

bool CreateSong(const std::string& songPath, adl::SampleRateCode code, platform::IMessageBox* box) {
    const std::string song = platform::BaseName(songPath);
    const std::string card = platform::DirName(songPath);
    if (code == adl::SampleRateCode::None) {
        platform::Tell(box, "Sampling Frequency not supported!");
        return false;
    }
    if (platform::PathExists(songPath)) {
        platform::Tell(box, "This song is protected !");
        return false;
    }
    // A clean-up of the card's leftovers must not take the song while it is being built.
    CJobLock lock;
    if (LockCardForWriting(lock, card) == CJobLock::Result::CardInUse) {
        platform::Tell(box, CardInUseText(card));
        return false;
    }
    // The song is built whole under one of this program's own names and only then given its name,
    // so that a song folder on the card always holds its ADL file.
    const std::string temp = platform::JoinPath(card, platform::NewOwnName("new", song));
    if (!platform::CreateDirectory(temp)) {
        platform::Tell(box, "This song is protected !");
        return false;
    }
    if (!BuildSong(temp, song, code)) {
        platform::RemoveTree(temp);
        platform::SyncDirectory(card);
        platform::Tell(box, "New song create error !");
        return false;
    }
    if (!platform::RenameNoReplace(temp, songPath)) {
        // Another program made a song of that name while this one was being built.
        const bool taken = errno == EEXIST || errno == ENOTEMPTY;
        platform::RemoveTree(temp);
        platform::SyncDirectory(card);
        platform::Tell(box, taken ? SongInUseText(song) : "New song create error !");
        return false;
    }
    return true;
}

} // namespace card
