#pragma once
// The "ZT to PC" page: pick a card and a song, see its rate and bit depth, tick the tracks that hold
// audio and import them into the PC folder as tr01.wav ... tr16.wav. The page is also the import's
// progress job; the work itself is the core import.

#include "card/CardPage.h"
#include "card/ImportJob.h"
#include "card/TrackBoxes.h"
#include "platform/Progress.h"

#include <QString>
#include <atomic>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace gui {

class CQtMessageTarget;

class CZtToPcDlg : public CCardPage, public platform::CProgressJob {
public:
    CZtToPcDlg();

    int SelectSong(int index) override;
    void SetFolder(const std::string& path) override;

    // The import, on the progress dialog's worker thread.
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;
    // Shows the chosen song in the song view (reading its peaks first when they are not cached); its
    // "Tick on page" ticks the tracks chosen there.
    void OnSongView();
    // How the last import ended.
    const card::ImportResult& LastResult() const { return m_result; }

protected:
    bool OnInitDialog() override;
    void FillSongList() override;
    void ClearSongList() override;

private:
    void OnSelchangeDrive();
    void RefreshSongInfo();
    void OnTrackClicked();
    void OnImport();
    intptr_t OnTransferMessage(unsigned message, uintptr_t wParam);

    int m_mode = 0; // 0 = ALL, 1 = A - B
    std::string m_folder;
    CTrackBoxes m_tracks;
    QComboBox* m_songCombo = nullptr;
    QLabel* m_rateText = nullptr;
    QLabel* m_bitText = nullptr;
    QRadioButton* m_modeAll = nullptr;
    QPushButton* m_importButton = nullptr;
    CQtMessageTarget* m_target = nullptr;
    // The running job's bar, moved by the renderer's running total; null between imports.
    std::atomic<platform::IProgressBar*> m_progress{nullptr};
    card::ImportParams m_params;
    card::ImportResult m_result;
};

} // namespace gui
