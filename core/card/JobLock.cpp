#include "card/JobLock.h"

#include "card/CardRules.h"
#include "platform/Text.h"

namespace card {
namespace {

CJobLock::Result ResultOf(platform::LockResult r) {
    switch (r) {
    case platform::LockResult::Locked:
        return CJobLock::Result::Locked;
    case platform::LockResult::InUse:
        return CJobLock::Result::InUse;
    case platform::LockResult::Missing:
        return CJobLock::Result::NoSong;
    case platform::LockResult::Failed:
        break;
    }
    return CJobLock::Result::Failed;
}

// A song folder replaced while its lock was being taken is locked again, as it stands now; one that
// keeps being replaced counts as in use.
constexpr int kAttempts = 3;

} // namespace

CJobLock::Result CJobLock::LockCard(const std::string& card, bool exclusive) {
    Unlock();
    const platform::LockResult r =
        m_card.Lock(card, exclusive ? platform::LockMode::Exclusive : platform::LockMode::Shared);
    m_cardExclusive = exclusive && r == platform::LockResult::Locked;
    return ResultOf(r);
}

CJobLock::Result CJobLock::LockSong(const std::string& card, const std::string& song, Use use) {
    const Result cardResult = LockCard(card, false);
    if (cardResult != Result::Locked)
        return cardResult;
    const std::string path = SongFolderPath(card, song);
    const auto mode = use == Use::Write ? platform::LockMode::Exclusive : platform::LockMode::Shared;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const platform::LockResult r = m_song.Lock(path, mode);
        if (r != platform::LockResult::Locked) {
            m_card.Unlock();
            return ResultOf(r);
        }
        if (m_song.StillNames(path))
            return Result::Locked;
        m_song.Unlock();
    }
    m_card.Unlock();
    return Result::InUse;
}

void CJobLock::ShareCard() {
    m_card.Change(platform::LockMode::Shared);
    m_cardExclusive = false;
}

void CJobLock::Unlock() {
    m_song.Unlock();
    m_card.Unlock();
    m_cardExclusive = false;
}

std::string SongInUseText(const std::string& song) {
    return platform::Format("This song is in use by another program.\nsong name : %s", song.c_str());
}

std::string CardInUseText(const std::string& card) {
    return platform::Format("The card is in use by another program.\ncard : %s", card.c_str());
}

} // namespace card
