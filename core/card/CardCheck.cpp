#include "card/CardCheck.h"

#include "adl/AdlFile.h"
#include "card/CardRules.h"
#include "card/JobLock.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"
#include "platform/Text.h"

#include <set>

namespace card {
namespace {

// The files the song's events name; false when its ADL cannot be read.
bool NamedFiles(const std::string& card, const std::string& song, std::set<std::string>* named) {
    adl::CAdlFile adl;
    if (!adl.Open(AdlPath(card, song), true))
        return false;
    for (int i = 0; i < adl.GetEventCount(); ++i) {
        if (adl.GetEventEditType(i) != adl::EditType::Silence)
            named->insert(adl.GetEventSourceName(i));
    }
    adl.Close();
    return true;
}

void CheckSong(const std::string& card, const std::string& song, std::vector<CardProblem>* problems) {
    CJobLock lock;
    const CJobLock::Result locked = lock.LockSong(card, song, CJobLock::Use::Read);
    if (locked == CJobLock::Result::InUse || locked == CJobLock::Result::CardInUse) {
        problems->push_back({CardProblemKind::SongInUse, song, {}, "in use by another program; not checked"});
        return;
    }
    std::set<std::string> named;
    if (!NamedFiles(card, song, &named)) {
        problems->push_back({CardProblemKind::UnreadableSong, song, {}, "no readable ADL file"});
        return;
    }
    const std::string folder = SongFolderPath(card, song);
    for (const std::string& file : named) {
        if (!platform::IsRegularFile(platform::JoinPath(folder, file)))
            problems->push_back({CardProblemKind::MissingFile, song, file,
                                 platform::Format("an event names %s, which is missing", file.c_str())});
    }
    for (const auto& entry : platform::FindFiles(folder, "*.wav")) {
        if ((entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) || platform::IsOwnName(entry.name) ||
            named.count(entry.name))
            continue;
        problems->push_back({CardProblemKind::UnnamedFile, song, entry.name,
                             platform::Format("%s is named by no event (%llu bytes)", entry.name.c_str(),
                                              static_cast<unsigned long long>(entry.size))});
    }
}

} // namespace

std::vector<CardProblem> CheckSongs(const std::string& card, const std::string& song) {
    std::vector<CardProblem> problems;
    const std::vector<std::string> songs = song.empty() ? ListSongs(card) : std::vector<std::string>{song};
    for (const std::string& name : songs)
        CheckSong(card, name, &problems);
    return problems;
}

std::vector<std::string> RemoveUnnamedFiles(const std::string& card,
                                            const std::vector<CardProblem>& problems) {
    std::vector<std::string> removed;
    for (const CardProblem& p : problems) {
        if (p.kind != CardProblemKind::UnnamedFile)
            continue;
        // An export may have named the file since it was listed: look again under the write lock.
        CJobLock lock;
        std::set<std::string> named;
        if (lock.LockSong(card, p.song, CJobLock::Use::Write) != CJobLock::Result::Locked ||
            !NamedFiles(card, p.song, &named) || named.count(p.file))
            continue;
        const std::string path = AudioFilePath(card, p.song, p.file);
        if (platform::DeleteFile(path)) {
            platform::SyncDirectory(SongFolderPath(card, p.song));
            removed.push_back(p.song + "/" + p.file);
        }
    }
    return removed;
}

} // namespace card
