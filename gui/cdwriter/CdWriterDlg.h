#pragma once
// The "CD Writer" page: CD audio files from a PC folder or a song's "2mix" folder, an ordered audio
// track list, a CD recorder and Burn, which runs the core burn job behind the progress dialog. The
// track list's rules are the core model's; the page mirrors it. The page's own recorder service
// starts in the background, so that a slow drive scan never holds up the window.

#include "card/CardPage.h"
#include "cdwriter/BurnJob.h"
#include "cdwriter/DiscMaster.h"
#include "cdwriter/DiscProgress.h"
#include "cdwriter/TrackList.h"
#include "platform/Progress.h"

#include <QString>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace gui {

class CProgressDlg;
class CQtMessageTarget;

class CCdWriterDlg : public CCardPage, public platform::CProgressJob {
public:
    CCdWriterDlg();
    ~CCdWriterDlg() override;

    int SelectSong(int index) override;
    void SetFolder(const std::string& path) override;
    std::string GetCdDriveName() const override;
    int GetCdDriveIndex() const override;
    void WhenCdDrivesListed(const std::function<void()>& listed) override;
    // True once the recorder scan has ended and the CD drive combo shows what it found.
    bool CdDrivesListed() const { return m_listed; }

    // The burn, on the progress dialog's worker thread.
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;
    const cdwriter::BurnResult& LastResult() const { return m_result; }
    const cdwriter::CTrackListModel& Tracks() const { return m_tracks; }

protected:
    bool OnInitDialog() override;
    void FillSongList() override;
    void ClearSongList() override;

private:
    void StartRecorderScan();
    void OnRecordersListed(const std::vector<std::string>& names);
    void OnDriveLocation();
    std::string SourceFolder() const;
    void ListWaveFiles();
    void OnSelchangeDrive();
    void OnSongChange();
    void OnSelchangeCdDrive();
    void OnAdd();
    void OnRemove();
    void OnUp();
    void OnDown();
    void OnBurn();
    // Asks where the disc image goes; false when the user cancelled.
    bool AskImagePath();
    // The model's rows and selection into the list view, and the buttons they enable; then `message`.
    void ShowTracks(const std::string& message);
    void ReadTrackSelection();
    intptr_t OnDiscMessage(unsigned message, uintptr_t wParam, intptr_t lParam);

    std::string m_folder;
    cdwriter::IDiscBackend* m_backend;
    cdwriter::CDiscMaster m_discMaster; // the page's own: CD drive list, active recorder, free space
    std::thread m_scan;
    bool m_listed = false;
    std::vector<std::function<void()>> m_whenListed;
    cdwriter::CTrackListModel m_tracks;

    QRadioButton* m_locationPc = nullptr;
    QComboBox* m_songCombo = nullptr;
    QTreeWidget* m_waveList = nullptr;
    QTreeWidget* m_trackList = nullptr;
    QComboBox* m_cdDriveCombo = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_removeButton = nullptr;
    QPushButton* m_burnButton = nullptr;
    CQtMessageTarget* m_target = nullptr;

    // Set only while a burn runs.
    CProgressDlg* m_progressDlg = nullptr;
    // The running burn's text line, bar and cancel flag for the progress messages; empty between burns.
    std::mutex m_viewMutex;
    cdwriter::DiscProgressView m_view;
    cdwriter::BurnParams m_params;
    cdwriter::BurnResult m_result;
};

} // namespace gui
