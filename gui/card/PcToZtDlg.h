#pragma once
// The "PC to ZT" page: the PC folder's WAV files, the tracks named after them, a song on a card or a
// new one, and Export, which copies the ticked tracks into the song. The page is also the export's
// progress job; the checks, the new song and the copies are the core export's.

#include "card/CardPage.h"
#include "card/ExportJob.h"
#include "card/SongCombo.h"
#include "card/TrackBoxes.h"
#include "platform/Progress.h"

#include <QString>
#include <atomic>

class QComboBox;
class QPushButton;
class QTreeWidget;

namespace gui {

class CQtMessageTarget;

class CPcToZtDlg : public CCardPage, public platform::CProgressJob {
public:
    CPcToZtDlg();

    int SelectSong(int index) override;
    void SetFolder(const std::string& path) override;

    // The export, on the progress dialog's worker thread.
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;
    const card::ExportResult& LastResult() const { return m_result; }
    const card::CSongComboModel& Songs() const { return m_songs; }

protected:
    bool OnInitDialog() override;
    QWidget* MakeControl(const res::ControlTemplate& control, QWidget* parent) override;
    void FillSongList() override;
    void ClearSongList() override;

private:
    void ListWaveFiles();
    void OnSelchangeDrive();
    void OnSongChosen(int index);
    void OnDropDown();
    void OnCloseUp();
    void HandleSongSelection();
    void OnEditChange(const QString& typed);
    void OnExport();
    // Shows the model's entries and selection in the combo; a typed name stays in the field.
    void MirrorSongs();
    void StoreSong();
    intptr_t OnTransferMessage(unsigned message, uintptr_t wParam);

    std::string m_folder;
    CTrackBoxes m_tracks;
    QTreeWidget* m_fileList = nullptr;
    QComboBox* m_songCombo = nullptr;
    QPushButton* m_exportButton = nullptr;
    card::CSongComboModel m_songs;
    CQtMessageTarget* m_target = nullptr;
    // The running job's bar, moved per file by the copy's range and position; null between exports.
    std::atomic<platform::IProgressBar*> m_progress{nullptr};
    card::ExportParams m_params;
    card::ExportResult m_result;
};

} // namespace gui
