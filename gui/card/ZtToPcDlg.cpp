#include "card/ZtToPcDlg.h"

#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "app/QtMessageTarget.h"
#include "card/DriveCombo.h"
#include "card/PeakCache.h"
#include "card/SongSummary.h"
#include "card/SongView.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "wave/WaveFile.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

namespace gui {

CZtToPcDlg::CZtToPcDlg() : CCardPage(res::IDD_ZT_TO_PC) {}

bool CZtToPcDlg::OnInitDialog() {
    BindDriveCombo();
    m_songCombo = res::Control<QComboBox>(this, res::IDC_SONG);
    m_rateText = res::Control<QLabel>(this, res::IDC_SAMPLING_FREQ);
    m_bitText = res::Control<QLabel>(this, res::IDC_BIT);
    m_modeAll = res::Control<QRadioButton>(this, res::IDC_MODE_ALL);
    m_importButton = res::Control<QPushButton>(this, res::IDC_IMPORT);
    m_tracks.Bind(this, [this] { OnTrackClicked(); });
    m_target = new CQtMessageTarget(
        [this](unsigned message, uintptr_t wParam, intptr_t) { return OnTransferMessage(message, wParam); },
        this);

    connect(DriveCombo(), &QComboBox::activated, this, [this] { OnSelchangeDrive(); });
    connect(m_songCombo, &QComboBox::activated, this, [this] { RefreshSongInfo(); });
    connect(m_modeAll, &QRadioButton::toggled, this, [this](bool all) { m_mode = all ? 0 : 1; });
    connect(m_importButton, &QPushButton::clicked, this, [this] { OnImport(); });

    m_importButton->setEnabled(false);
    m_tracks.Reset();
    m_modeAll->setChecked(true);
    return true;
}

int CZtToPcDlg::SelectSong(int index) {
    SelectEntry(m_songCombo, index);
    RefreshSongInfo();
    return m_songCombo->currentIndex();
}

void CZtToPcDlg::SetFolder(const std::string& path) {
    m_folder = path;
}

void CZtToPcDlg::FillSongList() {
    FillSongs(m_songCombo, CurrentDrive());
}

void CZtToPcDlg::ClearSongList() {
    m_songCombo->clear();
}

void CZtToPcDlg::OnSelchangeDrive() {
    ShareDrive();
    FillSongList();
    SelectEntry(m_songCombo, 0);
    RefreshSongInfo();
}

void CZtToPcDlg::RefreshSongInfo() {
    ShareSong(m_songCombo->currentIndex());
    m_importButton->setEnabled(false);
    m_tracks.Reset();
    const card::SongSummary song =
        card::ReadSongSummary(CurrentDrive(), m_songCombo->currentText().toStdString());
    // The main window's Song View command shows this page's song: only while there is one.
    if (QAction* view = res::FindCommand(window(), res::ID_TOOL_SONGVIEW))
        view->setEnabled(song.readable);
    if (!song.readable)
        return; // no track to offer; the texts keep what they showed
    m_rateText->setText(QString::fromStdString(song.rate));
    m_tracks.Offer(song.tracksInUse);
    m_importButton->setEnabled(m_tracks.AnyTicked());
    m_bitText->setText(QString::fromStdString(song.bits));
}

void CZtToPcDlg::OnTrackClicked() {
    m_importButton->setEnabled(m_tracks.AnyTicked());
}

void CZtToPcDlg::OnImport() {
    // The inputs are read here: the progress dialog is modal, so nothing can change them meanwhile.
    m_params = {};
    m_params.card = CurrentDrive();
    m_params.song = m_songCombo->currentText().toStdString();
    m_params.pcFolder = m_folder;
    m_params.tracks = m_tracks.Ticked();
    m_params.mode = m_mode == 0 ? card::ImportMode::All : card::ImportMode::AB;
    auto dialog = std::make_unique<CProgressDlg>();
    dialog->SetJob(this);
    dialog->DoModal();
    // Not in RunJob: the transfer messages reach the page after the worker made them, at the latest
    // before DoModal returns.
    m_progress = nullptr;
}

void CZtToPcDlg::OnSongView() {
    const std::string drive = CurrentDrive();
    const std::string song = m_songCombo->currentText().toStdString();
    wave::SongTimeline timeline;
    if (song.empty() || !card::ReadSongTimeline(drive, song, &timeline))
        return;
    card::SongPeaksParams params;
    params.card = drive;
    params.song = song;
    params.files = timeline.sources;
    card::SongPeaksResult peaks = card::FindCachedSongPeaks(params);
    if (peaks.peaks.size() < params.files.size()) {
        // Cancelled, the view still opens: the files cached or read so far show their waveform.
        card::CSongPeaksJob job(params, AppMessageBox());
        auto dialog = std::make_unique<CProgressDlg>();
        dialog->SetJob(&job);
        dialog->DoModal();
        peaks = job.Result(); // the cached peaks too
    }
    CSongView view(std::move(timeline), std::move(peaks.peaks), QString::fromStdString(song),
                   m_tracks.Ticked(), window());
    if (view.exec() != QDialog::Accepted)
        return;
    m_tracks.Tick(view.ChosenTracks());
    OnTrackClicked();
}

void CZtToPcDlg::RunJob(platform::ITextLine* /*pProgressText*/, platform::ITextLine* pStatusText,
                        platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    m_progress = pProgress;
    if (pProgress)
        pProgress->SetPos(0);
    m_result = card::RunImport(m_params, AppMessageBox(), pStatusText, pProgress, pCancel, m_target);
}

intptr_t CZtToPcDlg::OnTransferMessage(unsigned message, uintptr_t wParam) {
    if (message == wave::WM_TRANSFER_TOTAL)
        if (platform::IProgressBar* bar = m_progress.load())
            bar->SetPos(static_cast<int64_t>(wParam));
    return 0;
}

} // namespace gui
