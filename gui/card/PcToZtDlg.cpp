#include "card/PcToZtDlg.h"

#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "app/QtMessageTarget.h"
#include "card/DriveCombo.h"
#include "card/PcWaveList.h"
#include "card/SongName.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "wave/WaveFile.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

namespace gui {

namespace {

// The song combo tells when its list opens and closes. Qt closes the list before it changes the
// selection, so the close is passed on once the chosen entry is selected.
class CSongCombo : public QComboBox {
public:
    CSongCombo(QWidget* parent, std::function<void()> dropDown, std::function<void()> closeUp)
        : QComboBox(parent), m_dropDown(std::move(dropDown)), m_closeUp(std::move(closeUp)) {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr); // a typed name is never completed into another song's
    }
    void showPopup() override {
        m_dropDown();
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        QTimer::singleShot(0, this, [this] { m_closeUp(); });
    }

private:
    std::function<void()> m_dropDown;
    std::function<void()> m_closeUp;
};

struct Column {
    const char* title;
    int width;
};
constexpr Column kColumns[] = {{"File name", 100}, {"FS", 75}, {"BIT", 42}, {"CH", 35}, {"SIZE", 70}};

// The desktop's icon for ".wav" files; null when its theme has none.
QIcon WaveIcon() {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.wav"), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    return icon.isNull() ? QIcon::fromTheme(type.genericIconName()) : icon;
}

} // namespace

CPcToZtDlg::CPcToZtDlg() : CCardPage(res::IDD_PC_TO_ZT) {}

QWidget* CPcToZtDlg::MakeControl(const res::ControlTemplate& control, QWidget* parent) {
    if (control.id != res::IDC_SONG)
        return CCardPage::MakeControl(control, parent);
    return new CSongCombo(
        parent, [this] { OnDropDown(); }, [this] { OnCloseUp(); });
}

bool CPcToZtDlg::OnInitDialog() {
    m_fileList = res::Control<QTreeWidget>(this, res::IDC_FILE_LIST);
    BindDriveCombo();
    m_songCombo = res::Control<QComboBox>(this, res::IDC_SONG);
    m_exportButton = res::Control<QPushButton>(this, res::IDC_EXPORT);
    m_tracks.Bind(this, [this] { m_exportButton->setEnabled(m_tracks.AnyTicked()); });
    m_target = new CQtMessageTarget(
        [this](unsigned message, uintptr_t wParam, intptr_t) { return OnTransferMessage(message, wParam); },
        this);

    connect(m_exportButton, &QPushButton::clicked, this, [this] { OnExport(); });
    connect(DriveCombo(), &QComboBox::activated, this, [this] { OnSelchangeDrive(); });
    connect(m_songCombo, &QComboBox::activated, this, [this](int index) { OnSongChosen(index); });
    connect(m_songCombo->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& t) { OnEditChange(t); });

    m_exportButton->setEnabled(false);
    m_tracks.Reset();
    QStringList titles;
    for (const Column& column : kColumns)
        titles << QString::fromLatin1(column.title);
    m_fileList->setColumnCount(static_cast<int>(titles.size()));
    m_fileList->setHeaderLabels(titles);
    for (int i = 0; i < m_fileList->columnCount(); ++i)
        m_fileList->setColumnWidth(i, kColumns[i].width);
    m_fileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fileList->setIndentation(0);
    // Grid lines between the cells, as in a report list.
    m_fileList->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight); "
                                             "border-bottom: 1px solid palette(midlight); }"));
    return true;
}

int CPcToZtDlg::SelectSong(int index) {
    m_songs.Select(index);
    HandleSongSelection();
    return m_songs.Selection();
}

void CPcToZtDlg::SetFolder(const std::string& path) {
    m_folder = path;
    ListWaveFiles();
}

void CPcToZtDlg::ListWaveFiles() {
    m_fileList->clear();
    m_tracks.Reset();
    const std::vector<card::PcWaveRow> rows = card::ListPcWaveRows(m_folder);
    const QIcon icon = WaveIcon();
    for (const card::PcWaveRow& row : rows) {
        auto* item = new QTreeWidgetItem(m_fileList);
        int column = 0;
        for (const std::string* text : {&row.name, &row.rate, &row.bits, &row.channels, &row.size})
            item->setText(column++, QString::fromStdString(*text));
        item->setIcon(0, icon);
    }
    const CTrackBoxes::Tracks offered = card::TracksOffered(rows);
    m_tracks.Offer(offered);
    m_exportButton->setEnabled(m_tracks.AnyTicked());
}

void CPcToZtDlg::FillSongList() {
    ShareDrive();
    const std::string drive = CurrentDrive();
    if (drive.empty())
        return;
    m_songs.Fill(card::ListSongs(drive));
    MirrorSongs();
}

void CPcToZtDlg::ClearSongList() {
    m_songs.Fill({});
    MirrorSongs();
}

void CPcToZtDlg::OnSelchangeDrive() {
    FillSongList();
    m_songs.Select(0);
    HandleSongSelection();
}

void CPcToZtDlg::OnSongChosen(int index) {
    m_songs.Select(index);
    m_songs.CloseUp();
    HandleSongSelection();
}

void CPcToZtDlg::OnDropDown() {
    m_songs.DropDown(AnyDriveChosen());
    MirrorSongs();
}

void CPcToZtDlg::OnCloseUp() {
    // Also reached after a choice (already handled, so nothing changes) and when the list closes
    // without one, which takes an unchosen "---:(New Song)" away.
    m_songs.Select(m_songCombo->currentIndex());
    m_songs.CloseUp();
    MirrorSongs();
}

void CPcToZtDlg::HandleSongSelection() {
    const bool store = m_songs.OnSelectionChanged();
    MirrorSongs();
    if (store)
        StoreSong();
}

void CPcToZtDlg::StoreSong() {
    ShareSong(m_songs.Selection());
}

void CPcToZtDlg::MirrorSongs() {
    const QSignalBlocker block(m_songCombo);
    const QString typed = m_songCombo->currentText();
    const int shown = m_songCombo->currentIndex();
    const bool wasTyped = shown < 0 ? !typed.isEmpty() : typed != m_songCombo->itemText(shown);
    m_songCombo->clear();
    for (const card::SongEntry& entry : m_songs.Entries())
        m_songCombo->addItem(QString::fromStdString(entry.text), static_cast<int>(entry.kind));
    m_songCombo->setCurrentIndex(m_songs.Selection());
    if (wasTyped)
        m_songCombo->setEditText(typed);
}

void CPcToZtDlg::OnEditChange(const QString& typed) {
    const card::TypedSongName name = card::CheckTypedSongName(typed.toStdString());
    if (!name.changed)
        return;
    m_songCombo->setEditText(QString::fromStdString(name.text));
    if (!name.message.empty())
        platform::Tell(AppMessageBox(), name.message);
}

void CPcToZtDlg::OnExport() {
    m_params = {};
    m_params.card = CurrentDrive();
    m_params.song = m_songCombo->currentText().toStdString();
    m_params.pcFolder = m_folder;
    m_params.tracks = m_tracks.Ticked();
    // Files the song does not take are refused with the usual message; the user is then asked whether
    // to convert them.
    m_params.conversion = card::Conversion::Ask;
    if (!m_params.card.empty() && !platform::PathExists(card::SongFolderPath(m_params.card, m_params.song))) {
        // A name not on the card: the proposals go, the typed name stays in the field.
        m_songs.RemovePending();
        MirrorSongs();
        m_songCombo->setEditText(QString::fromStdString(m_params.song));
    }
    card::ExportDecision decision;
    const card::ExportCommand command = card::PrepareExport(m_params, AppMessageBox(), &decision);
    m_params.conversion = decision.convert ? card::Conversion::Convert : card::Conversion::Refuse;
    switch (command) {
    case card::ExportCommand::TooManySongs:
        m_songs.Select(0);
        MirrorSongs();
        ShareSong(0);
        return;
    case card::ExportCommand::Stopped:
        return;
    case card::ExportCommand::RunNewSong:
        m_songs.Select(m_songs.AddSorted(m_params.song, card::SongEntryKind::Created));
        MirrorSongs();
        StoreSong();
        break;
    case card::ExportCommand::Run:
        break;
    }
    auto dialog = std::make_unique<CProgressDlg>();
    dialog->SetJob(this);
    dialog->DoModal();
    // Not in RunJob: the transfer messages reach the page after the worker made them, at the latest
    // before DoModal returns.
    m_progress = nullptr;
}

void CPcToZtDlg::RunJob(platform::ITextLine* /*pProgressText*/, platform::ITextLine* pStatusText,
                        platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    m_progress = pProgress;
    if (pProgress)
        pProgress->SetPos(0);
    m_result = card::RunExport(m_params, AppMessageBox(), pStatusText, pProgress, pCancel, m_target);
}

intptr_t CPcToZtDlg::OnTransferMessage(unsigned message, uintptr_t wParam) {
    platform::IProgressBar* bar = m_progress.load();
    if (!bar)
        return 0;
    if (message == wave::WM_TRANSFER_RANGE)
        bar->SetRange(0, static_cast<int64_t>(wParam));
    else if (message == wave::WM_TRANSFER_POS)
        bar->SetPos(static_cast<int64_t>(wParam));
    return 0;
}

} // namespace gui
