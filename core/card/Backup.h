#pragma once
// Verbatim copies of song folders with a SHA-256 manifest, so a card's songs can be checked and put
// back after the card or the recorder fails. MANIFEST.sha256 uses the sha256sum format, so the
// backup can also be checked without this program; ATTRIBUTES keeps the card's DOS attributes.
//
// Backup, verify and restore are jobs: the status line names the song at hand, the bar follows the
// bytes copied (the files checked, for a verify), and the cancel flag is read between files and
// between blocks. A cancelled backup removes the song it was copying; a cancelled restore removes
// its copy and leaves the card's song as it was.
//
// A backup copies each song under its read lock (card/JobLock.h), so what it holds is the song as one
// writer left it; a song that failed to copy leaves nothing in the backup folder. A restore works song
// by song under the song's write lock: a song whose copy in the backup is damaged is named and left
// out, the others are restored. It starts as every writer does, tidying the card's leftovers when no
// other job uses the card (card/Leftovers.h).

#include "platform/Job.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace card {

constexpr const char* kManifestName = "MANIFEST.sha256";
constexpr const char* kAttributesName = "ATTRIBUTES";

struct BackupParams {
    std::string card;               // the card's root folder
    std::string dest;               // the backup folder; made when missing
    std::vector<std::string> songs; // song folder names
};

struct VerifyParams {
    std::string dest; // the backup folder
};

struct RestoreParams {
    std::string dest;               // the backup folder
    std::string card;               // the card's root folder
    std::vector<std::string> songs; // songs of the backup
    bool overwrite = false;         // replace a song the card holds already
};

enum class BackupOutcome {
    Finished, // every song (every file, for a verify) went through without a problem
    Problems, // it went through, but with problems (listed, and shown as one message)
    Refused,  // restore only: no song asked for matches the manifest (or there is none); nothing was restored
    Cancelled, // stopped by the user between files or blocks; nothing half-made is left
};

struct BackupResult : platform::JobResult<BackupOutcome> {
    int files = 0;                     // files copied (backup, restore) or found intact (verify)
    uint64_t bytes = 0;                // bytes copied
    std::vector<std::string> problems; // one line each, for the user
};

// Copies card/<song> for every song into dest/<song>, and records them in dest's manifest. A song
// already in the backup folder is refused (the backup is never changed under its manifest), and so is
// a song another program is writing (SongInUseText).
BackupResult RunBackup(const BackupParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// Re-hashes every file of the manifest; a problem for each file missing or different.
BackupResult RunVerify(const VerifyParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// Verifies the songs asked for, then puts each undamaged dest/<song> back onto the card as
// card/<song>. An existing song is replaced only with `overwrite`; the copy is written beside it,
// verified, and only then swapped in (card/RestoreState.h).
BackupResult RunRestore(const RestoreParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                        platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                        platform::IMessageTarget* page = nullptr);

// Songs recorded in a backup folder, sorted.
std::vector<std::string> SongsInBackup(const std::string& dest);

// The operations behind the progress dialog.
using CBackupJob = platform::CFunctionJob<BackupParams, BackupResult, RunBackup>;
using CVerifyJob = platform::CFunctionJob<VerifyParams, BackupResult, RunVerify>;
using CRestoreJob = platform::CFunctionJob<RestoreParams, BackupResult, RunRestore>;

} // namespace card
