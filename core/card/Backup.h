#pragma once
// Verbatim copies of song folders with a SHA-256 manifest, so a card's songs can be checked and put
// back after the card or the recorder fails. MANIFEST.sha256 uses the sha256sum format, so the
// backup can also be checked without this program; ATTRIBUTES keeps the card's DOS attributes.
//
// Backup, verify and restore are jobs: the status line names the song at hand, the bar follows the
// bytes copied (the files checked, for a verify), and the cancel flag is read between files and
// between blocks. A cancelled backup removes the song it was copying; a cancelled restore removes
// its hidden copy and leaves the card's song as it was.

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
    Finished,  // every song (every file, for a verify) went through without a problem
    Problems,  // it went through, but with problems (listed, and shown as one message)
    Refused,   // restore only: the backup does not match its manifest; nothing was restored
    Cancelled, // stopped by the user between files or blocks; nothing half-made is left
};

struct BackupResult : platform::JobResult<BackupOutcome> {
    int files = 0;                     // files copied (backup, restore) or found intact (verify)
    uint64_t bytes = 0;                // bytes copied
    std::vector<std::string> problems; // one line each, for the user
};

// Copies card/<song> for every song into dest/<song>, and records them in dest's manifest. A song
// already in the backup folder is refused (the backup is never changed under its manifest).
BackupResult RunBackup(const BackupParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// Re-hashes every file of the manifest; a problem for each file missing or different.
BackupResult RunVerify(const VerifyParams& params, platform::IMessageBox* box, platform::ITextLine* status,
                       platform::IProgressBar* progress, const platform::CancelFlag* cancel,
                       platform::IMessageTarget* page = nullptr);

// Verifies the whole backup, then puts dest/<song> back onto the card as card/<song>. An existing
// song is replaced only with `overwrite`; the copy is written beside it, verified, and only then
// swapped in.
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
