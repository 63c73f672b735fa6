#include "card/JobLock.h"

#include "card/CardRules.h"
#include "platform/Text.h"

#include <chrono>
#include <thread>

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
// A writer holds the card alone only while it tidies the card's leftovers: a job that finds it so waits
// that long before it calls the card in use (then a clean-up of the user's holds it).
constexpr int kCardWaits = 40;
constexpr auto kCardWait = std::chrono::milliseconds(50);

} // namespace

CJobLock::Result CJobLock::LockCard(const std::string& card, bool exclusive) {
    Unlock();
    const auto mode = exclusive ? platform::LockMode::Exclusive : platform::LockMode::Shared;
    platform::LockResult r = m_card.Lock(card, mode);
    for (int wait = 0; !exclusive && r == platform::LockResult::InUse && wait < kCardWaits; ++wait) {
        std::this_thread::sleep_for(kCardWait);
        r = m_card.Lock(card, mode);
    }
    m_cardExclusive = exclusive && r == platform::LockResult::Locked;
    return r == platform::LockResult::InUse ? Result::CardInUse : ResultOf(r);
}

CJobLock::Result CJobLock::LockSong(const std::string& card, const std::string& song, Use use) {
    // A writer that has just tidied the card (LockCardForWriting) keeps the card's lock it holds.
    if (!m_card.IsHeld() || m_song.IsHeld()) {
        const Result cardResult = LockCard(card, false);
        if (cardResult != Result::Locked)
            return cardResult;
    }
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

std::string InUseText(CJobLock::Result result, const std::string& card, const std::string& song) {
    if (result == CJobLock::Result::InUse)
        return SongInUseText(song);
    if (result == CJobLock::Result::CardInUse)
        return CardInUseText(card);
    return {};
}

std::string CardInUseText(const std::string& card) {
    return platform::Format("The card is in use by another program.\ncard : %s", card.c_str());
}

} // namespace card
